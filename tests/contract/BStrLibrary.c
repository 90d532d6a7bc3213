// SPDX-License-Identifier: GPL-3.0-or-later
#include "BStrLibrary.h"

BSTR LibraryAllocString(const OLECHAR *text, uint32_t length)
{
    return SysAllocStringLen(text, length);
}

void LibraryFreeString(BSTR text)
{
    SysFreeString(text);
}

uint32_t LibraryStringLen(BSTR text)
{
    return SysStringLen(text);
}
