// SPDX-License-Identifier: GPL-3.0-or-later
// What every plug-in library owes the host through GetInterface and the
// collection, checked on both built libraries.
#include "LoadedLibrary.h"

#include <gtest/gtest.h>

namespace {

class LibraryExport : public testing::TestWithParam<const char *>
{
protected:
    cLoadedLibrary Library{GetParam()};

    cInterfacePtr<IPlugins> Collection()
    {
        cInterfacePtr<IPlugins> collection;
        tGetInterface getInterface = Library.Export();
        EXPECT_NE(getInterface, nullptr);
        if (getInterface != nullptr) {
            EXPECT_EQ(getInterface(collection.Out()), S_OK);
        }
        return collection;
    }
};

// The reference count an object reports, left as it was.
uint32_t CountOf(IUnknown *object)
{
    const uint32_t count = object->AddRef();
    object->Release();
    return count - 1;
}

} // namespace

TEST_P(LibraryExport, EveryCallGivesTheSameCollectionWithItsOwnReference)
{
    ASSERT_TRUE(Library.Loaded()) << dlerror();
    cInterfacePtr<IPlugins> first = Collection();
    ASSERT_TRUE(first);
    const uint32_t afterFirst = CountOf(first.Get());
    cInterfacePtr<IPlugins> second = Collection();
    EXPECT_EQ(second.Get(), first.Get());
    EXPECT_EQ(CountOf(first.Get()), afterFirst + 1);
    first.Reset();
    int32_t count = -1;
    EXPECT_EQ(second->GetPluginCount(&count), S_OK);
    EXPECT_GT(count, 0);
}

TEST_P(LibraryExport, CollectionAnswersItsInterfacesWithOnePointer)
{
    ASSERT_TRUE(Library.Loaded()) << dlerror();
    cInterfacePtr<IPlugins> collection = Collection();
    ASSERT_TRUE(collection);
    for (const GUID *iid : {&IID_IPlugins, &IID_IEditorPlugin, &IID_IUnknown}) {
        void *out = nullptr;
        EXPECT_EQ(collection->QueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<void *>(collection.Get()));
        if (out != nullptr)
            static_cast<IUnknown *>(out)->Release();
    }
    void *out = reinterpret_cast<void *>(1);
    EXPECT_EQ(collection->QueryInterface(IID_INamedPlugin, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_P(LibraryExport, IndexesOutsideTheCollectionGiveNoInterface)
{
    ASSERT_TRUE(Library.Loaded()) << dlerror();
    cInterfacePtr<IPlugins> collection = Collection();
    ASSERT_TRUE(collection);
    int32_t count = 0;
    ASSERT_EQ(collection->GetPluginCount(&count), S_OK);
    for (int32_t index : {-1, count, INT32_MIN}) {
        IEditorPlugin *plugin = reinterpret_cast<IEditorPlugin *>(collection.Get());
        EXPECT_EQ(collection->GetPlugin(index, &plugin), E_NOINTERFACE) << index;
        EXPECT_EQ(plugin, nullptr) << index;
    }
}

TEST_P(LibraryExport, HintsAreTheSameInEitherOrderAndNeverNull)
{
    ASSERT_TRUE(Library.Loaded()) << dlerror();
    for (const auto &plugin : Library.Plugins()) {
        auto named = plugin.Query<INamedPlugin>(IID_INamedPlugin);
        ASSERT_TRUE(named);
        PChar longFirst = nullptr, shortSecond = nullptr;
        ASSERT_EQ(named->GetLongHint(&longFirst), S_OK);
        const std::string longText = Copied(longFirst);
        ASSERT_EQ(named->GetShortHint(&shortSecond), S_OK);
        const std::string shortText = Copied(shortSecond);
        const tNamedTexts inOrder = TextsOf(named.Get());
        EXPECT_EQ(inOrder.ShortHint, shortText);
        EXPECT_EQ(inOrder.LongHint, longText);
        EXPECT_FALSE(inOrder.Name.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(BuiltLibraries, LibraryExport, testing::Values("fennic.so", "tolvar.so"),
                         [](const auto &info) { return std::string(info.param).substr(0, 6); });
