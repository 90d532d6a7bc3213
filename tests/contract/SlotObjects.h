// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/*
 * The contract seen from a plain C translation unit. Objects whose every slot
 * records its call and returns its own slot number, and checks that call
 * every slot of an object written in C++.
 */
#include "contract/EditorPlugins_TLB.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The last call a slot object received, on either side. */
typedef struct tSlotCall
{
    int Slot;
    int Count;
    int64_t Args[8];
} tSlotCall;

extern tSlotCall LastSlotCall;

/* Every int32 out-parameter receives 100 + slot; every PChar out-parameter
 * SlotName(slot); every BSTR out-parameter SlotText(). */
PChar SlotName(int slot);
BSTR SlotText(void);

IImportPlugin *CSlotImportPlugin(void);
IExportPlugin *CSlotExportPlugin(void);
IPlugins *CSlotPlugins(void);
IEditTextProcessingPlugin *CSlotProcessingPlugin(void);
IEditAPI *CSlotEditAPI(void);

/* Call every slot from C; the first slot whose result, recorded arguments or
 * out-values are wrong, or -1 when all are right. */
int CCheckImportPlugin(IImportPlugin *object);
int CCheckExportPlugin(IExportPlugin *object);
int CCheckPlugins(IPlugins *object);
int CCheckProcessingPlugin(IEditTextProcessingPlugin *object);
int CCheckEditAPI(IEditAPI *object);

#ifdef __cplusplus
}
#endif
