// SPDX-License-Identifier: GPL-3.0-or-later
// The plug-in base classes, through the contract's calls as a host makes them.
#include "FakeEditAPI.h"
#include "plugins/framework/PluginImplementations.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Which objects were finalized and destroyed, in order.
std::vector<std::string> Lifecycle;

class cTestImport final : public cImportPlugin
{
public:
    cTestImport(std::string name, std::string description)
        : cImportPlugin(std::move(name), "Test files|*.tst", std::move(description))
    {}
    ~cTestImport() override { Lifecycle.push_back("destroyed " + Name); }

    void Finalize() override { Lifecycle.push_back("finalized " + Name); }

    enum tOutcome
    {
        Succeed,
        Fail,
        Throw
    } Outcome = Succeed;
    std::string LastFileName;

protected:
    bool DoImport(int32_t, const std::string &fileName, std::u16string &text) override
    {
        LastFileName = fileName;
        text = u"partial";
        if (Outcome == Throw)
            throw std::runtime_error("escaped");
        return Outcome == Succeed;
    }
};

// A description computed at call time, different on every call.
class cChangingDescription final : public cNamedPlugin
{
public:
    cChangingDescription() : cNamedPlugin("changing", "") {}

protected:
    std::string DoGetDescription(const std::string &) override
    {
        ++Calls;
        return "short" + std::string(Calls * 40, 's') + "|long" + std::string(Calls * 40, 'l');
    }

private:
    size_t Calls = 0;
};

class cTestCommand final : public cEditTextProcessingPlugin
{
public:
    cTestCommand() : cEditTextProcessingPlugin("Command", "Short|Long") {}

    bool Enabled = true;
    bool Succeeds = true;

protected:
    bool DoGetEnabled(IWEditAPI &api) override { return Enabled && api.GetLineCount() > 0; }
    bool DoProcess(IWEditAPI &api, std::u16string &message) override
    {
        message = api.GetSelText();
        api.SetSelText(u"replaced");
        return Succeeds;
    }
};

uint32_t CountOf(IUnknown *object)
{
    const uint32_t count = object->AddRef();
    object->Release();
    return count - 1;
}

std::string Text(PChar text)
{
    EXPECT_NE(text, nullptr);
    return text != nullptr ? text : "";
}

} // namespace

TEST(PluginFramework, ObjectIsFinalizedAndDestroyedWithItsLastReference)
{
    Lifecycle.clear();
    IImportPlugin *raw = nullptr;
    {
        auto plugin = NewPlugin<cTestImport>("one", "");
        raw = plugin.Get();
        EXPECT_EQ(CountOf(raw), 1u);
        EXPECT_EQ(raw->AddRef(), 2u);
    }
    EXPECT_TRUE(Lifecycle.empty());
    EXPECT_EQ(raw->Release(), 0u);
    EXPECT_EQ(Lifecycle, (std::vector<std::string>{"finalized one", "destroyed one"}));
}

