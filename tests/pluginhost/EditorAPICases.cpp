// SPDX-License-Identifier: GPL-3.0-or-later
// The editor API as a plug-in written in C sees it: every call through the
// C vtable, every text as a BSTR.
#include "editor/editing/EditorAPI.h"

#include "editor/editing/Editors.h"
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "EditorAPIFromC.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

class EditorAPIFromC : public ::testing::Test
{
protected:
    using tGetter = HRESULT (*)(IEditAPI *, OLECHAR *, uint32_t, int32_t *);

    // The text a getter hands out; "<null>" when the BSTR was null.
    QString Take(tGetter getter)
    {
        OLECHAR buffer[256];
        int32_t length = 0;
        EXPECT_EQ(getter(Api, buffer, 256, &length), S_OK);
        return length < 0 ? QStringLiteral("<null>") : QString::fromUtf16(buffer, length);
    }
    QString Line(int32_t index)
    {
        OLECHAR buffer[256];
        int32_t length = 0;
        EXPECT_EQ(CGetLine(Api, index, buffer, 256, &length), S_OK);
        return QString::fromUtf16(buffer, length);
    }
    int32_t Int(HRESULT (*getter)(IEditAPI *, int32_t *))
    {
        int32_t value = -99;
        EXPECT_EQ(getter(Api, &value), S_OK);
        return value;
    }

    cEditor Doc;
    IEditAPI *Api = Doc.EditAPI();
};

TEST_F(EditorAPIFromC, LinesAreTheDocumentsLines)
{
    EXPECT_EQ(Int(CGetLineCount), 0);
    EXPECT_EQ(CAddLine(Api, u"one"), S_OK);
    EXPECT_EQ(Int(CGetLineCount), 1);
    EXPECT_EQ(Line(0), QStringLiteral("one"));

    EXPECT_EQ(CInsertLine(Api, 0, u"zero"), S_OK);
    EXPECT_EQ(CAddLine(Api, u"two"), S_OK);
    EXPECT_EQ(CMoveLine(Api, 2, 0), S_OK);
    EXPECT_EQ(CSetLine(Api, 1, u"Z"), S_OK);
    EXPECT_EQ(CDeleteLine(Api, 2), S_OK);
    EXPECT_EQ(Int(CGetLineCount), 2);
    EXPECT_EQ(Line(0), QStringLiteral("two"));
    EXPECT_EQ(Line(1), QStringLiteral("Z"));
    EXPECT_TRUE(Take(CGetText).startsWith(QStringLiteral("two\rZ")));
    EXPECT_EQ(Take(CGetText), Doc.GetTextW());

    EXPECT_EQ(CSetText(Api, u"a\rb\rc"), S_OK);
    EXPECT_EQ(Int(CGetLineCount), 3);
    EXPECT_EQ(CSetText(Api, nullptr), S_OK);
    EXPECT_EQ(Int(CGetLineCount), 0);
    EXPECT_EQ(Take(CGetText), QString());
}

TEST_F(EditorAPIFromC, CaretLinesColumnsAndSelection)
{
    Doc.SetTextW(QStringLiteral("abc\rdefgh"));
    EXPECT_EQ(CSetCurrentLine(Api, 1), S_OK);
    EXPECT_EQ(Int(CGetCurrentLine), 1);
    EXPECT_EQ(CSetCurrentColumn(Api, 99), S_OK);
    EXPECT_EQ(Int(CGetCurrentColumn), 5);
    EXPECT_EQ(Int(CGetSelStart), 9);
    EXPECT_EQ(CSetCurrentColumn(Api, 2), S_OK);
    EXPECT_EQ(Int(CGetSelStart), 6);

    EXPECT_EQ(Take(CGetSelText), QString()); // empty, yet a real text
    EXPECT_EQ(CSetSelStart(Api, 1), S_OK);
    EXPECT_EQ(CSetSelLength(Api, 2), S_OK);
    EXPECT_EQ(Int(CGetSelLength), 2);
    EXPECT_EQ(Take(CGetSelText), QStringLiteral("bc"));
    EXPECT_EQ(CSetSelStart(Api, 2), S_OK); // collapses the selection
    EXPECT_EQ(Int(CGetSelLength), 0);
    EXPECT_EQ(CSetSelLength(Api, 1), S_OK);
    EXPECT_EQ(CSetSelText(Api, u"XY"), S_OK);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abXY\rdefgh"));
    EXPECT_EQ(Int(CGetSelStart), 4);
    EXPECT_EQ(Int(CGetSelLength), 0);
}

