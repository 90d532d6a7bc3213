// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/Editors.h"

#include "editor/editing/TextFiles.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/KbdMacros.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/pluginhost/InterfacePtr.h"
#include "editor/text/UnicodeClipboard.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A document in a shown main window with the status bar it reports to.
class Document : public ::testing::Test
{
protected:
    Document() : Bar(&Window), Doc(&Window)
    {
        Window.setCentralWidget(&Doc);
        Window.setStatusBar(&Bar);
        Doc.StatusBar = &Bar;
        Doc.KeyMacro = &Macro;
        Doc.PrepareForEditing();
        SetApplicationMainWindow(&Window);
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
        Doc.setFocus();
    }
    ~Document() override
    {
        SetApplicationMainWindow(nullptr);
        SetDocumentDialogs({});
        SetAnsiCodePage(QByteArray());
    }

    QString File(const QString &name, const QByteArray &bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    // Loads Bytes, saves the document back under its name, returns what was written.
    QByteArray RoundTrip(const QByteArray &bytes)
    {
        const QString name = File(QStringLiteral("round.txt"), bytes);
        Doc.LoadFromFile(name);
        EXPECT_TRUE(Doc.Save());
        return Bytes(name);
    }

    QString Panel(int index) const { return Bar.PanelText(index); }

    QTemporaryDir Dir;
    QMainWindow Window;
    cEditorStatusBar Bar;
    cKeyMacro Macro;
    cEditor Doc;
};

// ---------------------------------------------------------------------------
// Files and encodings

TEST_F(Document, TinyFilesLoadAsAnsiAndAMarkAloneAsAnEmptyDocument)
{
    Doc.LoadFromFile(File(QStringLiteral("empty.txt"), QByteArray()));
    EXPECT_EQ(Doc.Encoding(), teAnsi);
    EXPECT_EQ(Doc.GetTextW(), QString());
    Doc.LoadFromFile(File(QStringLiteral("one.txt"), "\xFF"));
    EXPECT_EQ(Doc.Encoding(), teAnsi);
    EXPECT_EQ(Doc.GetTextLen(), 1);

    EXPECT_EQ(RoundTrip("\xFF\xFE"), QByteArray("\xFF\xFE"));
    EXPECT_EQ(Doc.Encoding(), teUnicode);
    EXPECT_EQ(Doc.GetTextW(), QString());

    Doc.LoadFromFile(File(QStringLiteral("odd.txt"), QByteArray("\xFE\xFF\x00\x41\x00\x42\x00", 7)));
    EXPECT_EQ(Doc.Encoding(), teUnicodeBigEndian);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("AB"));
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(Document, SavedFilesComeBackByteForByte)
{
    const QByteArray utf8 = "\xEF\xBB\xBF"
                            "line \xC3\x84\xE2\x82\xAC\r\n\r\nlast\r\n";
    EXPECT_EQ(RoundTrip(utf8), utf8);
    EXPECT_EQ(Doc.GetTextW(), QString::fromUtf8("line Ä€\r\rlast\r"));

    // Malformed sequences, a cut-off one at the end, and NUL characters.
    const QByteArray malformed("\xEF\xBB\xBF"
                               "a\xC3z\xFF\0b\xE2\x82",
                               12);
    EXPECT_EQ(RoundTrip(malformed), malformed);
    EXPECT_EQ(Doc.Encoding(), teUTF8);
    EXPECT_TRUE(Doc.GetTextW().contains(QChar(u'\0')));

    const QByteArray utf16("\xFF\xFE"
                           "a\0\0\0\r\0\n\0\x3D\xD8\x00\xDE",
                           14);
    EXPECT_EQ(RoundTrip(utf16), utf16);
    EXPECT_EQ(Doc.GetTextLen(), 5);
}

// Every byte of the file comes back when it is saved in its own encoding:
// a U+FEFF after the mark, the odd last byte of UTF-16, and code page
// sequences that share their character with another sequence.
TEST_F(Document, NoByteOfAFileIsLostBySavingItUnchanged)
{
    const QByteArray twoMarks("\xEF\xBB\xBF\xEF\xBB\xBF"
                              "A",
                              7);
    EXPECT_EQ(RoundTrip(twoMarks), twoMarks);
    EXPECT_EQ(Doc.GetTextW(), QStringView(u"\uFEFF"
                                          "A")
                                  .toString());

    const QByteArray oddBigEndian("\xFE\xFF\x00\x41\x00\x42\x00", 7);
    EXPECT_EQ(RoundTrip(oddBigEndian), oddBigEndian);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("AB"));
    const QByteArray oddLittleEndian("\xFF\xFE\x41\x00\x7F", 5);
    EXPECT_EQ(RoundTrip(oddLittleEndian), oddLittleEndian);
    // Edited, the byte stays at the end; in another encoding it is gone.
    QTest::keyClick(&Doc, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&Doc, Qt::Key_B);
    const QString name = Doc.FileName();
    EXPECT_TRUE(Doc.Save());
    EXPECT_EQ(Bytes(name), QByteArray("\xFF\xFE\x41\x00\x62\x00\x7F", 7));
    Doc.SaveToFile(name, teUTF8);
    EXPECT_EQ(Bytes(name), QByteArray("\xEF\xBB\xBF"
                                      "Ab"));
    Doc.SaveToFile(name, teUnicode);
    EXPECT_EQ(Bytes(name), QByteArray("\xFF\xFE\x41\x00\x62\x00", 6));

    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDCANCEL; });
    SetAnsiCodePage("CP932");
    const QByteArray cp932("\xED\x41\xFA\x5D", 4);
    EXPECT_EQ(RoundTrip(cp932), cp932);
    SetAnsiCodePage("BIG5");
    const QByteArray big5("\xF9\xF9\xA2\xA4", 4);
    EXPECT_EQ(RoundTrip(big5), big5);
    EXPECT_TRUE(answerer.Calls().isEmpty());
}