TEST(PluginFramework, QueryInterfaceAnswersTheChainWithOnePointer)
{
    auto plugin = NewPlugin<cTestImport>("one", "");
    IImportPlugin *self = plugin.Get();
    for (const GUID *iid :
         {&IID_IImportPlugin, &IID_IIOPlugin, &IID_INamedPlugin, &IID_IEditorPlugin, &IID_IUnknown}) {
        void *out = nullptr;
        ASSERT_EQ(self->QueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<void *>(self));
        static_cast<IUnknown *>(out)->Release();
    }
    for (const GUID *iid : {&IID_IExportPlugin, &IID_IPlugins, &IID_IEditorMenuPlugin, &IID_IEditAPI}) {
        void *out = self;
        EXPECT_EQ(self->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(CountOf(self), 1u);
}

TEST(PluginFramework, DescriptionSplitsAtTheFirstBar)
{
    const struct
    {
        const char *Description, *Short, *Long;
    } cases[] = {{"", "", ""},
                 {"whole", "whole", ""},
                 {"a|b|c", "a", "b|c"},
                 {"|after", "", "after"},
                 {"before|", "before", ""}};
    for (const auto &c : cases) {
        auto plugin = NewPlugin<cNamedPlugin>("n", c.Description);
        PChar shortHint = nullptr, longHint = nullptr;
        EXPECT_EQ(plugin->GetLongHint(&longHint), S_OK);
        EXPECT_EQ(plugin->GetShortHint(&shortHint), S_OK);
        EXPECT_EQ(Text(shortHint), c.Short) << c.Description;
        EXPECT_EQ(Text(longHint), c.Long) << c.Description;
    }
}

TEST(PluginFramework, HandedOutTextStaysValidUntilTheSameOperationRunsAgain)
{
    auto plugin = NewPlugin<cChangingDescription>();
    PChar shortHint = nullptr, longHint = nullptr;
    ASSERT_EQ(plugin->GetShortHint(&shortHint), S_OK);
    const std::string shortBefore = Text(shortHint);
    ASSERT_EQ(plugin->GetLongHint(&longHint), S_OK);
    EXPECT_EQ(Text(shortHint), shortBefore);
    EXPECT_EQ(Text(longHint).substr(0, 4), "long");
}

TEST(PluginFramework, ImportHandsOutTextOnlyOnSuccess)
{
    auto plugin = NewPlugin<cTestImport>("one", "");
    BSTR text = nullptr;
    ASSERT_EQ(plugin->Import(0, "name.tst", &text), S_OK);
    EXPECT_EQ(std::u16string(text, SysStringLen(text)), u"partial");
    EXPECT_EQ(plugin->LastFileName, "name.tst");
    SysFreeString(text);

    for (auto outcome : {cTestImport::Fail, cTestImport::Throw}) {
        plugin->Outcome = outcome;
        text = reinterpret_cast<BSTR>(plugin.Get());
        EXPECT_EQ(plugin->Import(0, nullptr, &text), E_FAIL);
        EXPECT_EQ(text, nullptr);
        EXPECT_EQ(plugin->LastFileName, "");
    }
}

TEST(PluginFramework, MenuCommandSeesTheHostThroughAWrapperForOneCallOnly)
{
    auto command = NewPlugin<cTestCommand>();
    cFakeEditAPI api;
    LongBool enabled = 7;
    EXPECT_EQ(command->GetEnabled(&api, &enabled), S_OK);
    EXPECT_EQ(enabled, -1);
    command->Enabled = false;
    EXPECT_EQ(command->GetEnabled(&api, &enabled), S_OK);
    EXPECT_EQ(enabled, 0);
    EXPECT_EQ(api.References, 0);

    api.SelStart = 5;
    api.SelLength = 4;
    command->Succeeds = false;
    BSTR message = nullptr;
    EXPECT_EQ(command->Process(&api, &message), E_FAIL);
    EXPECT_EQ(std::u16string(message, SysStringLen(message)), u"text");
    SysFreeString(message);
    EXPECT_EQ(api.Changes(), std::vector<std::string>{"SetSelText(replaced)"});
    EXPECT_EQ(api.References, 0);

    EXPECT_EQ(command->GetEnabled(nullptr, &enabled), E_FAIL);
    EXPECT_EQ(enabled, 0);
}

TEST(PluginFramework, WrapperForwardsEveryOperationToTheHost)
{
    cFakeEditAPI api;
    api.FoundAt = 42;
    {
        cWEditAPI wrapper(&api);
        EXPECT_EQ(api.References, 1);
        wrapper.AddLine(u"a");
        wrapper.InsertLine(1, u"b");
        wrapper.DeleteLine(2);
        wrapper.MoveLine(3, 4);
        wrapper.SetLine(5, u"");
        wrapper.SetText(u"c");
        wrapper.SetCurrentLine(6);
        wrapper.SetCurrentColumn(7);
        wrapper.SetSelStart(8);
        wrapper.SetSelLength(9);
        EXPECT_EQ(wrapper.GetLine(0), u"some text");
        EXPECT_EQ(wrapper.GetText(), u"some text");
        EXPECT_EQ(wrapper.GetCurrentLine(), 2);
        EXPECT_EQ(wrapper.GetCurrentColumn(), 3);
        EXPECT_EQ(wrapper.GetMainWindowHandle(), 0x1001);
        EXPECT_EQ(wrapper.GetEditorHandle(), 0x2002);
        EXPECT_EQ(wrapper.FindText(u"x", 50, 10, true, false, true), 42);
    }
    EXPECT_EQ(api.References, 0);
    EXPECT_EQ(api.Changes(), (std::vector<std::string>{
                                 "AddLine(a)", "InsertLine(1,b)", "DeleteLine(2)", "MoveLine(3,4)",
                                 "SetLine(5,)", "SetText(c)", "SetCurrentLine(6)", "SetCurrentColumn(7)",
                                 "SetSelStart(8)", "SetSelLength(9)", "FindText(x,50,10,-1,0,-1)"}));
}

TEST(PluginFramework, CollectionKeepsOrderAndAnswersOnlyInsideItsRange)
{
    auto plugins = NewPlugin<cPlugins>();
    auto first = NewPlugin<cTestImport>("first", "");
    plugins->Add(first.Get());
    plugins->Add(NewPlugin<cTestImport>("second", "").Get());
    int32_t count = 0;
    ASSERT_EQ(plugins->GetPluginCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    IEditorPlugin *plugin = nullptr;
    ASSERT_EQ(plugins->GetPlugin(0, &plugin), S_OK);
    EXPECT_EQ(static_cast<void *>(plugin), static_cast<void *>(first.Get()));
    EXPECT_EQ(CountOf(first.Get()), 3u);
    plugin->Release();
    for (int32_t index : {-1, 2}) {
        plugin = first.Get();
        EXPECT_EQ(plugins->GetPlugin(index, &plugin), E_NOINTERFACE);
        EXPECT_EQ(plugin, nullptr);
    }
}

TEST(PluginFramework, PluginHeldByTheHostOutlivesItsCollection)
{
    Lifecycle.clear();
    auto plugins = NewPlugin<cPlugins>();
    plugins->Add(NewPlugin<cTestImport>("kept", "").Get());
    plugins->Add(NewPlugin<cTestImport>("dropped", "").Get());
    IEditorPlugin *kept = nullptr;
    ASSERT_EQ(plugins->GetPlugin(0, &kept), S_OK);
    plugins.Reset();
    EXPECT_EQ(Lifecycle, (std::vector<std::string>{"finalized dropped", "destroyed dropped"}));
    kept->Release();
    EXPECT_EQ(Lifecycle.back(), "destroyed kept");
}

namespace {

int BuildAttempts = 0;

cInterfaceRef<IPlugins> BuildFailingOnce()
{
    if (++BuildAttempts == 1)
        throw std::bad_alloc();
    auto plugins = NewPlugin<cPlugins>();
    plugins->Add(NewPlugin<cTestCommand>().Get());
    return plugins;
}

} // namespace

TEST(PluginFramework, FailedBuildOfTheCollectionIsRetriedByTheNextCall)
{
    cPluginLibrary library(&BuildFailingOnce);
    IPlugins *plugins = reinterpret_cast<IPlugins *>(&library);
    EXPECT_EQ(library.GetInterface(&plugins), E_FAIL);
    EXPECT_EQ(plugins, nullptr);
    ASSERT_EQ(library.GetInterface(&plugins), S_OK);
    ASSERT_NE(plugins, nullptr);
    IPlugins *again = nullptr;
    ASSERT_EQ(library.GetInterface(&again), S_OK);
    EXPECT_EQ(again, plugins);
    EXPECT_EQ(BuildAttempts, 2);
    EXPECT_EQ(CountOf(plugins), 3u);
    plugins->Release();
    again->Release();
}
