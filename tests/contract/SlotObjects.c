// SPDX-License-Identifier: GPL-3.0-or-later
#include "SlotObjects.h"

#include <stdarg.h>

tSlotCall LastSlotCall;

static const char *const Names[] = {"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8"};
static OLECHAR TextUnits[] = {'s', 'l', 'o', 't', 0};
static const char FileName[] = "file";

PChar SlotName(int slot)
{
    return slot >= 0 && slot < 9 ? Names[slot] : "?";
}

BSTR SlotText(void)
{
    return TextUnits;
}

static void Record(int slot, int count, ...)
{
    va_list args;
    int i;
    memset(&LastSlotCall, 0, sizeof LastSlotCall);
    LastSlotCall.Slot = slot;
    LastSlotCall.Count = count;
    va_start(args, count);
    for (i = 0; i < count; ++i)
        LastSlotCall.Args[i] = va_arg(args, int64_t);
    va_end(args);
}

#define P(x) ((int64_t)(intptr_t)(x))

/* ---- Objects written in C ------------------------------------------------ */

#define UNKNOWN_SLOTS(T)                                                                                     \
    static HRESULT T##_QueryInterface(T *self, const GUID *iid, void **out)                                  \
    {                                                                                                        \
        Record(0, 2, P(self), P(iid));                                                                       \
        *out = self;                                                                                         \
        return 0;                                                                                            \
    }                                                                                                        \
    static uint32_t T##_AddRef(T *self)                                                                      \
    {                                                                                                        \
        Record(1, 1, P(self));                                                                               \
        return 1;                                                                                            \
    }                                                                                                        \
    static uint32_t T##_Release(T *self)                                                                     \
    {                                                                                                        \
        Record(2, 1, P(self));                                                                               \
        return 2;                                                                                            \
    }

#define NAMED_SLOTS(T)                                                                                       \
    UNKNOWN_SLOTS(T)                                                                                         \
    static HRESULT T##_GetName(T *self, PChar *name)                                                         \
    {                                                                                                        \
        Record(3, 1, P(self));                                                                               \
        *name = SlotName(3);                                                                                 \
        return 3;                                                                                            \
    }                                                                                                        \
    static HRESULT T##_GetShortHint(T *self, PChar *hint)                                                    \
    {                                                                                                        \
        Record(4, 1, P(self));                                                                               \
        *hint = SlotName(4);                                                                                 \
        return 4;                                                                                            \
    }                                                                                                        \
    static HRESULT T##_GetLongHint(T *self, PChar *hint)                                                     \
    {                                                                                                        \
        Record(5, 1, P(self));                                                                               \
        *hint = SlotName(5);                                                                                 \
        return 5;                                                                                            \
    }

#define IO_SLOTS(T)                                                                                          \
    NAMED_SLOTS(T)                                                                                           \
    static HRESULT T##_GetFilter(T *self, PChar *filter)                                                     \
    {                                                                                                        \
        Record(6, 1, P(self));                                                                               \
        *filter = SlotName(6);                                                                               \
        return 6;                                                                                            \
    }

#define NAMED_ENTRIES(T)                                                                                     \
    T##_QueryInterface, T##_AddRef, T##_Release, T##_GetName, T##_GetShortHint, T##_GetLongHint

IO_SLOTS(IImportPlugin)
static HRESULT IImportPlugin_Import(IImportPlugin *self, int32_t parentWindow, PChar fileName, BSTR *text)
{
    Record(7, 3, P(self), (int64_t)parentWindow, P(fileName));
    *text = SlotText();
    return 7;
}
static const struct IImportPluginVtbl ImportVtbl = {NAMED_ENTRIES(IImportPlugin), IImportPlugin_GetFilter,
                                                    IImportPlugin_Import};
static IImportPlugin ImportObject = {&ImportVtbl};

IO_SLOTS(IExportPlugin)
static HRESULT IExportPlugin_Export(IExportPlugin *self, int32_t parentWindow, PChar fileName, BSTR text)
{
    Record(7, 4, P(self), (int64_t)parentWindow, P(fileName), P(text));
    return 7;
}
static const struct IExportPluginVtbl ExportVtbl = {NAMED_ENTRIES(IExportPlugin), IExportPlugin_GetFilter,
                                                    IExportPlugin_Export};
static IExportPlugin ExportObject = {&ExportVtbl};

