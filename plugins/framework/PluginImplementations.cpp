// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/framework/PluginImplementations.h"

#include "plugins/framework/EditDefs.h"

namespace {

// What an out-PChar points to when there is no text: never null.
constexpr PChar EmptyText = "";

struct tHints
{
    std::string Short;
    std::string Long;
};

// Split at the first "|"; further ones stay in the long hint.
tHints SplitDescription(const std::string &description)
{
    const auto bar = description.find('|');
    if (bar == std::string::npos)
        return {description, {}};
    return {description.substr(0, bar), description.substr(bar + 1)};
}

// Stores the text that compute() leaves in a field into *out; on any failure
// *out is the empty text.
template <class TCompute> HRESULT HandOut(PChar *out, TCompute &&compute) noexcept
{
    if (out == nullptr)
        return E_FAIL;
    *out = EmptyText;
    return Guarded([&] {
        const std::string &text = compute();
        *out = text.c_str();
        return S_OK;
    });
}

} // namespace

// ---- cEditorPluginT -------------------------------------------------------

template <class TInterface> HRESULT cEditorPluginT<TInterface>::QueryInterface(const GUID &iid, void **out)
{
    if (out == nullptr)
        return E_FAIL;
    *out = nullptr;
    if (!InterfaceAnswers<TInterface>(iid))
        return E_NOINTERFACE;
    *out = static_cast<TInterface *>(this);
    AddRef();
    return S_OK;
}

template <class TInterface> uint32_t cEditorPluginT<TInterface>::AddRef()
{
    return ++FRefCount;
}

template <class TInterface> uint32_t cEditorPluginT<TInterface>::Release()
{
    const uint32_t count = --FRefCount;
    if (count == 0) {
        try {
            Finalize();
        } catch (...) {
        }
        delete this;
    }
    return count;
}

// ---- cNamedPluginT --------------------------------------------------------

template <class TInterface>
cNamedPluginT<TInterface>::cNamedPluginT(std::string name, std::string description)
    : Name(std::move(name)), Description(std::move(description))
{}

template <class TInterface> std::string cNamedPluginT<TInterface>::DoGetName(const std::string &name)
{
    return name;
}

template <class TInterface>
std::string cNamedPluginT<TInterface>::DoGetDescription(const std::string &description)
{
    return description;
}

template <class TInterface> HRESULT cNamedPluginT<TInterface>::GetName(PChar *name)
{
    return HandOut(name, [this]() -> const std::string & {
        NameResult = DoGetName(Name);
        return NameResult;
    });
}

template <class TInterface> HRESULT cNamedPluginT<TInterface>::GetShortHint(PChar *hint)
{
    return HandOut(hint, [this]() -> const std::string & {
        ShortHint = SplitDescription(DoGetDescription(Description)).Short;
        return ShortHint;
    });
}

template <class TInterface> HRESULT cNamedPluginT<TInterface>::GetLongHint(PChar *hint)
{
    return HandOut(hint, [this]() -> const std::string & {
        LongHint = SplitDescription(DoGetDescription(Description)).Long;
        return LongHint;
    });
}

// ---- cIOPluginT -----------------------------------------------------------

template <class TInterface>
cIOPluginT<TInterface>::cIOPluginT(std::string name, std::string filter, std::string description)
    : cNamedPluginT<TInterface>(std::move(name), std::move(description)), Filter(std::move(filter))
{}

template <class TInterface> HRESULT cIOPluginT<TInterface>::GetFilter(PChar *filter)
{
    return HandOut(filter, [this]() -> const std::string & { return Filter; });
}

// ---- cImportPlugin, cExportPlugin -----------------------------------------

HRESULT cImportPlugin::Import(int32_t parentWindow, PChar fileName, BSTR *text)
{
    if (text == nullptr)
        return E_FAIL;
    *text = nullptr;
    return Guarded([&] {
        std::u16string result;
        if (!DoImport(parentWindow, fileName != nullptr ? fileName : "", result))
            return E_FAIL;
        *text = NewBStr(result);
        return S_OK;
    });
}

