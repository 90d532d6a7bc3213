// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorAPIFromC.h"

static uint32_t UnitCount(const OLECHAR *text)
{
    uint32_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

/* Null stays null: the contract's empty text. */
static BSTR MakeBStr(const OLECHAR *text)
{
    return text == NULL ? NULL : SysAllocStringLen(text, UnitCount(text));
}

static void TakeBStr(BSTR text, OLECHAR *buffer, uint32_t capacity, int32_t *length)
{
    uint32_t n = SysStringLen(text);
    *length = text == NULL ? -1 : (int32_t)n;
    if (n >= capacity)
        n = capacity - 1;
    if (text != NULL)
        memcpy(buffer, text, n * sizeof(OLECHAR));
    buffer[n] = 0;
    SysFreeString(text);
}

HRESULT CQueryInterface(IEditAPI *api, const GUID *iid, void **out)
{
    return api->lpVtbl->QueryInterface(api, iid, out);
}

uint32_t CAddRef(IEditAPI *api)
{
    return api->lpVtbl->AddRef(api);
}

uint32_t CRelease(IEditAPI *api)
{
    return api->lpVtbl->Release(api);
}

HRESULT CAddLine(IEditAPI *api, const OLECHAR *text)
{
    BSTR s = MakeBStr(text);
    HRESULT hr = api->lpVtbl->AddLine(api, s);
    SysFreeString(s);
    return hr;
}

HRESULT CInsertLine(IEditAPI *api, int32_t index, const OLECHAR *text)
{
    BSTR s = MakeBStr(text);
    HRESULT hr = api->lpVtbl->InsertLine(api, index, s);
    SysFreeString(s);
    return hr;
}

HRESULT CDeleteLine(IEditAPI *api, int32_t index)
{
    return api->lpVtbl->DeleteLine(api, index);
}

HRESULT CMoveLine(IEditAPI *api, int32_t curIndex, int32_t newIndex)
{
    return api->lpVtbl->MoveLine(api, curIndex, newIndex);
}

HRESULT CGetLineCount(IEditAPI *api, int32_t *count)
{
    return api->lpVtbl->GetLineCount(api, count);
}

HRESULT CGetLine(IEditAPI *api, int32_t index, OLECHAR *buffer, uint32_t capacity, int32_t *length)
{
    BSTR s = (BSTR)1; /* the callee must null it first */
    HRESULT hr = api->lpVtbl->GetLine(api, index, &s);
    TakeBStr(s, buffer, capacity, length);
    return hr;
}

HRESULT CSetLine(IEditAPI *api, int32_t index, const OLECHAR *text)
{
    BSTR s = MakeBStr(text);
    HRESULT hr = api->lpVtbl->SetLine(api, index, s);
    SysFreeString(s);
    return hr;
}

HRESULT CGetText(IEditAPI *api, OLECHAR *buffer, uint32_t capacity, int32_t *length)
{
    BSTR s = NULL;
    HRESULT hr = api->lpVtbl->GetText(api, &s);
    TakeBStr(s, buffer, capacity, length);
    return hr;
}

HRESULT CSetText(IEditAPI *api, const OLECHAR *text)
{
    BSTR s = MakeBStr(text);
    HRESULT hr = api->lpVtbl->SetText(api, s);
    SysFreeString(s);
    return hr;
}

HRESULT CGetCurrentLine(IEditAPI *api, int32_t *line)
{
    return api->lpVtbl->GetCurrentLine(api, line);
}

HRESULT CSetCurrentLine(IEditAPI *api, int32_t line)
{
    return api->lpVtbl->SetCurrentLine(api, line);
}

HRESULT CGetCurrentColumn(IEditAPI *api, int32_t *column)
{
    return api->lpVtbl->GetCurrentColumn(api, column);
}

HRESULT CSetCurrentColumn(IEditAPI *api, int32_t column)
{
    return api->lpVtbl->SetCurrentColumn(api, column);
}

HRESULT CGetSelStart(IEditAPI *api, int32_t *start)
{
    return api->lpVtbl->GetSelStart(api, start);
}

HRESULT CSetSelStart(IEditAPI *api, int32_t start)
{
    return api->lpVtbl->SetSelStart(api, start);
}

HRESULT CGetSelLength(IEditAPI *api, int32_t *length)
{
    return api->lpVtbl->GetSelLength(api, length);
}

HRESULT CSetSelLength(IEditAPI *api, int32_t length)
{
    return api->lpVtbl->SetSelLength(api, length);
}

HRESULT CGetSelText(IEditAPI *api, OLECHAR *buffer, uint32_t capacity, int32_t *length)
{
    BSTR s = NULL;
    HRESULT hr = api->lpVtbl->GetSelText(api, &s);
    TakeBStr(s, buffer, capacity, length);
    return hr;
}

HRESULT CSetSelText(IEditAPI *api, const OLECHAR *text)
{
    BSTR s = MakeBStr(text);
    HRESULT hr = api->lpVtbl->SetSelText(api, s);
    SysFreeString(s);
    return hr;
}

HRESULT CGetMainWindowHandle(IEditAPI *api, int32_t *handle)
{
    return api->lpVtbl->GetMainWindowHandle(api, handle);
}

HRESULT CGetEditorHandle(IEditAPI *api, int32_t *handle)
{
    return api->lpVtbl->GetEditorHandle(api, handle);
}

HRESULT CFindText(IEditAPI *api, const OLECHAR *text, int32_t start, int32_t length, LongBool backward,
                  LongBool wholeWord, LongBool matchCase, int32_t *position)
{
    BSTR s = MakeBStr(text);
    HRESULT hr = api->lpVtbl->FindText(api, s, start, length, backward, wholeWord, matchCase, position);
    SysFreeString(s);
    return hr;
}

HRESULT CCallWithNullOut(IEditAPI *api, int slot)
{
    static const OLECHAR word[] = {'a', 0};
    BSTR text = MakeBStr(word);
    HRESULT hr = S_OK;
    switch (slot) {
    case 0:
        hr = api->lpVtbl->QueryInterface(api, &IID_IEditAPI, NULL);
        break;
    case 7:
        hr = api->lpVtbl->GetLineCount(api, NULL);
        break;
    case 8:
        hr = api->lpVtbl->GetLine(api, 0, NULL);
        break;
    case 10:
        hr = api->lpVtbl->GetText(api, NULL);
        break;
    case 12:
        hr = api->lpVtbl->GetCurrentLine(api, NULL);
        break;
    case 14:
        hr = api->lpVtbl->GetCurrentColumn(api, NULL);
        break;
    case 16:
        hr = api->lpVtbl->GetSelStart(api, NULL);
        break;
    case 18:
        hr = api->lpVtbl->GetSelLength(api, NULL);
        break;
    case 20:
        hr = api->lpVtbl->GetSelText(api, NULL);
        break;
    case 22:
        hr = api->lpVtbl->GetMainWindowHandle(api, NULL);
        break;
    case 23:
        hr = api->lpVtbl->GetEditorHandle(api, NULL);
        break;
    case 24:
        hr = api->lpVtbl->FindText(api, text, 0, 0, 0, 0, 0, NULL);
        break;
    default:
        hr = E_FAIL;
        break;
    }
    SysFreeString(text);
    return hr;
}
