// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A built plug-in library loaded the way the host loads it, and small readers
// of what its plug-ins hand out. Only vtable calls reach the library.
#include "editor/pluginhost/InterfacePtr.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

class cLoadedLibrary
{
public:
    explicit cLoadedLibrary(const std::string &name)
        : FHandle(dlopen((std::string(QUORVEL_PLUGIN_DIR) + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL))
    {}
    cLoadedLibrary(const cLoadedLibrary &) = delete;
    cLoadedLibrary &operator=(const cLoadedLibrary &) = delete;
    ~cLoadedLibrary()
    {
        if (FHandle != nullptr)
            dlclose(FHandle);
    }

    bool Loaded() const { return FHandle != nullptr; }
    tGetInterface Export() const
    {
        return FHandle != nullptr ? reinterpret_cast<tGetInterface>(dlsym(FHandle, "GetInterface")) : nullptr;
    }

    // Every plug-in of the collection, in order.
    std::vector<cInterfacePtr<IEditorPlugin>> Plugins() const
    {
        std::vector<cInterfacePtr<IEditorPlugin>> plugins;
        tGetInterface getInterface = Export();
        if (getInterface == nullptr)
            return plugins;
        cInterfacePtr<IPlugins> collection;
        if (FAILED(getInterface(collection.Out())))
            return plugins;
        int32_t count = 0;
        collection->GetPluginCount(&count);
        for (int32_t i = 0; i < count; ++i) {
            cInterfacePtr<IEditorPlugin> plugin;
            if (FAILED(collection->GetPlugin(i, plugin.Out())))
                break;
            plugins.push_back(std::move(plugin));
        }
        return plugins;
    }

private:
    void *FHandle;
};

// The three texts of a named plug-in, copied at once as the host does.
struct tNamedTexts
{
    std::string Name;
    std::string ShortHint;
    std::string LongHint;
};

inline std::string Copied(PChar text)
{
    EXPECT_NE(text, nullptr);
    return text != nullptr ? std::string(text) : std::string();
}

inline tNamedTexts TextsOf(INamedPlugin *plugin)
{
    PChar name = nullptr, shortHint = nullptr, longHint = nullptr;
    EXPECT_EQ(plugin->GetName(&name), S_OK);
    EXPECT_EQ(plugin->GetShortHint(&shortHint), S_OK);
    EXPECT_EQ(plugin->GetLongHint(&longHint), S_OK);
    return {Copied(name), Copied(shortHint), Copied(longHint)};
}

inline std::string FilterOf(IIOPlugin *plugin)
{
    PChar filter = nullptr;
    EXPECT_EQ(plugin->GetFilter(&filter), S_OK);
    return Copied(filter);
}