TEST_F(EditorAPIFromC, FindTextSearchesItsRangeWithoutMovingTheSelection)
{
    QString text(60, u'.');
    for (int at : {5, 45, 55})
        text.replace(at, 2, QStringLiteral("ab"));
    Doc.SetTextW(text);
    Doc.SetSelStart(2);
    Doc.SetSelLength(3);
    int32_t found = 0;
    auto find = [&](int32_t start, int32_t length, LongBool backward) {
        EXPECT_EQ(CFindText(Api, u"ab", start, length, backward, 0, 0, &found), S_OK);
        return found;
    };
    EXPECT_EQ(find(10, 0, 0), 45); // length 0: to the end
    EXPECT_EQ(find(47, 0, 0), 55);
    EXPECT_EQ(find(50, 10, LONGBOOL_TRUE), 45); // 40..50
    EXPECT_EQ(find(50, 3, LONGBOOL_TRUE), -1);  // 47..50
    EXPECT_EQ(find(0, 5, 0), -1);               // 0..5 ends before the match
    EXPECT_EQ(Doc.GetSelStart(), 2);
    EXPECT_EQ(Doc.GetSelLength(), 3);

    Doc.SetTextW(QStringLiteral("Cat concatenate cat"));
    EXPECT_EQ(CFindText(Api, u"cat", 0, 0, 0, LONGBOOL_TRUE, 0, &found), S_OK);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(CFindText(Api, u"cat", 0, 0, 0, LONGBOOL_TRUE, LONGBOOL_TRUE, &found), S_OK);
    EXPECT_EQ(found, 16);
    EXPECT_EQ(CFindText(Api, u"cat", 1, 0, 0, 0, LONGBOOL_TRUE, &found), S_OK);
    EXPECT_EQ(found, 7);
}

TEST_F(EditorAPIFromC, OnlyIEditAPIIsAnsweredAndNothingIsCounted)
{
    void *out = nullptr;
    EXPECT_EQ(CQueryInterface(Api, &IID_IEditAPI, &out), S_OK);
    EXPECT_EQ(out, Api);
    out = nullptr;
    EXPECT_EQ(CQueryInterface(Api, &IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, Api);
    for (const GUID *iid : {&IID_IEditSelection, &IID_IEditLines, &IID_IEditCurrentPosition}) {
        out = Api;
        EXPECT_EQ(CQueryInterface(Api, iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(CAddRef(Api), uint32_t(-1));
    EXPECT_EQ(CRelease(Api), uint32_t(-1));
    EXPECT_EQ(CRelease(Api), uint32_t(-1));
    EXPECT_EQ(Int(CGetLineCount), 0); // still alive and usable
}

TEST_F(EditorAPIFromC, NullOutPointersAreRefusedWithEPointer)
{
    Doc.SetTextW(QStringLiteral("abc\rdef"));
    Doc.SetSelStart(1);
    Doc.SetSelLength(2);
    const struct
    {
        int Slot;
        const char *Name;
    } getters[] = {
        {0, "QueryInterface"},  {7, "GetLineCount"},         {8, "GetLine"},          {10, "GetText"},
        {12, "GetCurrentLine"}, {14, "GetCurrentColumn"},    {16, "GetSelStart"},     {18, "GetSelLength"},
        {20, "GetSelText"},     {22, "GetMainWindowHandle"}, {23, "GetEditorHandle"}, {24, "FindText"}};
    for (const auto &getter : getters)
        EXPECT_EQ(CCallWithNullOut(Api, getter.Slot), E_POINTER) << getter.Name;
    // The plug-in's mistake is not the document's failure: nothing is kept
    // for the host to raise, and the document is as it was.
    EXPECT_EQ(Doc.TakeAPIError(), nullptr);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abc\rdef"));
    EXPECT_EQ(Doc.GetSelStart(), 1);
    EXPECT_EQ(Doc.GetSelLength(), 2);
    EXPECT_EQ(Int(CGetLineCount), 2);
}

TEST_F(EditorAPIFromC, HandlesAreTheWindowIds)
{
    SetApplicationMainWindow(nullptr);
    EXPECT_EQ(Int(CGetMainWindowHandle), 0);
    QWidget main;
    SetApplicationMainWindow(&main);
    EXPECT_EQ(Int(CGetMainWindowHandle), int32_t(main.winId()));
    EXPECT_NE(Int(CGetMainWindowHandle), 0);
    SetApplicationMainWindow(nullptr);
    EXPECT_EQ(Int(CGetEditorHandle), int32_t(Doc.winId()));
    EXPECT_NE(Int(CGetEditorHandle), 0);
}

// A document whose text cannot be read, as when memory runs out.
class cFailingDocument : public cEditor
{
public:
    QString GetTextW() const override { throw EOutOfResources(QStringLiteral("Out of memory")); }
};

TEST(EditorAPIFailure, AFailureEndsTheCallWithEFailAndWaitsForTheHost)
{
    cFailingDocument doc;
    IEditAPI *api = doc.EditAPI();
    EXPECT_EQ(doc.TakeAPIError(), nullptr);
    OLECHAR buffer[8];
    int32_t length = 0;
    EXPECT_EQ(CGetText(api, buffer, 8, &length), E_FAIL);
    EXPECT_EQ(length, -1); // nothing handed out
    EXPECT_EQ(doc.APIErrorText(), QStringLiteral("Out of memory"));
    EXPECT_EQ(CAddLine(api, u"still usable"), S_OK);
    EXPECT_EQ(doc.WLines().Get(0), QStringLiteral("still usable"));
    const std::exception_ptr error = doc.TakeAPIError();
    ASSERT_NE(error, nullptr);
    EXPECT_THROW(std::rethrow_exception(error), EOutOfResources);
    EXPECT_EQ(doc.TakeAPIError(), nullptr);
    EXPECT_EQ(doc.APIErrorText(), QString());
}

} // namespace
