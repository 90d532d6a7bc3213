// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The editor API that every document offers to text-processing plug-ins.
#include "contract/EditorPlugins_TLB.h"
#include "editor/editing/EditorRegex.h"

#include <QString>

#include <exception>
#include <utility>

// The interface lives in a member object: its operation names (GetSelStart,
// SetText, AddRef, ...) would otherwise collide with the control's own. It is
// part of the document and not reference-counted: AddRef and Release return -1
// and change nothing.
class cEditAPI : public cEditRegex
{
    Q_OBJECT
public:
    explicit cEditAPI(QWidget *parent = nullptr);

    // Valid as long as the document exists.
    IEditAPI *EditAPI() noexcept { return &FApi; }

    // A failure inside an operation ends it with E_FAIL, since nothing may
    // cross into the plug-in; it is kept here so that the host can raise it
    // again once the plug-in has returned. Null when none is pending.
    std::exception_ptr TakeAPIError() noexcept { return std::exchange(FAPIError, nullptr); }
    // The pending failure's message; empty when none is pending.
    QString APIErrorText() const;
    // TakeAPIError of the document behind Api; null when Api is not a
    // document's own editor API.
    static std::exception_ptr TakeAPIErrorOf(IEditAPI *api) noexcept;

private:
    class cApi final : public IEditAPI
    {
    public:
        explicit cApi(cEditAPI &owner) : FOwner(owner) {}
        cEditAPI &Owner() const noexcept { return FOwner; }

        HRESULT QUORVEL_STDCALL QueryInterface(const GUID &iid, void **out) override;
        uint32_t QUORVEL_STDCALL AddRef() override;
        uint32_t QUORVEL_STDCALL Release() override;

        HRESULT QUORVEL_STDCALL AddLine(BSTR text) override;
        HRESULT QUORVEL_STDCALL InsertLine(int32_t index, BSTR text) override;
        HRESULT QUORVEL_STDCALL DeleteLine(int32_t index) override;
        HRESULT QUORVEL_STDCALL MoveLine(int32_t curIndex, int32_t newIndex) override;
        HRESULT QUORVEL_STDCALL GetLineCount(int32_t *count) override;
        HRESULT QUORVEL_STDCALL GetLine(int32_t index, BSTR *text) override;
        HRESULT QUORVEL_STDCALL SetLine(int32_t index, BSTR text) override;
        HRESULT QUORVEL_STDCALL GetText(BSTR *text) override;
        HRESULT QUORVEL_STDCALL SetText(BSTR text) override;
        HRESULT QUORVEL_STDCALL GetCurrentLine(int32_t *line) override;
        HRESULT QUORVEL_STDCALL SetCurrentLine(int32_t line) override;
        HRESULT QUORVEL_STDCALL GetCurrentColumn(int32_t *column) override;
        HRESULT QUORVEL_STDCALL SetCurrentColumn(int32_t column) override;
        HRESULT QUORVEL_STDCALL GetSelStart(int32_t *start) override;
        HRESULT QUORVEL_STDCALL SetSelStart(int32_t start) override;
        HRESULT QUORVEL_STDCALL GetSelLength(int32_t *length) override;
        HRESULT QUORVEL_STDCALL SetSelLength(int32_t length) override;
        HRESULT QUORVEL_STDCALL GetSelText(BSTR *text) override;
        HRESULT QUORVEL_STDCALL SetSelText(BSTR text) override;
        HRESULT QUORVEL_STDCALL GetMainWindowHandle(int32_t *handle) override;
        HRESULT QUORVEL_STDCALL GetEditorHandle(int32_t *handle) override;
        HRESULT QUORVEL_STDCALL FindText(BSTR text, int32_t start, int32_t length, LongBool backward,
                                         LongBool wholeWord, LongBool matchCase, int32_t *position) override;

    private:
        template <typename F> HRESULT Guarded(F &&step) noexcept;
        // E_POINTER for a null Out, else Step(*Out) guarded.
        template <typename T, typename F> HRESULT GuardedOut(T *out, F &&step) noexcept;

        cEditAPI &FOwner;
    };

    cApi FApi{*this};
    std::exception_ptr FAPIError; // the last failure of an operation, until taken
};