HRESULT cExportPlugin::Export(int32_t parentWindow, PChar fileName, BSTR text)
{
    return Guarded([&] {
        return ResultOf(DoExport(parentWindow, fileName != nullptr ? fileName : "", FromBStr(text)));
    });
}

// ---- cEditorMenuPluginT, cEditTextProcessingPlugin ------------------------

template <class TInterface>
HRESULT cEditorMenuPluginT<TInterface>::GetEnabled(IEditAPI *api, LongBool *enabled)
{
    if (enabled == nullptr)
        return E_FAIL;
    *enabled = LONGBOOL_FALSE;
    if (api == nullptr)
        return E_FAIL;
    return Guarded([&] {
        cWEditAPI wrapper(api);
        *enabled = ToLongBool(DoGetEnabled(wrapper));
        return S_OK;
    });
}

HRESULT cEditTextProcessingPlugin::Process(IEditAPI *api, BSTR *message)
{
    if (message == nullptr)
        return E_FAIL;
    *message = nullptr;
    if (api == nullptr)
        return E_FAIL;
    return Guarded([&] {
        std::u16string text;
        bool succeeded;
        {
            cWEditAPI wrapper(api);
            succeeded = DoProcess(wrapper, text);
        }
        *message = NewBStr(text);
        return ResultOf(succeeded);
    });
}

// ---- cPlugins ---------------------------------------------------------------

HRESULT cPlugins::GetPluginCount(int32_t *count)
{
    if (count == nullptr)
        return E_FAIL;
    std::lock_guard lock(FLock);
    *count = static_cast<int32_t>(Items.size());
    return S_OK;
}

HRESULT cPlugins::GetPlugin(int32_t index, IEditorPlugin **plugin)
{
    if (plugin == nullptr)
        return E_FAIL;
    *plugin = nullptr;
    std::lock_guard lock(FLock);
    if (index < 0 || static_cast<size_t>(index) >= Items.size())
        return E_NOINTERFACE;
    *plugin = Items[static_cast<size_t>(index)].Get();
    (*plugin)->AddRef();
    return S_OK;
}

void cPlugins::Add(IEditorPlugin *plugin)
{
    if (plugin == nullptr)
        return;
    std::lock_guard lock(FLock);
    Items.emplace_back(plugin);
}

void cPlugins::Finalize()
{
    std::vector<cInterfaceRef<IEditorPlugin>> items;
    {
        std::lock_guard lock(FLock);
        items.swap(Items);
    }
}

// ---- cPluginLibrary ---------------------------------------------------------

HRESULT cPluginLibrary::GetInterface(IPlugins **plugins) noexcept
{
    if (plugins == nullptr)
        return E_FAIL;
    *plugins = nullptr;
    return Guarded([&] {
        std::lock_guard lock(FLock);
        if (!FPlugins) {
            cInterfaceRef<IPlugins> built = FBuilder();
            if (!built)
                return E_FAIL;
            FPlugins = std::move(built);
        }
        FPlugins->AddRef();
        *plugins = FPlugins.Get();
        return S_OK;
    });
}

template class cEditorPluginT<IEditorPlugin>;
template class cEditorPluginT<INamedPlugin>;
template class cEditorPluginT<IIOPlugin>;
template class cEditorPluginT<IImportPlugin>;
template class cEditorPluginT<IExportPlugin>;
template class cEditorPluginT<IEditorMenuPlugin>;
template class cEditorPluginT<IEditTextProcessingPlugin>;
template class cEditorPluginT<IPlugins>;
template class cNamedPluginT<INamedPlugin>;
template class cNamedPluginT<IIOPlugin>;
template class cNamedPluginT<IImportPlugin>;
template class cNamedPluginT<IExportPlugin>;
template class cNamedPluginT<IEditorMenuPlugin>;
template class cNamedPluginT<IEditTextProcessingPlugin>;
template class cIOPluginT<IIOPlugin>;
template class cIOPluginT<IImportPlugin>;
template class cIOPluginT<IExportPlugin>;
template class cEditorMenuPluginT<IEditorMenuPlugin>;
template class cEditorMenuPluginT<IEditTextProcessingPlugin>;
