// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/*
 * The binary contract between the editor and its plug-in libraries, usable
 * from C and C++. Nothing else crosses between the two sides.
 *
 * Rules for every operation:
 * - Slots 0..2 are QueryInterface, AddRef, Release; own operations follow in
 *   declaration order, after those of the parent interface.
 * - Every own operation returns an HRESULT; results come through out-pointers.
 * - Booleans are 32 bits: zero is false, anything else true; -1 is written.
 * - PChar is zero-terminated text in the ANSI code page. An in-PChar belongs
 *   to the caller for the call. An out-PChar points into the callee's storage
 *   and stays valid until the next call of the same operation on the same
 *   object or until the object is released; copy it at once.
 * - BSTR: an in-BSTR belongs to the caller (the callee copies what it keeps);
 *   an out-BSTR is set to null by the callee first, then to text it allocated
 *   with SysAllocStringLen; the caller frees it with SysFreeString. A null
 *   BSTR is the empty text.
 * - An out-interface arrives AddRef'ed for the caller; an in-interface is not
 *   released by the callee, which AddRefs whatever it keeps.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

/* The standard calling convention of COM interfaces on this platform. */
#if defined(__i386__)
#define QUORVEL_STDCALL __attribute__((stdcall))
#else
#define QUORVEL_STDCALL
#endif

#define QUORVEL_PLUGIN_EXPORT __attribute__((visibility("default")))

#ifdef __cplusplus
#define QUORVEL_INLINE inline
#else
#define QUORVEL_INLINE static inline
#endif

/* ---- Basic types ------------------------------------------------------- */

typedef int32_t HRESULT;

#define S_OK ((HRESULT)0)
#define E_NOINTERFACE ((HRESULT)0x80004002u)
#define E_POINTER ((HRESULT)0x80004003u) /* a required out-pointer was null */
#define E_FAIL ((HRESULT)0x80004005u)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

/* A 32-bit boolean of the contract. */
typedef int32_t LongBool;
#define LONGBOOL_TRUE ((LongBool)-1)
#define LONGBOOL_FALSE ((LongBool)0)

/* Narrow text in the ANSI code page. */
typedef const char *PChar;

#ifdef __cplusplus
typedef char16_t OLECHAR;
#else
typedef uint16_t OLECHAR;
#endif
/* Wide text: points at the first UTF-16 unit of a length-prefixed block. */
typedef OLECHAR *BSTR;

typedef struct GUID
{
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;

QUORVEL_INLINE int IsEqualGUID(const GUID *a, const GUID *b)
{
    return memcmp(a, b, sizeof(GUID)) == 0;
}

#ifdef __cplusplus
inline bool operator==(const GUID &a, const GUID &b)
{
    return IsEqualGUID(&a, &b) != 0;
}
#define QUORVEL_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                 \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};
#else
#define QUORVEL_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                 \
    static const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};
#endif

/* {00000000-0000-0000-C000-000000000046} */
QUORVEL_DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
/* {1BC35BFF-F023-46BA-ADB6-71BD98BD2C24} */
QUORVEL_DEFINE_GUID(IID_IEditorPlugin, 0x1BC35BFF, 0xF023, 0x46BA, 0xAD, 0xB6, 0x71, 0xBD, 0x98, 0xBD, 0x2C,
                    0x24)
/* {FE6620E4-A909-4447-B9E2-C5D809AAC1FB} */
QUORVEL_DEFINE_GUID(IID_INamedPlugin, 0xFE6620E4, 0xA909, 0x4447, 0xB9, 0xE2, 0xC5, 0xD8, 0x09, 0xAA, 0xC1,
                    0xFB)
