// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The plug-in's view of the host's editor API: the same 22 operations with the
// library's own strings and booleans.
#include "contract/EditorPlugins_TLB.h"
#include "plugins/framework/EditTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

class IWEditAPI
{
public:
    virtual void AddLine(std::u16string_view text) = 0;
    virtual void InsertLine(int32_t index, std::u16string_view text) = 0;
    virtual void DeleteLine(int32_t index) = 0;
    virtual void MoveLine(int32_t curIndex, int32_t newIndex) = 0;
    virtual int32_t GetLineCount() = 0;
    virtual std::u16string GetLine(int32_t index) = 0;
    virtual void SetLine(int32_t index, std::u16string_view text) = 0;
    virtual std::u16string GetText() = 0;
    virtual void SetText(std::u16string_view text) = 0;
    virtual int32_t GetCurrentLine() = 0;
    virtual void SetCurrentLine(int32_t line) = 0;
    virtual int32_t GetCurrentColumn() = 0;
    virtual void SetCurrentColumn(int32_t column) = 0;
    virtual int32_t GetSelStart() = 0;
    virtual void SetSelStart(int32_t start) = 0;
    virtual int32_t GetSelLength() = 0;
    virtual void SetSelLength(int32_t length) = 0;
    virtual std::u16string GetSelText() = 0;
    virtual void SetSelText(std::u16string_view text) = 0;
    virtual int32_t GetMainWindowHandle() = 0;
    virtual int32_t GetEditorHandle() = 0;
    // The position of the match, or -1.
    virtual int32_t FindText(std::u16string_view text, int32_t start, int32_t length, bool backward,
                             bool wholeWord, bool matchCase) = 0;

protected:
    ~IWEditAPI() = default;
};

// Forwards to the host for the duration of one GetEnabled or Process call;
// the host's result codes are not examined (its editor API always succeeds).
class cWEditAPI final : public IWEditAPI
{
public:
    // AddRefs the host's API until destruction.
    explicit cWEditAPI(IEditAPI *hostAPI) noexcept : HostAPI(hostAPI) {}
    cWEditAPI(const cWEditAPI &) = delete;
    cWEditAPI &operator=(const cWEditAPI &) = delete;

    void AddLine(std::u16string_view text) override;
    void InsertLine(int32_t index, std::u16string_view text) override;
    void DeleteLine(int32_t index) override;
    void MoveLine(int32_t curIndex, int32_t newIndex) override;
    int32_t GetLineCount() override;
    std::u16string GetLine(int32_t index) override;
    void SetLine(int32_t index, std::u16string_view text) override;
    std::u16string GetText() override;
    void SetText(std::u16string_view text) override;
    int32_t GetCurrentLine() override;
    void SetCurrentLine(int32_t line) override;
    int32_t GetCurrentColumn() override;
    void SetCurrentColumn(int32_t column) override;
    int32_t GetSelStart() override;
    void SetSelStart(int32_t start) override;
    int32_t GetSelLength() override;
    void SetSelLength(int32_t length) override;
    std::u16string GetSelText() override;
    void SetSelText(std::u16string_view text) override;
    int32_t GetMainWindowHandle() override;
    int32_t GetEditorHandle() override;
    int32_t FindText(std::u16string_view text, int32_t start, int32_t length, bool backward, bool wholeWord,
                     bool matchCase) override;

private:
    cInterfaceRef<IEditAPI> HostAPI;
};
