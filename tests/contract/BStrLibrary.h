// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* A separate shared library written in C that makes and frees BSTRs, standing
 * in for "the other side" of the boundary. */
#include "contract/EditorPlugins_TLB.h"

#ifdef __cplusplus
extern "C" {
#endif

BSTR LibraryAllocString(const OLECHAR *text, uint32_t length);
void LibraryFreeString(BSTR text);
uint32_t LibraryStringLen(BSTR text);

#ifdef __cplusplus
}
#endif