TEST_F(Document, EveryLineKeepsItsOwnBreakInEveryEncoding)
{
    const QString texts[] = {
        QStringLiteral("a\nb\n"),
        QStringLiteral("a\rb\r"),
        QStringLiteral("a\r\nb\r\n"),
        QStringLiteral("mixed\r\nlf\nc\r\r\n\n\rno final break"),
        QString::fromUtf16(u"sep\u2029line\u2028x\uFDD0y\uFDD1\r\nend"),
    };
    for (const QString &text : texts) {
        for (tTextEncoding encoding : {teAnsi, teUnicode, teUnicodeBigEndian, teUTF8}) {
            if (encoding == teAnsi && text.contains(QChar(u'\u2029')))
                continue;
            const QByteArray bytes = BomTable[encoding] + EncodeText(text, encoding);
            EXPECT_EQ(RoundTrip(bytes), bytes) << text.toStdString() << " " << int(encoding);
            EXPECT_EQ(Doc.GetTextLen(), text.size() - text.count(QStringLiteral("\r\n")));
        }
    }
    EXPECT_EQ(Doc.LineCount(), 2) << "U+2028, U+2029, U+FDD0 and U+FDD1 are text";
}

TEST_F(Document, TypedBreaksTakeTheDominantOneAndANewDocumentUsesLf)
{
    const QString name = File(QStringLiteral("crlf.txt"), "one\r\ntwo\r\nthree\nfour");
    Doc.LoadFromFile(name);
    Doc.SetSel(3, 3);
    QTest::keyClick(&Doc, Qt::Key_Return);
    Doc.SetSelStart(Doc.GetTextLen());
    Doc.SetSelTextW(QStringLiteral("\nfive"));
    ASSERT_TRUE(Doc.Save());
    EXPECT_EQ(Bytes(name), QByteArray("one\r\n\r\ntwo\r\nthree\nfour\r\nfive"));

    Doc.Clear();
    QTest::keyClicks(&Doc, QStringLiteral("x"));
    QTest::keyClick(&Doc, Qt::Key_Return);
    QTest::keyClicks(&Doc, QStringLiteral("y"));
    const QString fresh = Dir.filePath(QStringLiteral("new.txt"));
    Doc.SaveToFile(fresh, teUTF8);
    EXPECT_EQ(Bytes(fresh), QByteArray("\xEF\xBB\xBFx\ny"));
    EXPECT_EQ(Doc.GetTextViaWindowText(), QStringLiteral("x\r\ny")) << "the window text keeps CR LF";
}

