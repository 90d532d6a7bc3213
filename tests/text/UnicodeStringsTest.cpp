// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/text/UnicodeStrings.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/AnsiStrings.h"
#include "editor/platform/Exceptions.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// A list that keeps what it is given and logs its update-state calls; Put is
// left to the base so its object-keeping rule is what is tested.
class cTestStrings : public cWStrings
{
public:
    QString Get(int index) const override { return Items.at(index); }
    int GetCount() const override { return int(Items.size()); }
    void *GetObject(int index) const override { return Objects.at(index); }
    void PutObject(int index, void *object) override { Objects[index] = object; }
    void Clear() override
    {
        Items.clear();
        Objects.clear();
    }
    void Delete(int index) override
    {
        Items.removeAt(index);
        Objects.removeAt(index);
    }
    void Insert(int index, const QString &s) override
    {
        Items.insert(index, s);
        Objects.insert(index, nullptr);
    }
    void SetUpdateState(bool updating) override { UpdateLog.append(updating); }

    QStringList Items;
    QList<void *> Objects;
    QList<bool> UpdateLog;
};

// An abstract-only list: nothing but what the base demands.
class cMinimalStrings : public cWStrings
{
public:
    QString Get(int) const override { return {}; }
    int GetCount() const override { return 0; }
    void Clear() override {}
    void Delete(int) override {}
    void Insert(int, const QString &) override {}
};

QStringList Split(const QString &text)
{
    cTestStrings list;
    list.SetTextStr(text);
    return list.Items;
}

TEST(WideStringSplitting, LineBreakKinds)
{
    EXPECT_EQ(Split(QStringLiteral("a\r\nb\r\n")), QStringList({"a", "b"}));
    EXPECT_EQ(Split(QStringLiteral("a\n\rb")), QStringList({"a", "", "b"}));
    EXPECT_EQ(Split(QStringLiteral("a\rb\nc")), QStringList({"a", "b", "c"}));
    EXPECT_EQ(Split(QStringLiteral("a\r\n\r\nb")), QStringList({"a", "", "b"}));
    EXPECT_EQ(Split(QStringLiteral("\r\n")), QStringList({""}));
    EXPECT_TRUE(Split(QString()).isEmpty());
}

TEST(WideStringSplitting, NulEndsTheText)
{
    const QString text = QStringLiteral("a\r\nb") + QChar(u'\0') + QStringLiteral("c\r\nd");
    EXPECT_EQ(Split(text), QStringList({"a", "b"}));
}

TEST(WideStringSplitting, OnlyWholeUnitsAreLineBreaks)
{
    // The low bytes of these characters are CR, LF and NUL.
    const QString text = QString(QChar(0x010D)) + QChar(0x010A) + QChar(0x0100);
    EXPECT_EQ(Split(text), QStringList({text}));
}

TEST(WideStringJoining, EveryEntryEndsInCrLf)
{
    cTestStrings list;
    EXPECT_EQ(list.GetTextStr(), QString());
    list.Add(QString());
    EXPECT_EQ(list.GetTextStr(), QStringLiteral("\r\n"));
    list.Add(QStringLiteral("x"));
    EXPECT_EQ(list.GetTextStr(), QStringLiteral("\r\nx\r\n"));
}

TEST(WideStringList, ComparisonIsOrdinalAndCaseSensitive)
{
    cTestStrings list;
    list.Add(QStringLiteral("a"));
    list.Add(QStringLiteral("A"));
    EXPECT_EQ(list.IndexOf(QStringLiteral("A")), 1);
    EXPECT_EQ(list.IndexOf(QStringLiteral("b")), -1);
    EXPECT_EQ(list.CompareStrings(QStringLiteral("ab"), QStringLiteral("abc")), -1);
    EXPECT_EQ(list.CompareStrings(QStringLiteral("b"), QStringLiteral("abc")), 1);
    EXPECT_EQ(list.CompareStrings(QStringLiteral("x"), QStringLiteral("x")), 0);
}

TEST(WideStringList, UpdateStateOnlyAtTheOutermostPair)
{
    cTestStrings list;
    list.BeginUpdate();
    list.BeginUpdate();
    list.SetTextStr(QStringLiteral("a\rb"));
    list.EndUpdate();
    EXPECT_EQ(list.UpdateLog, QList<bool>({true}));
    list.EndUpdate();
    EXPECT_EQ(list.UpdateLog, QList<bool>({true, false}));
}

TEST(WideStringList, BasePutKeepsTheObject)
{
    cTestStrings list;
    int marker = 0;
    list.AddObject(QStringLiteral("old"), &marker);
    list.Add(QStringLiteral("next"));
    list.Put(0, QStringLiteral("new"));
    EXPECT_EQ(list.Items, QStringList({"new", "next"}));
    EXPECT_EQ(list.GetObject(0), &marker);
    EXPECT_EQ(list.IndexOfObject(&marker), 0);
}

