// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/*
 * The editor API driven from a plain C translation unit, one function per
 * operation, every call made through the C vtable view. Wide texts cross as
 * zero-terminated UTF-16; each BSTR made here is freed here.
 */
#include "contract/EditorPlugins_TLB.h"

#ifdef __cplusplus
extern "C" {
#endif

HRESULT CQueryInterface(IEditAPI *api, const GUID *iid, void **out);
uint32_t CAddRef(IEditAPI *api);
uint32_t CRelease(IEditAPI *api);

HRESULT CAddLine(IEditAPI *api, const OLECHAR *text);
HRESULT CInsertLine(IEditAPI *api, int32_t index, const OLECHAR *text);
HRESULT CDeleteLine(IEditAPI *api, int32_t index);
HRESULT CMoveLine(IEditAPI *api, int32_t curIndex, int32_t newIndex);
HRESULT CGetLineCount(IEditAPI *api, int32_t *count);
/* Out texts are copied into buffer (capacity units, terminated) and freed;
 * *length receives the BSTR's length, -1 when it was null. */
HRESULT CGetLine(IEditAPI *api, int32_t index, OLECHAR *buffer, uint32_t capacity, int32_t *length);
HRESULT CSetLine(IEditAPI *api, int32_t index, const OLECHAR *text);
HRESULT CGetText(IEditAPI *api, OLECHAR *buffer, uint32_t capacity, int32_t *length);
/* A null text is passed as a null BSTR. */
HRESULT CSetText(IEditAPI *api, const OLECHAR *text);
HRESULT CGetCurrentLine(IEditAPI *api, int32_t *line);
HRESULT CSetCurrentLine(IEditAPI *api, int32_t line);
HRESULT CGetCurrentColumn(IEditAPI *api, int32_t *column);
HRESULT CSetCurrentColumn(IEditAPI *api, int32_t column);
HRESULT CGetSelStart(IEditAPI *api, int32_t *start);
HRESULT CSetSelStart(IEditAPI *api, int32_t start);
HRESULT CGetSelLength(IEditAPI *api, int32_t *length);
HRESULT CSetSelLength(IEditAPI *api, int32_t length);
HRESULT CGetSelText(IEditAPI *api, OLECHAR *buffer, uint32_t capacity, int32_t *length);
HRESULT CSetSelText(IEditAPI *api, const OLECHAR *text);
HRESULT CGetMainWindowHandle(IEditAPI *api, int32_t *handle);
HRESULT CGetEditorHandle(IEditAPI *api, int32_t *handle);
HRESULT CFindText(IEditAPI *api, const OLECHAR *text, int32_t start, int32_t length, LongBool backward,
                  LongBool wholeWord, LongBool matchCase, int32_t *position);

/* Calls the operation in vtable slot `slot` with a null out-pointer, as a
 * careless plug-in would; other arguments are valid. */
HRESULT CCallWithNullOut(IEditAPI *api, int slot);

#ifdef __cplusplus
}
#endif