TEST_F(Document, SavingWritesTheChosenEncodingWithItsMark)
{
    Doc.SetTextW(QString::fromUtf8("Ä\r\n"));
    const QString name = Dir.filePath(QStringLiteral("out.txt"));
    Doc.SaveToFile(name, teUnicodeBigEndian);
    EXPECT_EQ(Bytes(name), QByteArray("\xFE\xFF\x00\xC4\x00\r\x00\n", 8));
    Doc.SaveToFile(name, teUTF8);
    EXPECT_EQ(Bytes(name), QByteArray("\xEF\xBB\xBF\xC3\x84\r\n"));
    EXPECT_EQ(Doc.Encoding(), teUTF8);
    EXPECT_EQ(Doc.FileName(), name);
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(Document, AnsiLossIsAskedAndCancelWritesNothing)
{
    SetAnsiCodePage("WINDOWS-1252");
    Doc.SetTextW(QString::fromUtf8("Привет ü"));
    const QString name = Dir.filePath(QStringLiteral("ansi.txt"));
    {
        cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDCANCEL; });
        Doc.SaveToFile(name, teAnsi);
        ASSERT_EQ(answerer.Calls().size(), 1);
        const tMessageBoxCall &call = answerer.Calls().first();
        EXPECT_EQ(call.Text,
                  QStringLiteral("The file\r\"") + name +
                      QStringLiteral("\"\rcontains characters in Unicode format which will be lost if "
                                     "you save this file as an ANSI text.\rTo keep the Unicode "
                                     "information, select any of the Unicode encodings (UTF-8, "
                                     "Unicode or Unicode big endian) in the Save As dialog box.\r\rDo "
                                     "you still want to continue and enforce ANSI?"));
        EXPECT_EQ(call.Caption, QStringLiteral("Zelmar"));
        EXPECT_EQ(call.Flags, MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
        EXPECT_EQ(call.Owner, &Window);
    }
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_TRUE(Doc.Modified());
    EXPECT_EQ(Doc.FileName(), name);
    EXPECT_EQ(Doc.Encoding(), teAnsi);

    // Save under the name kept from the cancelled question asks again.
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    EXPECT_TRUE(Doc.Save());
    EXPECT_EQ(answerer.Calls().size(), 1);
    EXPECT_EQ(Bytes(name), QByteArray("?????? \xFC"));
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(Document, TextTheCodePageHoldsSavesAsAnsiWithoutAQuestion)
{
    SetAnsiCodePage("WINDOWS-1252");
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDCANCEL; });
    // Bytes the code page leaves undefined (0x81) come back unchanged too.
    EXPECT_EQ(RoundTrip("Gr\xFC\xDF"
                        "e \x81\r\n"),
              QByteArray("Gr\xFC\xDF"
                         "e \x81\r\n"));
    EXPECT_EQ(Doc.Encoding(), teAnsi);
    EXPECT_TRUE(answerer.Calls().isEmpty());
}

TEST_F(Document, FailedWritesAndReadsLeaveTheDocumentAsItWas)
{
    const QString original = File(QStringLiteral("a.txt"), "\xEF\xBB\xBF"
                                                           "abc");
    Doc.LoadFromFile(original);
    QTest::keyClick(&Doc, Qt::Key_X);
    ASSERT_TRUE(Doc.Modified());

    QDir(Dir.path()).mkdir(QStringLiteral("gone"));
    const QString target = Dir.filePath(QStringLiteral("gone/b.txt"));
    QDir(Dir.filePath(QStringLiteral("gone"))).removeRecursively();
    try {
        Doc.SaveToFile(target, teUnicode);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError &error) {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Cannot create file \"") + target + "\". "));
    }
    EXPECT_TRUE(Doc.Modified());
    EXPECT_EQ(Doc.FileName(), original);
    EXPECT_EQ(Doc.Encoding(), teUTF8);
    EXPECT_EQ(Panel(cEditorStatusBar::ModifiedPanel), QStringLiteral("*"));

    const QString missing = Dir.filePath(QStringLiteral("missing.txt"));
    try {
        Doc.LoadFromFile(missing);
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError &error) {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Cannot open file \"") + missing + "\". "));
    }
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("xabc"));
    EXPECT_EQ(Doc.FileName(), original);
    EXPECT_TRUE(Doc.Modified());
    EXPECT_TRUE(Doc.viewport()->updatesEnabled());
}

