// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/framework/EditWrappers.h"

#include "plugins/framework/EditDefs.h"

namespace {

// One call of a host operation that delivers a 32-bit value.
template <class TOperation> int32_t ValueOf(IEditAPI *api, TOperation operation)
{
    int32_t value = 0;
    (api->*operation)(&value);
    return value;
}

template <class TOperation> std::u16string TextOf(IEditAPI *api, TOperation operation)
{
    cBStrOwner text;
    (api->*operation)(text.Out());
    return text.ToString();
}

} // namespace

void cWEditAPI::AddLine(std::u16string_view text)
{
    HostAPI->AddLine(cBStrOwner(text).Get());
}

void cWEditAPI::InsertLine(int32_t index, std::u16string_view text)
{
    HostAPI->InsertLine(index, cBStrOwner(text).Get());
}

void cWEditAPI::DeleteLine(int32_t index)
{
    HostAPI->DeleteLine(index);
}

void cWEditAPI::MoveLine(int32_t curIndex, int32_t newIndex)
{
    HostAPI->MoveLine(curIndex, newIndex);
}

int32_t cWEditAPI::GetLineCount()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetLineCount);
}

std::u16string cWEditAPI::GetLine(int32_t index)
{
    cBStrOwner text;
    HostAPI->GetLine(index, text.Out());
    return text.ToString();
}

void cWEditAPI::SetLine(int32_t index, std::u16string_view text)
{
    HostAPI->SetLine(index, cBStrOwner(text).Get());
}

std::u16string cWEditAPI::GetText()
{
    return TextOf(HostAPI.Get(), &IEditAPI::GetText);
}

void cWEditAPI::SetText(std::u16string_view text)
{
    HostAPI->SetText(cBStrOwner(text).Get());
}

int32_t cWEditAPI::GetCurrentLine()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetCurrentLine);
}

void cWEditAPI::SetCurrentLine(int32_t line)
{
    HostAPI->SetCurrentLine(line);
}

int32_t cWEditAPI::GetCurrentColumn()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetCurrentColumn);
}

void cWEditAPI::SetCurrentColumn(int32_t column)
{
    HostAPI->SetCurrentColumn(column);
}

int32_t cWEditAPI::GetSelStart()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetSelStart);
}

void cWEditAPI::SetSelStart(int32_t start)
{
    HostAPI->SetSelStart(start);
}

int32_t cWEditAPI::GetSelLength()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetSelLength);
}

void cWEditAPI::SetSelLength(int32_t length)
{
    HostAPI->SetSelLength(length);
}

std::u16string cWEditAPI::GetSelText()
{
    return TextOf(HostAPI.Get(), &IEditAPI::GetSelText);
}

void cWEditAPI::SetSelText(std::u16string_view text)
{
    HostAPI->SetSelText(cBStrOwner(text).Get());
}

int32_t cWEditAPI::GetMainWindowHandle()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetMainWindowHandle);
}

int32_t cWEditAPI::GetEditorHandle()
{
    return ValueOf(HostAPI.Get(), &IEditAPI::GetEditorHandle);
}

int32_t cWEditAPI::FindText(std::u16string_view text, int32_t start, int32_t length, bool backward,
                            bool wholeWord, bool matchCase)
{
    int32_t position = -1;
    HostAPI->FindText(cBStrOwner(text).Get(), start, length, ToLongBool(backward), ToLongBool(wholeWord),
                      ToLongBool(matchCase), &position);
    return position;
}