/* {70E815A8-4CF7-4617-9FD5-64813DE82A5F} */
QUORVEL_DEFINE_GUID(IID_IIOPlugin, 0x70E815A8, 0x4CF7, 0x4617, 0x9F, 0xD5, 0x64, 0x81, 0x3D, 0xE8, 0x2A, 0x5F)
/* {A4A318D3-F9D7-4E9D-A54B-EE4A42BB97A0} */
QUORVEL_DEFINE_GUID(IID_IImportPlugin, 0xA4A318D3, 0xF9D7, 0x4E9D, 0xA5, 0x4B, 0xEE, 0x4A, 0x42, 0xBB, 0x97,
                    0xA0)
/* {453D6C11-A8F7-4057-8F49-599CCC04B9FE} */
QUORVEL_DEFINE_GUID(IID_IExportPlugin, 0x453D6C11, 0xA8F7, 0x4057, 0x8F, 0x49, 0x59, 0x9C, 0xCC, 0x04, 0xB9,
                    0xFE)
/* {B18EB97C-2E36-4AE3-823D-30073E133D4F} */
QUORVEL_DEFINE_GUID(IID_IPlugins, 0xB18EB97C, 0x2E36, 0x4AE3, 0x82, 0x3D, 0x30, 0x07, 0x3E, 0x13, 0x3D, 0x4F)
/* {CA95B167-A097-4153-B4F2-EF6C9DBFED0A} */
QUORVEL_DEFINE_GUID(IID_IEditorMenuPlugin, 0xCA95B167, 0xA097, 0x4153, 0xB4, 0xF2, 0xEF, 0x6C, 0x9D, 0xBF,
                    0xED, 0x0A)
/* {D050B0EE-CB17-4DDC-90E3-4E28CCA7C1C5} */
QUORVEL_DEFINE_GUID(IID_IEditTextProcessingPlugin, 0xD050B0EE, 0xCB17, 0x4DDC, 0x90, 0xE3, 0x4E, 0x28, 0xCC,
                    0xA7, 0xC1, 0xC5)
/* {168AA021-9A35-4E5E-B3E7-920BD4E8BC43} */
QUORVEL_DEFINE_GUID(IID_IEditLines, 0x168AA021, 0x9A35, 0x4E5E, 0xB3, 0xE7, 0x92, 0x0B, 0xD4, 0xE8, 0xBC,
                    0x43)
/* {5F519641-D917-4A49-96A6-F17E045149EB} */
QUORVEL_DEFINE_GUID(IID_IEditCurrentPosition, 0x5F519641, 0xD917, 0x4A49, 0x96, 0xA6, 0xF1, 0x7E, 0x04, 0x51,
                    0x49, 0xEB)
/* {566DA145-6186-4AB3-9475-287668869AC0} */
QUORVEL_DEFINE_GUID(IID_IEditSelection, 0x566DA145, 0x6186, 0x4AB3, 0x94, 0x75, 0x28, 0x76, 0x68, 0x86, 0x9A,
                    0xC0)
/* {A2072FA1-557C-487C-B7B9-4034996AA04B} */
QUORVEL_DEFINE_GUID(IID_IEditAPI, 0xA2072FA1, 0x557C, 0x487C, 0xB7, 0xB9, 0x40, 0x34, 0x99, 0x6A, 0xA0, 0x4B)

#undef QUORVEL_DEFINE_GUID

/* ---- Wide strings ------------------------------------------------------ */
/*
 * One malloc block: a 32-bit length in bytes (terminator not counted), the
 * UTF-16 units and a 0 unit. Host and plug-ins share the process heap, so
 * either side may free what the other allocated.
 */

/* Copies len units from src, or zero-fills them when src is null; null when
 * out of memory. Caller frees with SysFreeString. */
QUORVEL_INLINE BSTR SysAllocStringLen(const OLECHAR *src, uint32_t len)
{
    uint32_t bytes;
    char *block;
    BSTR text;
    if (len > (UINT32_MAX - 6u) / 2u)
        return NULL;
    bytes = len * 2u;
    block = (char *)malloc((size_t)bytes + 6u);
    if (block == NULL)
        return NULL;
    memcpy(block, &bytes, sizeof bytes);
    text = (BSTR)(block + 4);
    if (src != NULL)
        memcpy(text, src, bytes);
    else
        memset(text, 0, bytes);
    text[len] = 0;
    return text;
}

