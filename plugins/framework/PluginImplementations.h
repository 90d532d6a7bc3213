// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Base classes of every plug-in object. A concrete plug-in overrides one or
// two Do* operations; the bases turn the contract's calls into those, convert
// the boundary types and keep the texts they hand out alive.
//
// Each base is a template over the interface that the final object
// implements, so the object has one vtable: the interface's, followed by the
// framework's own virtual operations. One pointer then serves the interface
// and all its ancestors.
#include "contract/EditorPlugins_TLB.h"
#include "plugins/framework/EditTypes.h"
#include "plugins/framework/EditWrappers.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

template <class TInterface> class cEditorPluginT : public TInterface
{
public:
    cEditorPluginT(const cEditorPluginT &) = delete;
    cEditorPluginT &operator=(const cEditorPluginT &) = delete;

    HRESULT QUORVEL_STDCALL QueryInterface(const GUID &iid, void **out) override;
    uint32_t QUORVEL_STDCALL AddRef() override;
    // Runs Finalize and deletes the object when the last reference goes.
    uint32_t QUORVEL_STDCALL Release() override;

    // Run by NewPlugin as the last step of construction.
    virtual void Initialize() {}
    // Run as the first step of destruction.
    virtual void Finalize() {}

protected:
    cEditorPluginT() = default;
    virtual ~cEditorPluginT() = default;

private:
    std::atomic<uint32_t> FRefCount{0};
};

template <class TInterface> class cNamedPluginT : public cEditorPluginT<TInterface>
{
public:
    // description: short hint, "|", long hint.
    cNamedPluginT(std::string name, std::string description);

    HRESULT QUORVEL_STDCALL GetName(PChar *name) override;
    HRESULT QUORVEL_STDCALL GetShortHint(PChar *hint) override;
    HRESULT QUORVEL_STDCALL GetLongHint(PChar *hint) override;

protected:
    // Given the stored texts; a derived class may compute them at call time.
    virtual std::string DoGetName(const std::string &name);
    virtual std::string DoGetDescription(const std::string &description);

    std::string Name;
    std::string Description;
    // The texts last handed out, one field per operation, so that a pointer
    // stays valid until the next call of the same operation.
    std::string NameResult;
    std::string ShortHint;
    std::string LongHint;
};

template <class TInterface> class cIOPluginT : public cNamedPluginT<TInterface>
{
public:
    // filter: one "description|mask" pair.
    cIOPluginT(std::string name, std::string filter, std::string description);

    HRESULT QUORVEL_STDCALL GetFilter(PChar *filter) override;

protected:
    std::string Filter;
};

class cImportPlugin : public cIOPluginT<IImportPlugin>
{
public:
    using cIOPluginT::cIOPluginT;

    HRESULT QUORVEL_STDCALL Import(int32_t parentWindow, PChar fileName, BSTR *text) override;

protected:
    // False when the file could not be read; must not throw.
    virtual bool DoImport(int32_t parentWindow, const std::string &fileName, std::u16string &text) = 0;
};

class cExportPlugin : public cIOPluginT<IExportPlugin>
{
public:
    using cIOPluginT::cIOPluginT;

    HRESULT QUORVEL_STDCALL Export(int32_t parentWindow, PChar fileName, BSTR text) override;

protected:
    // False when the file could not be written; must not throw.
    virtual bool DoExport(int32_t parentWindow, const std::string &fileName, const std::u16string &text) = 0;
};

template <class TInterface> class cEditorMenuPluginT : public cNamedPluginT<TInterface>
{
public:
    using cNamedPluginT<TInterface>::cNamedPluginT;

    HRESULT QUORVEL_STDCALL GetEnabled(IEditAPI *api, LongBool *enabled) override;

protected:
    virtual bool DoGetEnabled(IWEditAPI &api) = 0;
};

class cEditTextProcessingPlugin : public cEditorMenuPluginT<IEditTextProcessingPlugin>
{
public:
    using cEditorMenuPluginT::cEditorMenuPluginT;

    HRESULT QUORVEL_STDCALL Process(IEditAPI *api, BSTR *message) override;

protected:
    // message: text for the user, empty when there is nothing to say.
    virtual bool DoProcess(IWEditAPI &api, std::u16string &message) = 0;
};

// A library's collection of plug-ins, in the order they were added.
class cPlugins final : public cEditorPluginT<IPlugins>
{
public:
    cPlugins() = default;

    HRESULT QUORVEL_STDCALL GetPluginCount(int32_t *count) override;
    // Null with E_NOINTERFACE outside 0..count-1.
    HRESULT QUORVEL_STDCALL GetPlugin(int32_t index, IEditorPlugin **plugin) override;

    // Keeps one reference to plugin.
    void Add(IEditorPlugin *plugin);
    // Releases every plug-in.
    void Finalize() override;

private:
    mutable std::mutex FLock;
    std::vector<cInterfaceRef<IEditorPlugin>> Items;
};

using cEditorPlugin = cEditorPluginT<IEditorPlugin>;
using cNamedPlugin = cNamedPluginT<INamedPlugin>;
using cIOPlugin = cIOPluginT<IIOPlugin>;
using cEditorMenuPlugin = cEditorMenuPluginT<IEditorMenuPlugin>;

// Creates a plug-in object and runs its Initialize; the result holds the first
// reference.
template <class T, class... TArgs> cInterfaceRef<T> NewPlugin(TArgs &&...args)
{
    cInterfaceRef<T> object(new T(std::forward<TArgs>(args)...));
    object->Initialize();
    return object;
}

// The library's collection variable and the steps of its GetInterface export.
// The collection is kept only once completely built, so a failed build is
// retried by the next call and never handed out half-filled.
class cPluginLibrary
{
public:
    using tBuilder = cInterfaceRef<IPlugins> (*)();

    explicit cPluginLibrary(tBuilder builder) noexcept : FBuilder(builder) {}
    cPluginLibrary(const cPluginLibrary &) = delete;
    cPluginLibrary &operator=(const cPluginLibrary &) = delete;

    // *plugins: the collection, AddRef'ed; null with E_FAIL when building fails.
    HRESULT GetInterface(IPlugins **plugins) noexcept;

private:
    tBuilder FBuilder;
    std::mutex FLock;
    cInterfaceRef<IPlugins> FPlugins;
};

extern template class cEditorPluginT<IEditorPlugin>;
extern template class cEditorPluginT<INamedPlugin>;
extern template class cEditorPluginT<IIOPlugin>;
extern template class cEditorPluginT<IImportPlugin>;
extern template class cEditorPluginT<IExportPlugin>;
extern template class cEditorPluginT<IEditorMenuPlugin>;
extern template class cEditorPluginT<IEditTextProcessingPlugin>;
extern template class cEditorPluginT<IPlugins>;
extern template class cNamedPluginT<INamedPlugin>;
extern template class cNamedPluginT<IIOPlugin>;
extern template class cNamedPluginT<IImportPlugin>;
extern template class cNamedPluginT<IExportPlugin>;
extern template class cNamedPluginT<IEditorMenuPlugin>;
extern template class cNamedPluginT<IEditTextProcessingPlugin>;
extern template class cIOPluginT<IIOPlugin>;
extern template class cIOPluginT<IImportPlugin>;
extern template class cIOPluginT<IExportPlugin>;
extern template class cEditorMenuPluginT<IEditorMenuPlugin>;
extern template class cEditorMenuPluginT<IEditTextProcessingPlugin>;