UNKNOWN_SLOTS(IPlugins)
static HRESULT IPlugins_GetPluginCount(IPlugins *self, int32_t *count)
{
    Record(3, 1, P(self));
    *count = 103;
    return 3;
}
static HRESULT IPlugins_GetPlugin(IPlugins *self, int32_t index, IEditorPlugin **plugin)
{
    Record(4, 2, P(self), (int64_t)index);
    *plugin = (IEditorPlugin *)self;
    return 4;
}
static const struct IPluginsVtbl PluginsVtbl = {IPlugins_QueryInterface, IPlugins_AddRef, IPlugins_Release,
                                                IPlugins_GetPluginCount, IPlugins_GetPlugin};
static IPlugins PluginsObject = {&PluginsVtbl};

NAMED_SLOTS(IEditTextProcessingPlugin)
static HRESULT IEditTextProcessingPlugin_GetEnabled(IEditTextProcessingPlugin *self, IEditAPI *api,
                                                    LongBool *enabled)
{
    Record(6, 2, P(self), P(api));
    *enabled = 106;
    return 6;
}
static HRESULT IEditTextProcessingPlugin_Process(IEditTextProcessingPlugin *self, IEditAPI *api,
                                                 BSTR *message)
{
    Record(7, 2, P(self), P(api));
    *message = SlotText();
    return 7;
}
static const struct IEditTextProcessingPluginVtbl ProcessingVtbl = {NAMED_ENTRIES(IEditTextProcessingPlugin),
                                                                    IEditTextProcessingPlugin_GetEnabled,
                                                                    IEditTextProcessingPlugin_Process};
static IEditTextProcessingPlugin ProcessingObject = {&ProcessingVtbl};

/* The editor API: in-values are recorded, out-values are 100 + slot. */
#define API_SET_INT(name, slot)                                                                              \
    static HRESULT Api_##name(IEditAPI *self, int32_t value)                                                 \
    {                                                                                                        \
        Record(slot, 2, P(self), (int64_t)value);                                                            \
        return slot;                                                                                         \
    }
#define API_GET_INT(name, slot)                                                                              \
    static HRESULT Api_##name(IEditAPI *self, int32_t *value)                                                \
    {                                                                                                        \
        Record(slot, 1, P(self));                                                                            \
        *value = 100 + slot;                                                                                 \
        return slot;                                                                                         \
    }
#define API_SET_TEXT(name, slot)                                                                             \
    static HRESULT Api_##name(IEditAPI *self, BSTR text)                                                     \
    {                                                                                                        \
        Record(slot, 2, P(self), P(text));                                                                   \
        return slot;                                                                                         \
    }
#define API_GET_TEXT(name, slot)                                                                             \
    static HRESULT Api_##name(IEditAPI *self, BSTR *text)                                                    \
    {                                                                                                        \
        Record(slot, 1, P(self));                                                                            \
        *text = SlotText();                                                                                  \
        return slot;                                                                                         \
    }

UNKNOWN_SLOTS(IEditAPI)
API_SET_TEXT(AddLine, 3)
static HRESULT Api_InsertLine(IEditAPI *self, int32_t index, BSTR text)
{
    Record(4, 3, P(self), (int64_t)index, P(text));
    return 4;
}
API_SET_INT(DeleteLine, 5)
static HRESULT Api_MoveLine(IEditAPI *self, int32_t curIndex, int32_t newIndex)
{
    Record(6, 3, P(self), (int64_t)curIndex, (int64_t)newIndex);
    return 6;
}
API_GET_INT(GetLineCount, 7)
static HRESULT Api_GetLine(IEditAPI *self, int32_t index, BSTR *text)
{
    Record(8, 2, P(self), (int64_t)index);
    *text = SlotText();
    return 8;
}
static HRESULT Api_SetLine(IEditAPI *self, int32_t index, BSTR text)
{
    Record(9, 3, P(self), (int64_t)index, P(text));
    return 9;
}
API_GET_TEXT(GetText, 10)
API_SET_TEXT(SetText, 11)
API_GET_INT(GetCurrentLine, 12)
API_SET_INT(SetCurrentLine, 13)
API_GET_INT(GetCurrentColumn, 14)
API_SET_INT(SetCurrentColumn, 15)
API_GET_INT(GetSelStart, 16)
API_SET_INT(SetSelStart, 17)
API_GET_INT(GetSelLength, 18)
API_SET_INT(SetSelLength, 19)
API_GET_TEXT(GetSelText, 20)
API_SET_TEXT(SetSelText, 21)
API_GET_INT(GetMainWindowHandle, 22)
API_GET_INT(GetEditorHandle, 23)
static HRESULT Api_FindText(IEditAPI *self, BSTR text, int32_t start, int32_t length, LongBool backward,
                            LongBool wholeWord, LongBool matchCase, int32_t *position)
{
    Record(24, 7, P(self), P(text), (int64_t)start, (int64_t)length, (int64_t)backward, (int64_t)wholeWord,
           (int64_t)matchCase);
    *position = 124;
    return 24;
}
static const struct IEditAPIVtbl EditAPIVtbl = {IEditAPI_QueryInterface,
                                                IEditAPI_AddRef,
                                                IEditAPI_Release,
                                                Api_AddLine,
                                                Api_InsertLine,
                                                Api_DeleteLine,
                                                Api_MoveLine,
                                                Api_GetLineCount,
                                                Api_GetLine,
                                                Api_SetLine,
                                                Api_GetText,
                                                Api_SetText,
                                                Api_GetCurrentLine,
                                                Api_SetCurrentLine,
                                                Api_GetCurrentColumn,
                                                Api_SetCurrentColumn,
                                                Api_GetSelStart,
                                                Api_SetSelStart,
                                                Api_GetSelLength,
                                                Api_SetSelLength,
                                                Api_GetSelText,
                                                Api_SetSelText,
                                                Api_GetMainWindowHandle,
                                                Api_GetEditorHandle,
                                                Api_FindText};