/* Null is allowed. */
QUORVEL_INLINE void SysFreeString(BSTR text)
{
    if (text != NULL)
        free((char *)text - 4);
}

/* Length in UTF-16 units; 0 for null. */
QUORVEL_INLINE uint32_t SysStringLen(const OLECHAR *text)
{
    uint32_t bytes;
    if (text == NULL)
        return 0;
    memcpy(&bytes, (const char *)text - 4, sizeof bytes);
    return bytes / 2u;
}

/* ---- Interfaces, C++ view ---------------------------------------------- */
#ifdef __cplusplus

// No virtual destructors: the vtable of each interface is exactly its slots.
struct IUnknown
{
    // On success *out holds the interface, AddRef'ed for the caller; else null.
    virtual HRESULT QUORVEL_STDCALL QueryInterface(const GUID &iid, void **out) = 0;
    virtual uint32_t QUORVEL_STDCALL AddRef() = 0;
    virtual uint32_t QUORVEL_STDCALL Release() = 0;

protected:
    // Objects go away through Release, never through delete.
    ~IUnknown() = default;
};

struct IEditAPI;

// Marks every plug-in object.
struct IEditorPlugin : IUnknown
{};

struct INamedPlugin : IEditorPlugin
{
    // *name: callee's storage, valid until the next GetName or the release.
    virtual HRESULT QUORVEL_STDCALL GetName(PChar *name) = 0;
    // *hint: the description before its first "|"; callee's storage.
    virtual HRESULT QUORVEL_STDCALL GetShortHint(PChar *hint) = 0;
    // *hint: the description after its first "|"; callee's storage.
    virtual HRESULT QUORVEL_STDCALL GetLongHint(PChar *hint) = 0;
};

struct IIOPlugin : INamedPlugin
{
    // *filter: one "description|mask" pair; callee's storage.
    virtual HRESULT QUORVEL_STDCALL GetFilter(PChar *filter) = 0;
};

struct IImportPlugin : IIOPlugin
{
    // *text: caller frees with SysFreeString; null on failure (E_FAIL).
    virtual HRESULT QUORVEL_STDCALL Import(int32_t parentWindow, PChar fileName, BSTR *text) = 0;
};

struct IExportPlugin : IIOPlugin
{
    // text stays the caller's.
    virtual HRESULT QUORVEL_STDCALL Export(int32_t parentWindow, PChar fileName, BSTR text) = 0;
};

struct IPlugins : IEditorPlugin
{
    virtual HRESULT QUORVEL_STDCALL GetPluginCount(int32_t *count) = 0;
    // *plugin: AddRefs; null with E_NOINTERFACE when index is outside 0..count-1.
    virtual HRESULT QUORVEL_STDCALL GetPlugin(int32_t index, IEditorPlugin **plugin) = 0;
};

struct IEditorMenuPlugin : INamedPlugin
{
    // api is not kept beyond the call.
    virtual HRESULT QUORVEL_STDCALL GetEnabled(IEditAPI *api, LongBool *enabled) = 0;
};

struct IEditTextProcessingPlugin : IEditorMenuPlugin
{
    // *message: caller frees with SysFreeString; null when there is nothing to say.
    virtual HRESULT QUORVEL_STDCALL Process(IEditAPI *api, BSTR *message) = 0;
};

