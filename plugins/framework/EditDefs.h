// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the plug-in side knows about the contract: every interface's GUID and
// parent, and how results and booleans cross the boundary.
#include "contract/EditorPlugins_TLB.h"

#include <type_traits>

template <class TInterface> struct tInterfaceTraits;

#define QUORVEL_INTERFACE_TRAITS(name, parent)                                                               \
    template <> struct tInterfaceTraits<name>                                                                \
    {                                                                                                        \
        static constexpr const GUID &IID = IID_##name;                                                       \
        using Parent = parent;                                                                               \
    };

QUORVEL_INTERFACE_TRAITS(IUnknown, void)
QUORVEL_INTERFACE_TRAITS(IEditorPlugin, IUnknown)
QUORVEL_INTERFACE_TRAITS(INamedPlugin, IEditorPlugin)
QUORVEL_INTERFACE_TRAITS(IIOPlugin, INamedPlugin)
QUORVEL_INTERFACE_TRAITS(IImportPlugin, IIOPlugin)
QUORVEL_INTERFACE_TRAITS(IExportPlugin, IIOPlugin)
QUORVEL_INTERFACE_TRAITS(IPlugins, IEditorPlugin)
QUORVEL_INTERFACE_TRAITS(IEditorMenuPlugin, INamedPlugin)
QUORVEL_INTERFACE_TRAITS(IEditTextProcessingPlugin, IEditorMenuPlugin)
QUORVEL_INTERFACE_TRAITS(IEditLines, IUnknown)
QUORVEL_INTERFACE_TRAITS(IEditCurrentPosition, IEditLines)
QUORVEL_INTERFACE_TRAITS(IEditSelection, IEditCurrentPosition)
QUORVEL_INTERFACE_TRAITS(IEditAPI, IEditSelection)

#undef QUORVEL_INTERFACE_TRAITS

// Whether an object implementing TInterface answers iid: its own interface
// and every ancestor share the one pointer.
template <class TInterface> bool InterfaceAnswers(const GUID &iid) noexcept
{
    using Parent = typename tInterfaceTraits<TInterface>::Parent;
    if (iid == tInterfaceTraits<TInterface>::IID)
        return true;
    if constexpr (std::is_void_v<Parent>) {
        return false;
    } else {
        static_assert(std::is_base_of_v<Parent, TInterface>);
        return InterfaceAnswers<Parent>(iid);
    }
}

constexpr LongBool ToLongBool(bool value) noexcept
{
    return value ? LONGBOOL_TRUE : LONGBOOL_FALSE;
}

constexpr HRESULT ResultOf(bool succeeded) noexcept
{
    return succeeded ? S_OK : E_FAIL;
}

// Runs a boundary operation so that nothing escapes it: any exception is E_FAIL.
template <class TBody> HRESULT Guarded(TBody &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return E_FAIL;
    }
}