static IEditAPI EditAPIObject = {&EditAPIVtbl};

IImportPlugin *CSlotImportPlugin(void)
{
    return &ImportObject;
}
IExportPlugin *CSlotExportPlugin(void)
{
    return &ExportObject;
}
IPlugins *CSlotPlugins(void)
{
    return &PluginsObject;
}
IEditTextProcessingPlugin *CSlotProcessingPlugin(void)
{
    return &ProcessingObject;
}
IEditAPI *CSlotEditAPI(void)
{
    return &EditAPIObject;
}

/* ---- Calling objects written in C++ -------------------------------------- */

/* The call's result and recorded arguments must match; else its slot is the answer. */
static int Matches(int slot, int64_t result, int count, const int64_t *expected)
{
    return result == slot && LastSlotCall.Slot == slot && LastSlotCall.Count == count &&
           memcmp(LastSlotCall.Args, expected, sizeof(int64_t) * (size_t)count) == 0;
}

#define EXPECT_SLOT(slot, call, ...)                                                                         \
    do {                                                                                                     \
        const int64_t expected[] = {__VA_ARGS__};                                                            \
        const int64_t result = (int64_t)(call);                                                              \
        if (!Matches(slot, result, (int)(sizeof expected / sizeof expected[0]), expected))                   \
            return slot;                                                                                     \
    } while (0)

#define EXPECT_OUT(slot, condition)                                                                          \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            return slot;                                                                                     \
    } while (0)

#define CHECK_UNKNOWN(o)                                                                                     \
    do {                                                                                                     \
        void *out = NULL;                                                                                    \
        EXPECT_SLOT(0, (o)->lpVtbl->QueryInterface((o), &IID_IUnknown, &out), P(o), P(&IID_IUnknown));       \
        EXPECT_OUT(0, out == (o));                                                                           \
        EXPECT_SLOT(1, (o)->lpVtbl->AddRef(o), P(o));                                                        \
        EXPECT_SLOT(2, (o)->lpVtbl->Release(o), P(o));                                                       \
    } while (0)

#define CHECK_NAMED(o)                                                                                       \
    do {                                                                                                     \
        PChar text = NULL;                                                                                   \
        CHECK_UNKNOWN(o);                                                                                    \
        EXPECT_SLOT(3, (o)->lpVtbl->GetName((o), &text), P(o));                                              \
        EXPECT_OUT(3, text == SlotName(3));                                                                  \
        EXPECT_SLOT(4, (o)->lpVtbl->GetShortHint((o), &text), P(o));                                         \
        EXPECT_OUT(4, text == SlotName(4));                                                                  \
        EXPECT_SLOT(5, (o)->lpVtbl->GetLongHint((o), &text), P(o));                                          \
        EXPECT_OUT(5, text == SlotName(5));                                                                  \
    } while (0)

#define CHECK_IO(o)                                                                                          \
    do {                                                                                                     \
        PChar filter = NULL;                                                                                 \
        CHECK_NAMED(o);                                                                                      \
        EXPECT_SLOT(6, (o)->lpVtbl->GetFilter((o), &filter), P(o));                                          \
        EXPECT_OUT(6, filter == SlotName(6));                                                                \
    } while (0)

int CCheckImportPlugin(IImportPlugin *o)
{
    BSTR text = NULL;
    CHECK_IO(o);
    EXPECT_SLOT(7, o->lpVtbl->Import(o, -77, FileName, &text), P(o), -77, P(FileName));
    EXPECT_OUT(7, text == SlotText());
    return -1;
}