TEST_F(Document, SaveNeedsANameAndRewritesAFileRemovedMeanwhile)
{
    Doc.SetTextW(QStringLiteral("text"));
    EXPECT_FALSE(Doc.Save());
    EXPECT_TRUE(Doc.Modified());

    const QString name = File(QStringLiteral("c.txt"), "old");
    Doc.LoadFromFile(name);
    QFile::remove(name);
    QTest::keyClick(&Doc, Qt::Key_N);
    EXPECT_TRUE(Doc.Save());
    EXPECT_EQ(Bytes(name), QByteArray("nold"));
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(Document, TitleAndStatusBarFollowTheDocument)
{
    EXPECT_EQ(Panel(cEditorStatusBar::PositionPanel), QStringLiteral("1 : 1"));
    const QString name = File(QStringLiteral("t.txt"), "ab\r\ncd");
    Doc.LoadFromFile(name);
    EXPECT_EQ(Window.windowTitle(), name + QStringLiteral(" - Zelmar"));
    EXPECT_EQ(ApplicationTitle(), name + QStringLiteral(" - Zelmar"));
    EXPECT_EQ(Panel(cEditorStatusBar::FileNamePanel), name);
    EXPECT_EQ(Panel(cEditorStatusBar::ModifiedPanel), QString());
    QTest::keyClick(&Doc, Qt::Key_Down);
    QTest::keyClick(&Doc, Qt::Key_End);
    EXPECT_EQ(Panel(cEditorStatusBar::PositionPanel), QStringLiteral("2 : 3"));
    QTest::keyClick(&Doc, Qt::Key_E);
    EXPECT_EQ(Panel(cEditorStatusBar::ModifiedPanel), QStringLiteral("*"));
    EXPECT_EQ(Panel(cEditorStatusBar::PositionPanel), QStringLiteral("2 : 4"));

    cEditor untitled;
    untitled.FileNameChanged();
    EXPECT_EQ(Window.windowTitle(), QStringLiteral("Zelmar"));
}

// ---------------------------------------------------------------------------
// Keys

TEST_F(Document, KeyFilterRows)
{
    Doc.SetTextW(QStringLiteral("abc"));
    Doc.SetSel(0, 1);
    using tKey = std::pair<Qt::Key, Qt::KeyboardModifiers>;
    const tKey swallowed[] = {
        {Qt::Key_E, Qt::ControlModifier}, {Qt::Key_R, Qt::ControlModifier},
        {Qt::Key_L, Qt::ControlModifier}, {Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_Tab, Qt::ShiftModifier}, {Qt::Key_Tab, Qt::AltModifier}};
    for (const auto &[key, mods] : swallowed)
        QTest::keyClick(&Doc, key, mods);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abc"));
    EXPECT_EQ(Doc.GetSelTextW(), QStringLiteral("a"));

    WClipboard().FSetClipboardString(QString());
    QTest::keyClick(&Doc, Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("a"));
    Doc.SetSel(3, 3);
    QTest::keyClick(&Doc, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(&Doc, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("abcaa"));
    Doc.SetSel(0, 2);
    QTest::keyClick(&Doc, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("caa"));
    EXPECT_EQ(WClipboard().FGetClipboardString(), QStringLiteral("ab"));
    QTest::keyClick(&Doc, Qt::Key_Tab);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("\tcaa"));

    QTest::keyClick(&Doc, Qt::Key_Insert);
    EXPECT_TRUE(Doc.Overwrite());
    EXPECT_EQ(Panel(cEditorStatusBar::OverwritePanel), QStringLiteral("OVR"));
    QTest::keyClick(&Doc, Qt::Key_X);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("\txaa"));
    QTest::keyClick(&Doc, Qt::Key_Insert);
    EXPECT_EQ(Panel(cEditorStatusBar::OverwritePanel), QStringLiteral("INS"));
    QTest::keyClick(&Doc, Qt::Key_Y);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("\txyaa"));
}