TEST(WideStringList, ExchangeAndMoveCarryObjects)
{
    cTestStrings list;
    int o1 = 1, o3 = 3;
    list.AddObject(QStringLiteral("1"), &o1);
    list.Add(QStringLiteral("2"));
    list.AddObject(QStringLiteral("3"), &o3);
    list.Exchange(0, 2);
    EXPECT_EQ(list.Items, QStringList({"3", "2", "1"}));
    EXPECT_EQ(list.GetObject(0), &o3);
    EXPECT_EQ(list.GetObject(2), &o1);
    list.Move(0, 2);
    EXPECT_EQ(list.Items, QStringList({"2", "1", "3"}));
    EXPECT_EQ(list.GetObject(2), &o3);
    list.UpdateLog.clear();
    list.Move(1, 1);
    EXPECT_TRUE(list.UpdateLog.isEmpty());
}

TEST(WideStringList, AssignCopiesAnotherWideList)
{
    cTestStrings source, target;
    source.SetTextStr(QStringLiteral("x\ry"));
    target.Add(QStringLiteral("gone"));
    target.Assign(&source);
    EXPECT_EQ(target.Items, QStringList({"x", "y"}));
}

TEST(WideStringList, AssignFromAnotherKindFails)
{
    cTestStrings target;
    TStringList narrow;
    try {
        target.Assign(&narrow);
        FAIL();
    } catch (const EConvertError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot assign a TStringList to a cWStrings"));
    }
}

TEST(WideStringList, BaseDefaults)
{
    cMinimalStrings list;
    EXPECT_EQ(list.GetObject(0), nullptr);
    EXPECT_EQ(list.GetCapacity(), 0);
    try {
        list.Error(QStringLiteral("List index out of bounds (%d)"), 7);
        FAIL();
    } catch (const EStringListError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("List index out of bounds (7)"));
    }
}

class NarrowAdapter : public ::testing::Test
{
protected:
    void SetUp() override { SetAnsiCodePage("WINDOWS-1252"); }
    void TearDown() override { SetAnsiCodePage({}); }
};

TEST_F(NarrowAdapter, ConvertsThroughTheCodePage)
{
    TStringList narrow;
    cWStringsNonNT wide(&narrow);
    wide.Add(QString::fromUtf8("café"));
    wide.Add(QString::fromUtf8("Жук"));
    EXPECT_EQ(narrow.Get(0), QByteArray("caf\xE9", 4));
    EXPECT_EQ(narrow.Get(1), QByteArray("???"));
    EXPECT_EQ(wide.Get(0), QString::fromUtf8("café"));
    EXPECT_EQ(wide.GetCount(), 2);
    EXPECT_EQ(wide.GetTextStr(), QString::fromUtf8("café\r\n???\r\n"));
}

TEST_F(NarrowAdapter, ForwardsObjectsButReadsNoneBack)
{
    TStringList narrow;
    cWStringsNonNT wide(&narrow);
    int marker = 0;
    wide.AddObject(QStringLiteral("a"), &marker);
    EXPECT_EQ(narrow.GetObject(0), &marker);
    EXPECT_EQ(wide.GetObject(0), nullptr);
}

TEST_F(NarrowAdapter, SplittingAndSearchFollowTheNarrowList)
{
    TStringList narrow;
    cWStringsNonNT wide(&narrow);
    wide.SetTextStr(QStringLiteral("One\r\ntwo\nthree"));
    EXPECT_EQ(narrow.GetCount(), 3);
    EXPECT_EQ(wide.IndexOf(QStringLiteral("TWO")), 1);
    wide.Put(2, QStringLiteral("3"));
    EXPECT_EQ(wide.Get(2), QStringLiteral("3"));
    wide.Delete(0);
    wide.Insert(0, QStringLiteral("zero"));
    EXPECT_EQ(wide.Get(0), QStringLiteral("zero"));
    EXPECT_THROW(wide.Get(9), EStringListError);
}

TEST(WideCharacters, OneCharacterCaseAndByteSwap)
{
    QChar c(u'é');
    WCharUpper(c);
    EXPECT_EQ(c, QChar(u'É'));
    WCharLower(c);
    EXPECT_EQ(c, QChar(u'é'));
    QString s = QString(QChar(0xFEFF)) + QChar(0x0041);
    SwapBytes(s);
    EXPECT_EQ(s[0].unicode(), 0xFFFE);
    EXPECT_EQ(s[1].unicode(), 0x4100);
}

} // namespace