int CCheckExportPlugin(IExportPlugin *o)
{
    CHECK_IO(o);
    EXPECT_SLOT(7, o->lpVtbl->Export(o, 0x7FFFFFFF, FileName, SlotText()), P(o), 0x7FFFFFFF, P(FileName),
                P(SlotText()));
    return -1;
}

int CCheckPlugins(IPlugins *o)
{
    int32_t count = 0;
    IEditorPlugin *plugin = NULL;
    CHECK_UNKNOWN(o);
    EXPECT_SLOT(3, o->lpVtbl->GetPluginCount(o, &count), P(o));
    EXPECT_OUT(3, count == 103);
    EXPECT_SLOT(4, o->lpVtbl->GetPlugin(o, -2, &plugin), P(o), -2);
    EXPECT_OUT(4, plugin == (IEditorPlugin *)o);
    return -1;
}

int CCheckProcessingPlugin(IEditTextProcessingPlugin *o)
{
    LongBool enabled = 0;
    BSTR message = NULL;
    IEditAPI *api = CSlotEditAPI();
    CHECK_NAMED(o);
    EXPECT_SLOT(6, o->lpVtbl->GetEnabled(o, api, &enabled), P(o), P(api));
    EXPECT_OUT(6, enabled == 106);
    EXPECT_SLOT(7, o->lpVtbl->Process(o, api, &message), P(o), P(api));
    EXPECT_OUT(7, message == SlotText());
    return -1;
}

int CCheckEditAPI(IEditAPI *o)
{
    const BSTR t = SlotText();
    BSTR text = NULL;
    int32_t value = 0;
    CHECK_UNKNOWN(o);
    EXPECT_SLOT(3, o->lpVtbl->AddLine(o, t), P(o), P(t));
    EXPECT_SLOT(4, o->lpVtbl->InsertLine(o, -1, t), P(o), -1, P(t));
    EXPECT_SLOT(5, o->lpVtbl->DeleteLine(o, 5), P(o), 5);
    EXPECT_SLOT(6, o->lpVtbl->MoveLine(o, 1, 2), P(o), 1, 2);
    EXPECT_SLOT(7, o->lpVtbl->GetLineCount(o, &value), P(o));
    EXPECT_OUT(7, value == 107);
    EXPECT_SLOT(8, o->lpVtbl->GetLine(o, 8, &text), P(o), 8);
    EXPECT_OUT(8, text == t);
    EXPECT_SLOT(9, o->lpVtbl->SetLine(o, 9, t), P(o), 9, P(t));
    text = NULL;
    EXPECT_SLOT(10, o->lpVtbl->GetText(o, &text), P(o));
    EXPECT_OUT(10, text == t);
    EXPECT_SLOT(11, o->lpVtbl->SetText(o, t), P(o), P(t));
    EXPECT_SLOT(12, o->lpVtbl->GetCurrentLine(o, &value), P(o));
    EXPECT_OUT(12, value == 112);
    EXPECT_SLOT(13, o->lpVtbl->SetCurrentLine(o, 13), P(o), 13);
    EXPECT_SLOT(14, o->lpVtbl->GetCurrentColumn(o, &value), P(o));
    EXPECT_OUT(14, value == 114);
    EXPECT_SLOT(15, o->lpVtbl->SetCurrentColumn(o, 15), P(o), 15);
    EXPECT_SLOT(16, o->lpVtbl->GetSelStart(o, &value), P(o));
    EXPECT_OUT(16, value == 116);
    EXPECT_SLOT(17, o->lpVtbl->SetSelStart(o, 17), P(o), 17);
    EXPECT_SLOT(18, o->lpVtbl->GetSelLength(o, &value), P(o));
    EXPECT_OUT(18, value == 118);
    EXPECT_SLOT(19, o->lpVtbl->SetSelLength(o, 19), P(o), 19);
    text = NULL;
    EXPECT_SLOT(20, o->lpVtbl->GetSelText(o, &text), P(o));
    EXPECT_OUT(20, text == t);
    EXPECT_SLOT(21, o->lpVtbl->SetSelText(o, t), P(o), P(t));
    EXPECT_SLOT(22, o->lpVtbl->GetMainWindowHandle(o, &value), P(o));
    EXPECT_OUT(22, value == 122);
    EXPECT_SLOT(23, o->lpVtbl->GetEditorHandle(o, &value), P(o));
    EXPECT_OUT(23, value == 123);
    EXPECT_SLOT(24, o->lpVtbl->FindText(o, t, 40, 10, -1, 0, 1, &value), P(o), P(t), 40, 10, -1, 0, 1);
    EXPECT_OUT(24, value == 124);
    return -1;
}