TEST_F(Document, F4AppliesTheLastConfirmedCaseAsOneUndo)
{
    int confirmed = 0;
    SetDocumentDialogs({{}, [&](bool show) { return show ? 0 : confirmed; }});
    Doc.SetTextW(QStringLiteral("one\rtwo words"));
    Doc.SetSel(5, 5);
    QTest::keyClick(&Doc, Qt::Key_F4);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("one\rtwo words"));
    EXPECT_EQ(Doc.GetSelTextW(), QStringLiteral("two words")); // the line stays selected

    confirmed = 2;
    QTest::keyClick(&Doc, Qt::Key_F4);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("one\rTWO WORDS"));
    Doc.Undo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("one\rtwo words"));
}

TEST_F(Document, EveryKeyMessageIsRecordedOnce)
{
    Macro.Start();
    QTest::keyClick(&Doc, Qt::Key_A);
    QTest::keyClick(&Doc, Qt::Key_C, Qt::ControlModifier);
    Macro.Stop();
    // a down and up; Ctrl down, C down and up, Ctrl up. Entries that stand
    // for no message (a key's own text) do not count.
    QList<tMacroKey> messages;
    for (const tMacroKey &key : Macro.Keys())
        if (key.Flags != 0)
            messages << key;
    ASSERT_EQ(messages.size(), 6);
    EXPECT_EQ(messages[0].VirtualKey, 'A');
    EXPECT_EQ(messages[3].VirtualKey, 'C');
}

// With a window action on the key the action runs; without one, the filter.
// Either way the command runs once.
TEST_F(Document, ClipboardKeysRunOnceWithAndWithoutWindowShortcuts)
{
    WClipboard().FSetClipboardString(QStringLiteral("P"));
    QTest::keyClick(&Doc, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("P"));

    int pastes = 0;
    QAction paste(&Window);
    paste.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    Window.addAction(&paste);
    QObject::connect(&paste, &QAction::triggered, [&] {
        ++pastes;
        Doc.WMPaste();
    });
    QTest::keyClick(&Doc, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pastes, 1);
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("PP"));
    Doc.Undo();
    EXPECT_EQ(Doc.GetTextW(), QStringLiteral("P"));
}

// ---------------------------------------------------------------------------
// Highlight, case, go to, paste

