// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A host editor API for plug-in tests: a document of lines with a selection,
// a log of every call and a count of references taken.
#include "contract/EditorPlugins_TLB.h"

#include <cstdint>
#include <string>
#include <vector>

class cFakeEditAPI final : public IEditAPI
{
public:
    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        *out = iid == IID_IEditAPI || iid == IID_IUnknown ? static_cast<IEditAPI *>(this) : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    // As the host's: not counted for real, but balance is checked.
    uint32_t AddRef() override
    {
        ++References;
        return UINT32_MAX;
    }
    uint32_t Release() override
    {
        --References;
        return UINT32_MAX;
    }

    HRESULT AddLine(BSTR text) override { return Log("AddLine", Text(text)); }
    HRESULT InsertLine(int32_t index, BSTR text) override { return Log("InsertLine", index, Text(text)); }
    HRESULT DeleteLine(int32_t index) override { return Log("DeleteLine", index); }
    HRESULT MoveLine(int32_t curIndex, int32_t newIndex) override
    {
        return Log("MoveLine", curIndex, newIndex);
    }
    HRESULT GetLineCount(int32_t *count) override { return Value("GetLineCount", count, LineCount); }
    HRESULT GetLine(int32_t index, BSTR *text) override
    {
        *text = Alloc(Document);
        return Log("GetLine", index);
    }
    HRESULT SetLine(int32_t index, BSTR text) override { return Log("SetLine", index, Text(text)); }
    HRESULT GetText(BSTR *text) override
    {
        *text = Alloc(Document);
        return Log("GetText");
    }
    HRESULT SetText(BSTR text) override { return Log("SetText", Text(text)); }
    HRESULT GetCurrentLine(int32_t *line) override { return Value("GetCurrentLine", line, 2); }
    HRESULT SetCurrentLine(int32_t line) override { return Log("SetCurrentLine", line); }
    HRESULT GetCurrentColumn(int32_t *column) override { return Value("GetCurrentColumn", column, 3); }
    HRESULT SetCurrentColumn(int32_t column) override { return Log("SetCurrentColumn", column); }
    HRESULT GetSelStart(int32_t *start) override { return Value("GetSelStart", start, SelStart); }
    HRESULT SetSelStart(int32_t start) override { return Log("SetSelStart", start); }
    HRESULT GetSelLength(int32_t *length) override { return Value("GetSelLength", length, SelLength); }
    HRESULT SetSelLength(int32_t length) override { return Log("SetSelLength", length); }
    HRESULT GetSelText(BSTR *text) override
    {
        *text = Alloc(Document.substr(static_cast<size_t>(SelStart), static_cast<size_t>(SelLength)));
        return Log("GetSelText");
    }
    HRESULT SetSelText(BSTR text) override { return Log("SetSelText", Text(text)); }
    HRESULT GetMainWindowHandle(int32_t *handle) override
    {
        return Value("GetMainWindowHandle", handle, 0x1001);
    }
    HRESULT GetEditorHandle(int32_t *handle) override { return Value("GetEditorHandle", handle, 0x2002); }
    HRESULT FindText(BSTR text, int32_t start, int32_t length, LongBool backward, LongBool wholeWord,
                     LongBool matchCase, int32_t *position) override
    {
        *position = FoundAt;
        return Log("FindText", Text(text), start, length, backward, wholeWord, matchCase);
    }

    // Calls that change the document.
    std::vector<std::string> Changes() const
    {
        std::vector<std::string> changes;
        for (const std::string &call : Calls)
            if (call.rfind("Get", 0) != 0)
                changes.push_back(call);
        return changes;
    }

    std::u16string Document = u"some text";
    int32_t SelStart = 0;
    int32_t SelLength = 0;
    int32_t LineCount = 1;
    int32_t FoundAt = -1;
    int References = 0;
    std::vector<std::string> Calls;

private:
    static BSTR Alloc(const std::u16string &text)
    {
        return SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    }
    static std::string Text(BSTR text)
    {
        std::string narrow;
        for (uint32_t i = 0; i < SysStringLen(text); ++i)
            narrow += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
        return narrow;
    }
    static std::string Arg(const std::string &text) { return text; }
    static std::string Arg(int32_t value) { return std::to_string(value); }

    template <class... TArgs> HRESULT Log(const char *name, TArgs... args)
    {
        std::string call = name;
        call += '(';
        [[maybe_unused]] const char *separator = "";
        ((call += separator, call += Arg(args), separator = ","), ...);
        call += ')';
        Calls.push_back(call);
        return S_OK;
    }
    HRESULT Value(const char *name, int32_t *out, int32_t value)
    {
        *out = value;
        return Log(name);
    }
};
