// SPDX-License-Identifier: GPL-3.0-or-later
// The host's owners of interface references and BSTRs, checked with a mock
// that counts references.
#include "editor/pluginhost/InterfacePtr.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class cCountingPlugins final : public IPlugins
{
public:
    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        if (iid == IID_IPlugins || iid == IID_IEditorPlugin || iid == IID_IUnknown) {
            *out = static_cast<IPlugins *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++Count; }
    uint32_t Release() override
    {
        if (ThrowOnRelease)
            throw std::runtime_error("faulty plug-in");
        return --Count;
    }
    HRESULT GetPluginCount(int32_t *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT GetPlugin(int32_t, IEditorPlugin **plugin) override
    {
        *plugin = nullptr;
        return E_NOINTERFACE;
    }

    // The creator's own reference.
    uint32_t Count = 1;
    bool ThrowOnRelease = false;
};

// Hands out a reference the way an out-parameter of the contract does.
void Produce(cCountingPlugins &object, IPlugins **out)
{
    object.AddRef();
    *out = &object;
}

} // namespace

TEST(InterfacePtr, CopiesAddAndScopesRelease)
{
    cCountingPlugins object;
    {
        cInterfacePtr<IPlugins> first(&object);
        EXPECT_EQ(object.Count, 2u);
        {
            cInterfacePtr<IPlugins> second = first;
            EXPECT_EQ(object.Count, 3u);
            cInterfacePtr<IPlugins> third;
            third = second;
            EXPECT_EQ(object.Count, 4u);
            third = third;
            EXPECT_EQ(object.Count, 4u);
        }
        EXPECT_EQ(object.Count, 2u);
    }
    EXPECT_EQ(object.Count, 1u);
}

TEST(InterfacePtr, MovesTransferTheReference)
{
    cCountingPlugins object;
    {
        cInterfacePtr<IPlugins> first(&object);
        cInterfacePtr<IPlugins> second = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), &object);
        EXPECT_EQ(object.Count, 2u);
        cInterfacePtr<IPlugins> third(&object);
        third = std::move(second);
        EXPECT_EQ(object.Count, 2u);
    }
    EXPECT_EQ(object.Count, 1u);
}

TEST(InterfacePtr, OutParametersAreTakenOverAndReplaceWhatWasHeld)
{
    cCountingPlugins held;
    cCountingPlugins produced;
    {
        cInterfacePtr<IPlugins> pointer(&held);
        Produce(produced, pointer.Out());
        EXPECT_EQ(held.Count, 1u);
        EXPECT_EQ(produced.Count, 2u);
        EXPECT_EQ(pointer.Get(), &produced);
    }
    EXPECT_EQ(produced.Count, 1u);
}

TEST(InterfacePtr, AttachAndDetachLeaveTheCountAlone)
{
    cCountingPlugins object;
    object.AddRef();
    IPlugins *raw = nullptr;
    {
        auto pointer = cInterfacePtr<IPlugins>::Attach(&object);
        EXPECT_EQ(object.Count, 2u);
        raw = pointer.Detach();
        EXPECT_FALSE(pointer);
    }
    EXPECT_EQ(object.Count, 2u);
    {
        auto pointer = cInterfacePtr<IPlugins>::Attach(raw);
        pointer.Reset();
        EXPECT_EQ(object.Count, 1u);
        pointer.Reset();
        EXPECT_EQ(object.Count, 1u);
    }
}

TEST(InterfacePtr, QueryAnswersWithOneMoreReferenceOrNothing)
{
    cCountingPlugins object;
    {
        cInterfacePtr<IPlugins> plugins(&object);
        auto asPlugin = plugins.Query<IEditorPlugin>(IID_IEditorPlugin);
        ASSERT_TRUE(asPlugin);
        EXPECT_EQ(static_cast<void *>(asPlugin.Get()), static_cast<void *>(&object));
        EXPECT_EQ(object.Count, 3u);
        auto asImport = plugins.Query<IImportPlugin>(IID_IImportPlugin);
        EXPECT_FALSE(asImport);
        EXPECT_EQ(object.Count, 3u);
        EXPECT_FALSE(cInterfacePtr<IPlugins>().Query<IUnknown>(IID_IUnknown));
        cInterfacePtr<IUnknown> asBase = plugins;
        EXPECT_EQ(object.Count, 4u);
    }
    EXPECT_EQ(object.Count, 1u);
}

TEST(InterfacePtr, AFaultyReleaseDoesNotEndTheHost)
{
    cCountingPlugins object;
    {
        cInterfacePtr<IPlugins> pointer(&object);
        object.ThrowOnRelease = true;
    }
    EXPECT_EQ(object.Count, 2u);
}

TEST(BStr, OwnsCopiesAndTreatsNullAsEmpty)
{
    cBStr empty;
    EXPECT_EQ(empty.Get(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_TRUE(empty.View().empty());
    EXPECT_EQ(cBStr(u"").Get(), nullptr);

    const std::u16string sample(u"a\0b", 3);
    cBStr text(sample);
    ASSERT_NE(text.Get(), nullptr);
    EXPECT_EQ(text.Length(), 3u);
    EXPECT_EQ(text.View(), sample);

    cBStr moved = std::move(text);
    EXPECT_EQ(text.Get(), nullptr);
    EXPECT_EQ(moved.View(), sample);
}

TEST(BStr, OutParametersAreTakenOver)
{
    cBStr text(u"old");
    *text.Out() = SysAllocStringLen(u"new", 3);
    EXPECT_EQ(text.View(), u"new");
    BSTR raw = text.Detach();
    EXPECT_EQ(text.Get(), nullptr);
    cBStr again = cBStr::Attach(raw);
    EXPECT_EQ(again.View(), u"new");
}