TEST_F(Document, HighlightGoesWithTheNextClickOrKeyWithoutMarkingModified)
{
    Doc.SetTextW(QStringLiteral("find me here"));
    Doc.SetModified(false);
    Doc.SetSel(5, 7);
    Doc.HighlightFound(true);
    ASSERT_EQ(Doc.colorMarks().size(), 1u);
    EXPECT_EQ(Doc.colorMarks()[0].Back, QColor(0, 0, 0));
    EXPECT_EQ(Doc.colorMarks()[0].Text, QColor(255, 255, 0));
    EXPECT_EQ(Doc.GetSelTextW(), QStringLiteral("me"));

    QTest::mouseClick(Doc.viewport(), Qt::MiddleButton, {}, QPoint(2, 2));
    EXPECT_TRUE(Doc.Highlighted());
    QTest::mouseClick(Doc.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(Doc.Highlighted());
    EXPECT_TRUE(Doc.colorMarks().empty());
    EXPECT_FALSE(Doc.Modified());
    EXPECT_EQ(Doc.GetSelStart(), 0);

    Doc.SetSel(0, 4);
    Doc.HighlightFound(true);
    QTest::keyClick(&Doc, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_FALSE(Doc.Highlighted());
    EXPECT_TRUE(Doc.colorMarks().empty());
    EXPECT_EQ(Doc.GetSelTextW(), QStringLiteral("find "));
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(Document, CaseConversions)
{
    const struct
    {
        int Mode;
        const char *Result;
    } cases[] = {
        {1, "hello world, it's 2nd ärger"},
        {2, "HELLO WORLD, IT'S 2ND ÄRGER"},
        {3, "Hello World, It'S 2Nd Ärger"},
        {4, "HELLO world, IT'S 2ND äRGER"},
    };
    int mode = 0;
    SetDocumentDialogs({{}, [&](bool show) { return show ? mode : 0; }});
    for (const auto &c : cases) {
        mode = c.Mode;
        Doc.SetTextW(QString::fromUtf8("hello WORLD, it's 2nd Ärger"));
        Doc.SetSel(0, -1);
        Doc.ChangeCase(true);
        EXPECT_EQ(Doc.GetTextW(), QString::fromUtf8(c.Result)) << c.Mode;
    }
}

// What the program takes out and puts back, and what it rewrites in place,
// keeps each line's own break: cut, Edit > Delete and paste over lines with
// their undo and redo, change of case, and a plug-in's replacement.
TEST_F(Document, ProgramChangesAndTheirUndoKeepEachLinesOwnBreak)
{
    const QByteArray mixed("one\r\ntwo\nthree\rfour\r\n");
    const QString name = File(QStringLiteral("mixed.txt"), mixed);
    auto saved = [&] {
        EXPECT_TRUE(Doc.Save());
        return Bytes(name);
    };
    Doc.LoadFromFile(name);
    // Lines two and three with their breaks, as a user selects them.
    auto selectMiddleLines = [&] {
        QTest::keyClick(&Doc, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&Doc, Qt::Key_Down);
        QTest::keyClick(&Doc, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&Doc, Qt::Key_Down, Qt::ShiftModifier);
    };
    selectMiddleLines();
    QTest::keyClick(&Doc, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(saved(), QByteArray("one\r\nfour\r\n"));
    QTest::keyClick(&Doc, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(saved(), mixed) << "undo of cut";
    Doc.Redo();
    Doc.Undo();
    EXPECT_EQ(saved(), mixed) << "undo of the cut redone";

    selectMiddleLines();
    Doc.DeleteSelection();
    Doc.Undo();
    EXPECT_EQ(saved(), mixed) << "undo of Edit > Delete";

    WClipboard().FSetClipboardString(QStringLiteral("new\r\nlines\r\n"));
    selectMiddleLines();
    QTest::keyClick(&Doc, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(saved(), QByteArray("one\r\nnew\r\nlines\r\nfour\r\n"));
    Doc.Undo();
    EXPECT_EQ(saved(), mixed) << "undo of a paste over lines";
    Doc.Redo();
    Doc.Undo();
    EXPECT_EQ(saved(), mixed);

    SetDocumentDialogs({{}, [](bool) { return 2; }});
    Doc.SetSel(0, -1);
    Doc.ChangeCase(true);
    EXPECT_EQ(saved(), QByteArray("ONE\r\nTWO\nTHREE\rFOUR\r\n"));
    Doc.Undo();
    EXPECT_EQ(saved(), mixed);

    // A plug-in reads the lines with CR alone and gives back lines of the
    // same lengths: each keeps its break. A break where there was none
    // takes the dominant one.
    selectMiddleLines();
    cBStr lines;
    ASSERT_EQ(Doc.EditAPI()->GetSelText(lines.Out()), S_OK);
    EXPECT_EQ(QString::fromStdU16String(std::u16string(lines.View())), QStringLiteral("two\rthree\r"));
    ASSERT_EQ(Doc.EditAPI()->SetSelText(cBStr(u"TWO\r\nTH\nEE\r").Get()), S_OK);
    EXPECT_EQ(saved(), QByteArray("one\r\nTWO\nTH\r\nEE\rfour\r\n"));
}

TEST_F(Document, GoToLineColumnAndCanPaste)
{
    Doc.SetTextW(QStringLiteral("first\rsecond\rthird"));
    int line = 1, column = 3;
    bool confirm = true;
    SetDocumentDialogs({[&](int &l, int &c) {
                            l = line;
                            c = column;
                            return confirm;
                        },
                        {}});
    Doc.GoToLineColumn();
    EXPECT_EQ(Doc.GetCaretLine(), 1);
    EXPECT_EQ(Doc.GetCaretColumn(), 3);
    line = 2;
    column = -1;
    Doc.GoToLineColumn();
    EXPECT_EQ(Doc.GetCaretLine(), 2);
    EXPECT_EQ(Doc.GetCaretColumn(), 3);
    confirm = false;
    line = 0;
    Doc.GoToLineColumn();
    EXPECT_EQ(Doc.GetCaretLine(), 2);

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(Doc.CanPaste());
    WClipboard().FSetClipboardString(QStringLiteral("x"));
    EXPECT_TRUE(Doc.CanPaste());
    Doc.setReadOnly(true);
    EXPECT_FALSE(Doc.CanPaste());
}

// The found text, the line gone to, a plug-in's selection and an undone
// change are where the user looks next, wherever the view was.
TEST_F(Document, CommandsThatMoveTheSelectionBringItIntoView)
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("line %1\r").arg(i);
    Window.resize(400, 300);
    Doc.SetTextW(text);
    auto shown = [&] { return Doc.viewport()->rect().contains(Doc.cursorRect().center()); };
    auto top = [&] {
        Doc.verticalScrollBar()->setValue(0);
        return Doc.buffer().LineFromPosition(Doc.cursorForPosition(QPoint(0, 0))) == 0;
    };
    auto find = [](const QString &what, bool prompt, int result) {
        FormFind()->SetExecutor([=](TFormFind &dialog) {
            dialog.edwFind->SetTextW(what);
            dialog.edwReplace->SetTextW(QStringLiteral("found"));
            dialog.rSpecialNone->setChecked(true);
            dialog.rForward->setChecked(true);
            dialog.rFromCursor->setChecked(true);
            dialog.cbPrompt->setChecked(prompt);
            dialog.cbWholeWord->setChecked(false);
            dialog.cbCase->setChecked(false);
            return result;
        });
    };

    SetDocumentDialogs({[](int &line, int &column) {
                            line = 250;
                            column = 2;
                            return true;
                        },
                        {}});
    ASSERT_TRUE(top());
    Doc.GoToLineColumn();
    EXPECT_EQ(Doc.GetCaretLine(), 250);
    EXPECT_TRUE(shown()) << "Go to";

    Doc.SetSelStart(0);
    ASSERT_TRUE(top());
    find(QStringLiteral("40"), false, QDialog::Accepted);
    Doc.Find();
    EXPECT_EQ(Doc.GetCaretLine(), 40);
    EXPECT_TRUE(shown()) << "Find";
    Doc.FindNext(false);
    EXPECT_EQ(Doc.GetCaretLine(), 140);
    EXPECT_TRUE(shown()) << "Find Next";

    // Each occurrence is on show while its question is.
    QList<bool> shownAtQuestion;
    cMessageBoxAnswerer answerer([&](const tMessageBoxCall &call) {
        if (call.Text.contains(QStringLiteral("line 280")) && !call.Text.contains(QStringLiteral("done")))
            shownAtQuestion << shown();
        return shownAtQuestion.size() == 1 ? IDYES : IDOK;
    });
    Doc.SetSelStart(0);
    ASSERT_TRUE(top());
    find(QStringLiteral("line 280"), true, QDialog::Accepted);
    Doc.Replace();
    EXPECT_EQ(shownAtQuestion, QList<bool>{true}) << "Replace with prompt";
    ASSERT_TRUE(Doc.GetTextW().contains(QStringLiteral("found")));

    // Undoing a command of many steps puts back the selection it started from.
    Doc.SetSelStart(Doc.LineIndex(270));
    find(QStringLiteral("line 29"), false, TFormFind::mrAll);
    Doc.Replace();
    ASSERT_TRUE(Doc.GetTextW().contains(QStringLiteral("found9")));
    ASSERT_TRUE(top());
    Doc.Undo();
    EXPECT_FALSE(Doc.GetTextW().contains(QStringLiteral("found9")));
    EXPECT_EQ(Doc.GetCaretLine(), 270);
    EXPECT_TRUE(shown()) << "Undo";

    IEditAPI *api = Doc.EditAPI();
    ASSERT_TRUE(top());
    api->SetSelStart(Doc.LineIndex(200));
    EXPECT_TRUE(shown()) << "a plug-in's SetSelStart";
    ASSERT_TRUE(top());
    api->SetSelLength(6);
    EXPECT_TRUE(shown()) << "a plug-in's SetSelLength";
    FormFind()->SetExecutor(nullptr);
}

} // namespace