// The host's editor API. Its AddRef/Release may return 0xFFFFFFFF and do
// nothing: a pointer is usable only during the call that received it.
struct IEditLines : IUnknown
{
    virtual HRESULT QUORVEL_STDCALL AddLine(BSTR text) = 0;
    virtual HRESULT QUORVEL_STDCALL InsertLine(int32_t index, BSTR text) = 0;
    virtual HRESULT QUORVEL_STDCALL DeleteLine(int32_t index) = 0;
    virtual HRESULT QUORVEL_STDCALL MoveLine(int32_t curIndex, int32_t newIndex) = 0;
    virtual HRESULT QUORVEL_STDCALL GetLineCount(int32_t *count) = 0;
    // *text: caller frees with SysFreeString.
    virtual HRESULT QUORVEL_STDCALL GetLine(int32_t index, BSTR *text) = 0;
    virtual HRESULT QUORVEL_STDCALL SetLine(int32_t index, BSTR text) = 0;
    // *text: caller frees with SysFreeString.
    virtual HRESULT QUORVEL_STDCALL GetText(BSTR *text) = 0;
    virtual HRESULT QUORVEL_STDCALL SetText(BSTR text) = 0;
};

struct IEditCurrentPosition : IEditLines
{
    virtual HRESULT QUORVEL_STDCALL GetCurrentLine(int32_t *line) = 0;
    virtual HRESULT QUORVEL_STDCALL SetCurrentLine(int32_t line) = 0;
    virtual HRESULT QUORVEL_STDCALL GetCurrentColumn(int32_t *column) = 0;
    virtual HRESULT QUORVEL_STDCALL SetCurrentColumn(int32_t column) = 0;
};

struct IEditSelection : IEditCurrentPosition
{
    virtual HRESULT QUORVEL_STDCALL GetSelStart(int32_t *start) = 0;
    virtual HRESULT QUORVEL_STDCALL SetSelStart(int32_t start) = 0;
    virtual HRESULT QUORVEL_STDCALL GetSelLength(int32_t *length) = 0;
    virtual HRESULT QUORVEL_STDCALL SetSelLength(int32_t length) = 0;
    // *text: caller frees with SysFreeString.
    virtual HRESULT QUORVEL_STDCALL GetSelText(BSTR *text) = 0;
    virtual HRESULT QUORVEL_STDCALL SetSelText(BSTR text) = 0;
};

struct IEditAPI : IEditSelection
{
    virtual HRESULT QUORVEL_STDCALL GetMainWindowHandle(int32_t *handle) = 0;
    virtual HRESULT QUORVEL_STDCALL GetEditorHandle(int32_t *handle) = 0;
    // *position: the match, or -1.
    virtual HRESULT QUORVEL_STDCALL FindText(BSTR text, int32_t start, int32_t length, LongBool backward,
                                             LongBool wholeWord, LongBool matchCase, int32_t *position) = 0;
};

#else /* C view: one vtable struct per interface, all slots spelled out. */

typedef struct IUnknown IUnknown;
typedef struct IEditorPlugin IEditorPlugin;
typedef struct INamedPlugin INamedPlugin;
typedef struct IIOPlugin IIOPlugin;
typedef struct IImportPlugin IImportPlugin;
typedef struct IExportPlugin IExportPlugin;
typedef struct IPlugins IPlugins;
typedef struct IEditorMenuPlugin IEditorMenuPlugin;
typedef struct IEditTextProcessingPlugin IEditTextProcessingPlugin;
typedef struct IEditLines IEditLines;
typedef struct IEditCurrentPosition IEditCurrentPosition;
typedef struct IEditSelection IEditSelection;
typedef struct IEditAPI IEditAPI;

/* Ownership as stated in the rules at the top and in the C++ view. */
#define QUORVEL_IUNKNOWN_SLOTS(T)                                                                            \
    HRESULT(QUORVEL_STDCALL *QueryInterface)(T * self, const GUID *iid, void **out); /* AddRefs */           \
    uint32_t(QUORVEL_STDCALL *AddRef)(T * self);                                                             \
    uint32_t(QUORVEL_STDCALL *Release)(T * self);

#define QUORVEL_IEDITORPLUGIN_SLOTS(T) QUORVEL_IUNKNOWN_SLOTS(T)

