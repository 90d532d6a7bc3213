// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditorAPI.h"

#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"

#include <QWidget>

#include <new>

namespace {

QString FromBStr(BSTR text)
{
    return text ? QString(reinterpret_cast<const QChar *>(text), qsizetype(SysStringLen(text))) : QString();
}

// Caller frees with SysFreeString. The empty text is allocated too, so a
// plug-in never meets null where it got a text.
BSTR ToBStr(const QString &text)
{
    BSTR result = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.utf16()), uint32_t(text.size()));
    if (!result)
        throw std::bad_alloc();
    return result;
}

int32_t HandleOf(const QWidget *widget)
{
    return widget ? int32_t(widget->winId()) : 0;
}

} // namespace

cEditAPI::cEditAPI(QWidget *parent) : cEditRegex(parent) {}

QString cEditAPI::APIErrorText() const
{
    if (!FAPIError)
        return {};
    try {
        std::rethrow_exception(FAPIError);
    } catch (const eException &error) {
        return error.Message();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

std::exception_ptr cEditAPI::TakeAPIErrorOf(IEditAPI *api) noexcept
{
    auto *own = dynamic_cast<cApi *>(api);
    return own ? own->Owner().TakeAPIError() : nullptr;
}

// No exception may cross the boundary back into a plug-in.
template <typename F> HRESULT cEditAPI::cApi::Guarded(F &&step) noexcept
{
    try {
        step();
        return S_OK;
    } catch (...) {
        FOwner.FAPIError = std::current_exception();
        return E_FAIL;
    }
}

// A null out-pointer is the plug-in's mistake, told by the result alone: the
// document is untouched and nothing is kept for the host to raise.
template <typename T, typename F> HRESULT cEditAPI::cApi::GuardedOut(T *out, F &&step) noexcept
{
    if (!out)
        return E_POINTER;
    return Guarded([&] { step(*out); });
}

HRESULT cEditAPI::cApi::QueryInterface(const GUID &iid, void **out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IEditAPI || iid == IID_IUnknown) {
        *out = static_cast<IEditAPI *>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// The document owns this object; counting would only pretend otherwise.
uint32_t cEditAPI::cApi::AddRef()
{
    return uint32_t(-1);
}

uint32_t cEditAPI::cApi::Release()
{
    return uint32_t(-1);
}

HRESULT cEditAPI::cApi::AddLine(BSTR text)
{
    return Guarded([&] { FOwner.WLines().Add(FromBStr(text)); });
}

HRESULT cEditAPI::cApi::InsertLine(int32_t index, BSTR text)
{
    return Guarded([&] { FOwner.WLines().Insert(index, FromBStr(text)); });
}

HRESULT cEditAPI::cApi::DeleteLine(int32_t index)
{
    return Guarded([&] { FOwner.WLines().Delete(index); });
}

HRESULT cEditAPI::cApi::MoveLine(int32_t curIndex, int32_t newIndex)
{
    return Guarded([&] { FOwner.WLines().Move(curIndex, newIndex); });
}

HRESULT cEditAPI::cApi::GetLineCount(int32_t *count)
{
    return GuardedOut(count, [&](int32_t &value) { value = FOwner.WLines().GetCount(); });
}

HRESULT cEditAPI::cApi::GetLine(int32_t index, BSTR *text)
{
    return GuardedOut(text, [&](BSTR &value) {
        value = nullptr;
        value = ToBStr(FOwner.WLines().Get(index));
    });
}

HRESULT cEditAPI::cApi::SetLine(int32_t index, BSTR text)
{
    return Guarded([&] { FOwner.WLines().Put(index, FromBStr(text)); });
}

HRESULT cEditAPI::cApi::GetText(BSTR *text)
{
    return GuardedOut(text, [&](BSTR &value) {
        value = nullptr;
        value = ToBStr(FOwner.GetTextW());
    });
}

HRESULT cEditAPI::cApi::SetText(BSTR text)
{
    return Guarded([&] { FOwner.SetTextW(FromBStr(text)); });
}

HRESULT cEditAPI::cApi::GetCurrentLine(int32_t *line)
{
    return GuardedOut(line, [&](int32_t &value) { value = FOwner.GetCaretLine(); });
}

HRESULT cEditAPI::cApi::SetCurrentLine(int32_t line)
{
    return Guarded([&] { FOwner.GoToLine(line); });
}

HRESULT cEditAPI::cApi::GetCurrentColumn(int32_t *column)
{
    return GuardedOut(column, [&](int32_t &value) { value = FOwner.GetCaretColumn(); });
}

HRESULT cEditAPI::cApi::SetCurrentColumn(int32_t column)
{
    return Guarded([&] { FOwner.GoToColumn(column); });
}

HRESULT cEditAPI::cApi::GetSelStart(int32_t *start)
{
    return GuardedOut(start, [&](int32_t &value) { value = FOwner.GetSelStart(); });
}

HRESULT cEditAPI::cApi::SetSelStart(int32_t start)
{
    return Guarded([&] { FOwner.SetSelStart(start); });
}

HRESULT cEditAPI::cApi::GetSelLength(int32_t *length)
{
    return GuardedOut(length, [&](int32_t &value) { value = FOwner.GetSelLength(); });
}

HRESULT cEditAPI::cApi::SetSelLength(int32_t length)
{
    return Guarded([&] {
        FOwner.SetSelLength(length);
        FOwner.ensureCursorVisible();
    });
}

HRESULT cEditAPI::cApi::GetSelText(BSTR *text)
{
    return GuardedOut(text, [&](BSTR &value) {
        value = nullptr;
        value = ToBStr(FOwner.GetSelTextW());
    });
}

HRESULT cEditAPI::cApi::SetSelText(BSTR text)
{
    return Guarded([&] { FOwner.SetSelTextW(FromBStr(text)); });
}

HRESULT cEditAPI::cApi::GetMainWindowHandle(int32_t *handle)
{
    return GuardedOut(handle, [&](int32_t &value) { value = HandleOf(ApplicationMainWindow()); });
}

HRESULT cEditAPI::cApi::GetEditorHandle(int32_t *handle)
{
    return GuardedOut(handle, [&](int32_t &value) { value = HandleOf(&FOwner); });
}

HRESULT cEditAPI::cApi::FindText(BSTR text, int32_t start, int32_t length, LongBool backward,
                                 LongBool wholeWord, LongBool matchCase, int32_t *position)
{
    return GuardedOut(position, [&](int32_t &value) {
        int options = 0;
        if (backward)
            options |= ftBackward;
        if (wholeWord)
            options |= ftWholeWord;
        if (matchCase)
            options |= ftMatchCase;
        value = FOwner.FindTextW(FromBStr(text), start, length, options);
    });
}
