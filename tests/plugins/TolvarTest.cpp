// SPDX-License-Identifier: GPL-3.0-or-later
// The "Correct typography" command as the host runs it.
#include "FakeEditAPI.h"
#include "LoadedLibrary.h"

#include <gtest/gtest.h>

namespace {

class Tolvar : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Library.Loaded()) << dlerror();
        const auto plugins = Library.Plugins();
        ASSERT_EQ(plugins.size(), 1u);
        Command = plugins[0].Query<IEditTextProcessingPlugin>(IID_IEditTextProcessingPlugin);
        ASSERT_TRUE(Command);
    }

    // Runs the command as the host does; the message as text.
    HRESULT Run(std::u16string &message)
    {
        cBStr text;
        const HRESULT result = Command->Process(&Api, text.Out());
        message = std::u16string(text.View());
        return result;
    }

    cLoadedLibrary Library{"tolvar.so"};
    cInterfacePtr<IEditTextProcessingPlugin> Command;
    cFakeEditAPI Api;
};

} // namespace

TEST_F(Tolvar, OffersOneCommandNamedWithItsTexts)
{
    const tNamedTexts texts = TextsOf(Command.Get());
    EXPECT_EQ(texts.Name, "Correct typography");
    EXPECT_EQ(texts.ShortHint, "Correct typography");
    EXPECT_EQ(texts.LongHint, "Correct typography: quotations, dash, non-breaking space symbols, etc.");
    EXPECT_EQ(texts.ShortHint + "|" + texts.LongHint,
              "Correct typography|Correct typography: quotations, dash, non-breaking space symbols, etc.");
    EXPECT_FALSE(Command.Query<IImportPlugin>(IID_IImportPlugin));
    EXPECT_TRUE(Command.Query<IEditorMenuPlugin>(IID_IEditorMenuPlugin));
}

TEST_F(Tolvar, IsEnabledWithExactlyMinusOne)
{
    LongBool enabled = 0x5A5A;
    EXPECT_EQ(Command->GetEnabled(&Api, &enabled), S_OK);
    EXPECT_EQ(enabled, -1);
    EXPECT_TRUE(Api.Changes().empty());
    EXPECT_EQ(Api.References, 0);
}

TEST_F(Tolvar, WithoutSelectionAsksForOneAndChangesNothing)
{
    for (int32_t length : {0, -1}) {
        Api.SelStart = 4;
        Api.SelLength = length;
        std::u16string message;
        EXPECT_EQ(Run(message), S_OK);
        EXPECT_EQ(message, u"Select text to be processed, then try again");
        EXPECT_TRUE(Api.Changes().empty());
        EXPECT_EQ(Api.References, 0);
    }
}

TEST_F(Tolvar, WithSelectionSucceedsSilentlyAndChangesNothing)
{
    Api.SelStart = 2;
    Api.SelLength = 1;
    std::u16string message = u"stale";
    EXPECT_EQ(Run(message), S_OK);
    EXPECT_TRUE(message.empty());
    EXPECT_TRUE(Api.Changes().empty());
    EXPECT_EQ(Api.Document, u"some text");
    EXPECT_EQ(Api.References, 0);
}