#define QUORVEL_INAMEDPLUGIN_SLOTS(T)                                                                        \
    QUORVEL_IEDITORPLUGIN_SLOTS(T)                                                                           \
    HRESULT(QUORVEL_STDCALL *GetName)(T * self, PChar * name);      /* callee's storage */                   \
    HRESULT(QUORVEL_STDCALL *GetShortHint)(T * self, PChar * hint); /* callee's storage */                   \
    HRESULT(QUORVEL_STDCALL *GetLongHint)(T * self, PChar * hint);  /* callee's storage */

#define QUORVEL_IIOPLUGIN_SLOTS(T)                                                                           \
    QUORVEL_INAMEDPLUGIN_SLOTS(T)                                                                            \
    HRESULT(QUORVEL_STDCALL *GetFilter)(T * self, PChar * filter); /* callee's storage */

#define QUORVEL_IEDITORMENUPLUGIN_SLOTS(T)                                                                   \
    QUORVEL_INAMEDPLUGIN_SLOTS(T)                                                                            \
    HRESULT(QUORVEL_STDCALL *GetEnabled)(T * self, IEditAPI * api, LongBool * enabled);

#define QUORVEL_IEDITLINES_SLOTS(T)                                                                          \
    QUORVEL_IUNKNOWN_SLOTS(T)                                                                                \
    HRESULT(QUORVEL_STDCALL *AddLine)(T * self, BSTR text);                                                  \
    HRESULT(QUORVEL_STDCALL *InsertLine)(T * self, int32_t index, BSTR text);                                \
    HRESULT(QUORVEL_STDCALL *DeleteLine)(T * self, int32_t index);                                           \
    HRESULT(QUORVEL_STDCALL *MoveLine)(T * self, int32_t curIndex, int32_t newIndex);                        \
    HRESULT(QUORVEL_STDCALL *GetLineCount)(T * self, int32_t * count);                                       \
    HRESULT(QUORVEL_STDCALL *GetLine)(T * self, int32_t index, BSTR * text); /* caller frees */              \
    HRESULT(QUORVEL_STDCALL *SetLine)(T * self, int32_t index, BSTR text);                                   \
    HRESULT(QUORVEL_STDCALL *GetText)(T * self, BSTR * text); /* caller frees */                             \
    HRESULT(QUORVEL_STDCALL *SetText)(T * self, BSTR text);

#define QUORVEL_IEDITCURRENTPOSITION_SLOTS(T)                                                                \
    QUORVEL_IEDITLINES_SLOTS(T)                                                                              \
    HRESULT(QUORVEL_STDCALL *GetCurrentLine)(T * self, int32_t * line);                                      \
    HRESULT(QUORVEL_STDCALL *SetCurrentLine)(T * self, int32_t line);                                        \
    HRESULT(QUORVEL_STDCALL *GetCurrentColumn)(T * self, int32_t * column);                                  \
    HRESULT(QUORVEL_STDCALL *SetCurrentColumn)(T * self, int32_t column);

#define QUORVEL_IEDITSELECTION_SLOTS(T)                                                                      \
    QUORVEL_IEDITCURRENTPOSITION_SLOTS(T)                                                                    \
    HRESULT(QUORVEL_STDCALL *GetSelStart)(T * self, int32_t * start);                                        \
    HRESULT(QUORVEL_STDCALL *SetSelStart)(T * self, int32_t start);                                          \
    HRESULT(QUORVEL_STDCALL *GetSelLength)(T * self, int32_t * length);                                      \
    HRESULT(QUORVEL_STDCALL *SetSelLength)(T * self, int32_t length);                                        \
    HRESULT(QUORVEL_STDCALL *GetSelText)(T * self, BSTR * text); /* caller frees */                          \
    HRESULT(QUORVEL_STDCALL *SetSelText)(T * self, BSTR text);

#define QUORVEL_DECLARE_C_INTERFACE(name, slots)                                                             \
    struct name##Vtbl                                                                                        \
    {                                                                                                        \
        slots(name)                                                                                          \
    };                                                                                                       \
    struct name                                                                                              \
    {                                                                                                        \
        const struct name##Vtbl *lpVtbl;                                                                     \
    };

#define QUORVEL_IIMPORTPLUGIN_SLOTS(T)                                                                       \
    QUORVEL_IIOPLUGIN_SLOTS(T)                                                                               \
    HRESULT(QUORVEL_STDCALL *Import)                                                                         \
    (T * self, int32_t parentWindow, PChar fileName, BSTR * text); /* caller frees */

#define QUORVEL_IEXPORTPLUGIN_SLOTS(T)                                                                       \
    QUORVEL_IIOPLUGIN_SLOTS(T)                                                                               \
    HRESULT(QUORVEL_STDCALL *Export)(T * self, int32_t parentWindow, PChar fileName, BSTR text);

#define QUORVEL_IPLUGINS_SLOTS(T)                                                                            \
    QUORVEL_IEDITORPLUGIN_SLOTS(T)                                                                           \
    HRESULT(QUORVEL_STDCALL *GetPluginCount)(T * self, int32_t * count);                                     \
    HRESULT(QUORVEL_STDCALL *GetPlugin)(T * self, int32_t index, IEditorPlugin * *plugin); /* AddRefs */

#define QUORVEL_IEDITTEXTPROCESSINGPLUGIN_SLOTS(T)                                                           \
    QUORVEL_IEDITORMENUPLUGIN_SLOTS(T)                                                                       \
    HRESULT(QUORVEL_STDCALL *Process)(T * self, IEditAPI * api, BSTR * message); /* caller frees */

#define QUORVEL_IEDITAPI_SLOTS(T)                                                                            \
    QUORVEL_IEDITSELECTION_SLOTS(T)                                                                          \
    HRESULT(QUORVEL_STDCALL *GetMainWindowHandle)(T * self, int32_t * handle);                               \
    HRESULT(QUORVEL_STDCALL *GetEditorHandle)(T * self, int32_t * handle);                                   \
    HRESULT(QUORVEL_STDCALL *FindText)                                                                       \
    (T * self, BSTR text, int32_t start, int32_t length, LongBool backward, LongBool wholeWord,              \
     LongBool matchCase, int32_t * position);

QUORVEL_DECLARE_C_INTERFACE(IUnknown, QUORVEL_IUNKNOWN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditorPlugin, QUORVEL_IEDITORPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(INamedPlugin, QUORVEL_INAMEDPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IIOPlugin, QUORVEL_IIOPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IImportPlugin, QUORVEL_IIMPORTPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IExportPlugin, QUORVEL_IEXPORTPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IPlugins, QUORVEL_IPLUGINS_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditorMenuPlugin, QUORVEL_IEDITORMENUPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditTextProcessingPlugin, QUORVEL_IEDITTEXTPROCESSINGPLUGIN_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditLines, QUORVEL_IEDITLINES_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditCurrentPosition, QUORVEL_IEDITCURRENTPOSITION_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditSelection, QUORVEL_IEDITSELECTION_SLOTS)
QUORVEL_DECLARE_C_INTERFACE(IEditAPI, QUORVEL_IEDITAPI_SLOTS)

#undef QUORVEL_DECLARE_C_INTERFACE

#endif /* __cplusplus */

/* ---- The library export ------------------------------------------------ */

#ifdef __cplusplus
extern "C" {
#endif

/* *plugins: the library's one collection, AddRef'ed for the caller; null
 * with E_FAIL when the collection cannot be built. */
QUORVEL_PLUGIN_EXPORT HRESULT QUORVEL_STDCALL GetInterface(IPlugins **plugins);

typedef HRESULT(QUORVEL_STDCALL *tGetInterface)(IPlugins **plugins);

#ifdef __cplusplus
}
#endif
