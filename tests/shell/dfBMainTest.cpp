// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfBMain.h"

#include "editor/editing/DiskWatch.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/RecoveryJournal.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/FileDescriptor.h"
#include "editor/shell/ExtraCommands.h"
#include "editor/shell/RecentFiles.h"
#include "tests/shell/MainWindowFixture.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>

namespace {

using cCloseQuery = cMainWindowTest;
using cSaveAs = cMainWindowTest;
using cFontCommand = cMainWindowTest;
using cSettings = cMainWindowTest;
using cStartDocuments = cMainWindowTest;
using cPluginHost = cMainWindowTest;
using cDiskChanges = cMainWindowTest;
using cDrops = cMainWindowTest;

// Answers the message boxes in order and keeps every question.
class cAnswers
{
public:
    explicit cAnswers(QList<int> answers)
        : FAnswers(std::move(answers)), FAnswerer([this](const tMessageBoxCall &) {
              return FAnswers.isEmpty() ? IDCANCEL : FAnswers.takeFirst();
          })
    {}
    const QList<tMessageBoxCall> &Calls() const { return FAnswerer.Calls(); }

private:
    QList<int> FAnswers;
    cMessageBoxAnswerer FAnswerer;
};

TEST_F(cCloseQuery, NoThenCancelStopsAtTheSecondDocumentAndKeepsTheWindow)
{
    const QString a = WorkFile(QStringLiteral("a.txt"), "a"), b = WorkFile(QStringLiteral("b.txt"), "b"),
                  c = WorkFile(QStringLiteral("c.txt"), "c");
    TFormMain &w = Show({a, b, c});
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 3);
    for (int i = 0; i < 3; ++i) {
        w.EditorTabs->setCurrentIndex(i);
        Type(QStringLiteral("!"));
    }
    cAnswers answers({IDNO, IDCANCEL});
    EXPECT_FALSE(w.close());
    ASSERT_EQ(answers.Calls().size(), 2); // the third is never asked
    EXPECT_TRUE(answers.Calls()[0].Text.contains(a));
    EXPECT_TRUE(answers.Calls()[1].Text.contains(b));
    EXPECT_EQ(answers.Calls()[1].Flags, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(w.EditorTabs->currentIndex(), 1);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Bytes(a), QByteArray("a"));
    EXPECT_TRUE(Document(0)->Modified());
}

TEST_F(cCloseQuery, YesSavesAndClosesButACancelledSaveAsKeepsTheWindow)
{
    const QString a = WorkFile(QStringLiteral("a.txt"), "a");
    TFormMain &w = Show({a});
    w.EditorTabs->NewDocument(); // untitled, and not the file's tab
    Type(QStringLiteral("new"));
    w.EditorTabs->setCurrentIndex(0);
    Type(QStringLiteral("b"));
    w.EditorTabs->setCurrentIndex(1);

    int saveAsShown = 0;
    w.SetDialogExecutor([&](QFileDialog &) { return ++saveAsShown, false; });
    cAnswers answers({IDYES, IDYES});
    EXPECT_FALSE(w.close());
    EXPECT_EQ(answers.Calls().size(), 2);
    EXPECT_EQ(saveAsShown, 1);
    EXPECT_FALSE(Document(0)->Modified());
    EXPECT_EQ(QString::fromLatin1(Bytes(a)), Document(0)->GetTextW());
    EXPECT_EQ(Bytes(a).size(), 2);
    EXPECT_TRUE(Document(1)->Modified());
    EXPECT_TRUE(Document(1)->FileName().isEmpty());
    EXPECT_EQ(w.EditorTabs->currentIndex(), 1);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(cSaveAs, TheThirdFilterWritesUtf16BigEndianAndAddsTxtOnlyWithoutExtension)
{
    TFormMain &w = Show();
    Type(QStringLiteral("hi"));
    QString chosen;
    w.SetDialogExecutor([&](QFileDialog &dialog) {
        dialog.selectNameFilter(dialog.nameFilters().at(2));
        dialog.selectFile(chosen);
        return true;
    });
    chosen = FWork.filePath(QStringLiteral("notes"));
    w.acFileSaveAs->trigger();
    EXPECT_EQ(Bytes(chosen + QStringLiteral(".txt")), QByteArray("\xFE\xFF\0h\0i", 6));
    EXPECT_EQ(ActiveDocument()->FileName(), chosen + QStringLiteral(".txt"));
    EXPECT_EQ(ActiveDocument()->Encoding(), teUnicodeBigEndian);
    EXPECT_EQ(w.windowTitle(), chosen + QStringLiteral(".txt - Zelmar"));

    chosen = FWork.filePath(QStringLiteral("notes.md"));
    w.acFileSaveAs->trigger();
    EXPECT_EQ(Bytes(chosen), QByteArray("\xFE\xFF\0h\0i", 6));
    EXPECT_FALSE(QFileInfo::exists(chosen + QStringLiteral(".txt")));
}

TEST_F(cSaveAs, ANewDocumentIsWrittenWithoutAMarkWhereTheLocaleIsUtf8)
{
    if (NewDocumentEncoding() != teAnsi || AnsiCodePageName().toUpper() != "UTF-8")
        GTEST_SKIP() << "the locale's code page is not UTF-8";
    TFormMain &w = Show();
    Type(QStringLiteral("#!/bin/sh"));
    const QString chosen = FWork.filePath(QStringLiteral("run.sh"));
    w.SetDialogExecutor([&](QFileDialog &dialog) {
        dialog.selectFile(chosen);
        return true;
    });
    w.acFileSaveAs->trigger();
    EXPECT_EQ(Bytes(chosen), QByteArray("#!/bin/sh"));
    EXPECT_EQ(ActiveDocument()->Encoding(), teAnsi);
}

TEST_F(cSaveAs, TheDialogOffersTheDocumentsEncodingAndFullName)
{
    const QString file = WorkFile(QStringLiteral("le.txt"), QByteArray("\xFF\xFEx\0", 4));
    TFormMain &w = Show({file});
    QString filter, name;
    w.SetDialogExecutor([&](QFileDialog &dialog) {
        filter = dialog.selectedNameFilter();
        name = dialog.selectedFiles().value(0);
        return false;
    });
    w.acFileSaveAs->trigger();
    EXPECT_EQ(filter, w.SaveAsDialog->nameFilters().at(teUnicode));
    EXPECT_TRUE(filter.startsWith(QStringLiteral("Unicode files")));
    EXPECT_EQ(name, file);
}

TEST_F(cSaveAs, SaveOnAnUntitledDocumentRunsSaveAsAndACancelLeavesItUnnamed)
{
    TFormMain &w = Show();
    Type(QStringLiteral("x"));
    int shown = 0;
    w.SetDialogExecutor([&](QFileDialog &) { return ++shown, false; });
    Press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(ActiveDocument()->Modified());
    EXPECT_TRUE(ActiveDocument()->FileName().isEmpty());
}

TEST_F(cSaveAs, TheOpenDialogsReadOnlyBoxOpensTheFileReadOnly)
{
    const QString file = WorkFile(QStringLiteral("r.txt"), "r");
    TFormMain &w = Show();
    bool readOnly = true;
    w.SetDialogExecutor([&](QFileDialog &dialog) {
        auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("ReadOnlyBox"));
        EXPECT_NE(box, nullptr);
        if (box)
            box->setChecked(readOnly);
        dialog.selectFile(file);
        return true;
    });
    w.acFileOpen->trigger();
    ASSERT_EQ(ActiveDocument()->FileName(), file);
    EXPECT_TRUE(ActiveDocument()->isReadOnly());
    readOnly = false;
    w.acFileOpen->trigger();
    EXPECT_EQ(w.EditorTabs->DocumentCount(), 2);
    EXPECT_FALSE(ActiveDocument()->isReadOnly());
    // The Import dialog has the box too, read by the plug-in manager.
    auto *importBox = w.ImportDialog->findChild<QCheckBox *>(QStringLiteral("ReadOnlyBox"));
    ASSERT_NE(importBox, nullptr);
    EXPECT_FALSE(w.ImportDialog->property(ImportReadOnlyProperty).toBool());
    importBox->setChecked(true);
    EXPECT_TRUE(w.ImportDialog->property(ImportReadOnlyProperty).toBool());
}

TEST_F(cFontCommand, ApplyThenCancelBringsTheOldFontBackInEveryDocument)
{
    TFormMain &w = Show();
    w.EditorTabs->NewDocument();
    const QFont before = w.EditorTabs->EditorFont();
    QFont other = before;
    other.setPointSize(before.pointSize() + 7);
    int appliedSize = 0;
    OnModal([&](QWidget *dialog) {
        auto *fontDialog = qobject_cast<cFontDialog *>(dialog);
        ASSERT_NE(fontDialog, nullptr);
        fontDialog->setCurrentFont(other);
        fontDialog->ApplyButton()->click();
        appliedSize = Document(0)->font().pointSize();
        fontDialog->reject();
    });
    w.acViewFont->trigger();
    EXPECT_EQ(appliedSize, other.pointSize());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Document(i)->font().pointSize(), before.pointSize());
    EXPECT_EQ(w.EditorTabs->EditorFont().pointSize(), before.pointSize());

    OnModal([&](QWidget *dialog) {
        static_cast<QFontDialog *>(dialog)->setCurrentFont(other);
        static_cast<QFontDialog *>(dialog)->accept();
    });
    w.acViewFont->trigger();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Document(i)->font().pointSize(), other.pointSize());
}

TEST_F(cSettings, WordWrapStatusBarAndBoundsSurviveARestart)
{
    TFormMain *w = &Show();
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
    w->acViewWrap->trigger();
    w->acViewStatusBar->trigger();
    w->move(40, 50);
    w->resize(500, 300);
    FWindow.reset(); // saves
    ASSERT_TRUE(QFileInfo::exists(SettingsFile()));

    w = &Show();
    EXPECT_TRUE(w->EditorTabs->WordWrap());
    EXPECT_TRUE(w->StatusBar->isHidden());
    EXPECT_EQ(w->size(), QSize(500, 300));
    EXPECT_TRUE(ActiveDocument()->wordWrap());
    w->RefreshActions();
    EXPECT_TRUE(w->acViewWrap->isChecked());
    EXPECT_FALSE(w->acViewStatusBar->isChecked());
}

TEST_F(cSettings, WithSaveSettingsOnExitUncheckedTheStoreStaysAsItWas)
{
    Show();
    FWindow.reset();
    const QByteArray stored = Bytes(SettingsFile());
    ASSERT_FALSE(stored.isEmpty());

    TFormMain *w = &Show();
    w->acViewWrap->trigger();
    w->acToolSaveSettingsOnExit->trigger();
    EXPECT_FALSE(w->SaveSettingsOnExit);
    EXPECT_FALSE(w->acToolSaveSettingsOnExit->isChecked());
    FWindow.reset();
    EXPECT_EQ(Bytes(SettingsFile()), stored);
    w = &Open();
    EXPECT_TRUE(w->acToolSaveSettingsOnExit->isChecked());
    EXPECT_TRUE(w->SaveSettingsOnExit);
}

TEST_F(cSettings, AWindowThatNeverCameUpLeavesTheStoredSettingsAlone)
{
    Show().acViewWrap->trigger();
    FWindow.reset();
    const QByteArray stored = Bytes(SettingsFile());
    ASSERT_FALSE(stored.isEmpty());
    Open(); // never activated: the stored state was never applied
    FWindow.reset();
    EXPECT_EQ(Bytes(SettingsFile()), stored);
}

TEST_F(cSettings, UninstallAsksAboutUnsavedWorkAndCancelKeepsEverything)
{
    Show();
    FWindow.reset();
    ASSERT_TRUE(QFileInfo::exists(SettingsFile()));

    TFormMain &w = Show();
    Type(QStringLiteral("unsaved"));
    {
        cAnswers cancel({IDCANCEL});
        w.acToolUninstallNow->trigger();
        EXPECT_EQ(cancel.Calls().size(), 1);
    }
    EXPECT_TRUE(QFileInfo::exists(SettingsFile()));
    EXPECT_EQ(ActiveDocument()->WLines().GetTextStr().trimmed(), QStringLiteral("unsaved"));
    EXPECT_TRUE(w.isVisible());

    // Records of another running instance, which holds them locked: its
    // document's, and the copy and record of a save in place it is making.
    const QString recovery = cRecoveryJournals::Folder();
    ASSERT_TRUE(QDir().mkpath(recovery));
    const auto held = [&](const QString &name) {
        const QByteArray path = QFile::encodeName(recovery + u'/' + name);
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        return fd;
    };
    const cFileDescriptor journal(held(QStringLiteral("other.journal")));
    const cFileDescriptor copy(held(QStringLiteral("write-1-1.text")));
    const QStringList kept = {QStringLiteral("other.journal"), QStringLiteral("write-1-1.record"),
                              QStringLiteral("write-1-1.text")};
    ASSERT_TRUE(QFile(recovery + QStringLiteral("/write-1-1.record")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile(recovery + QStringLiteral("/ended.journal")).open(QIODevice::WriteOnly));
    ASSERT_TRUE(WriteStateFile(QStringLiteral("Session"), "x"));

    cAnswers no({IDNO});
    QTimer::singleShot(0, w.acToolUninstallNow, &QAction::trigger);
    EXPECT_EQ(qApp->exec(), 0);
    EXPECT_EQ(no.Calls().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(FConfig.filePath(QStringLiteral("Varnholt"))));
    // Of the state, only what the other instance holds is left.
    EXPECT_EQ(QDir(recovery).entryList(QDir::Files, QDir::Name).join(u' ').toStdString(),
              kept.join(u' ').toStdString());
    EXPECT_EQ(
        QDir(StateDirectory()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(u' ').toStdString(),
        "recovery");
    FWindow.reset();
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
    EXPECT_EQ(no.Calls().size(), 1); // no second question on the way out
}

// What the session manager's commit request does, without a session manager
// (Qt makes its QSessionManager only for a real one): unasked, every change
// is in the recovery records at once; asked, Cancel stops the logout and
// keeps them, No lets it go on without them.
TEST_F(cCloseQuery, ALogoutAsksWhenItMayAndOtherwiseKeepsWhatWasTypedOnDisk)
{
    TFormMain &w = Show();
    Type(QStringLiteral("unsaved"));
    const auto records = [] {
        QStringList texts;
        const QDir folder(cRecoveryJournals::Folder());
        for (const QString &name : folder.entryList({QStringLiteral("*.journal")}, QDir::Files)) {
            QFile file(folder.filePath(name));
            cTextBuffer text;
            QString reason;
            if (file.open(QIODevice::ReadOnly) && RebuildJournalText(file.readAll(), text, {}, reason))
                texts << text.TextWithBreaks();
        }
        return texts;
    };
    int released = 0;
    {
        cAnswers none({});
        EXPECT_TRUE(w.CommitSession(false, [&] { ++released; }));
        EXPECT_EQ(none.Calls().size(), 0);
    }
    EXPECT_EQ(records(), QStringList{QStringLiteral("unsaved")});
    {
        cAnswers cancel({IDCANCEL});
        EXPECT_FALSE(w.CommitSession(true, [&] { ++released; }));
        EXPECT_EQ(cancel.Calls().size(), 1);
    }
    EXPECT_EQ(released, 1);
    EXPECT_EQ(records(), QStringList{QStringLiteral("unsaved")});
    EXPECT_TRUE(ActiveDocument()->Modified());
    {
        cAnswers no({IDNO});
        EXPECT_TRUE(w.CommitSession(true, [&] { ++released; }));
        EXPECT_EQ(no.Calls().size(), 1);
    }
    EXPECT_EQ(released, 2);
    EXPECT_TRUE(records().isEmpty());
}

TEST_F(cStartDocuments, FilesWritableThenTheROptionsNamesReadOnlyInOrder)
{
    const QString a = WorkFile(QStringLiteral("a.txt"), "A"), b = WorkFile(QStringLiteral("b.txt"), "B"),
                  c = WorkFile(QStringLiteral("c.txt"), "C"), d = WorkFile(QStringLiteral("d.txt"), "D");
    TFormMain &w = Show({a, QStringLiteral("-r:") + b + u';' + c, QStringLiteral("/x"), d});
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 4);
    const QStringList expected = {a, d, b, c};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Document(i)->FileName(), expected[i]);
        EXPECT_EQ(Document(i)->isReadOnly(), i >= 2);
    }
}

TEST_F(cStartDocuments, AMissingFileIsReportedAndTheNextOneOpens)
{
    const QString missing = FWork.filePath(QStringLiteral("missing.txt"));
    const QString present = WorkFile(QStringLiteral("present.txt"), "here");
    cAnswers answers({IDOK});
    TFormMain &w = Show({missing, present});
    ASSERT_EQ(answers.Calls().size(), 1);
    EXPECT_EQ(answers.Calls()[0].Caption, QStringLiteral("Zelmar"));
    EXPECT_EQ(answers.Calls()[0].Flags & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(answers.Calls()[0].Owner, &w);
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 1);
    EXPECT_EQ(ActiveDocument()->FileName(), present);
}

TEST_F(cStartDocuments, NoArgumentsGiveOneUntitledDocument)
{
    TFormMain &w = Show();
    EXPECT_EQ(w.EditorTabs->DocumentCount(), 1);
    EXPECT_TRUE(ActiveDocument()->FileName().isEmpty());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Zelmar"));
    w.FirstActivation(); // later activations change nothing
    EXPECT_EQ(w.EditorTabs->DocumentCount(), 1);
}

TEST_F(cPluginHost, SuspendingWordWrapShowsRealLinesAndRestoresOnlyAfterASuspend)
{
    TFormMain &w = Show();
    w.EditorTabs->SetWordWrap(true);
    cEditor *document = ActiveDocument();
    document->SetTextW(QStringLiteral("one two three"));
    document->SetSelStart(4);
    document->SetSelLength(3);

    w.SuspendWordWrap(false);
    EXPECT_FALSE(document->wordWrap());
    EXPECT_TRUE(document->WrapSuspended);
    EXPECT_EQ(document->GetSelStart(), 4);
    EXPECT_EQ(document->GetSelLength(), 3);
    w.SuspendWordWrap(true);
    EXPECT_TRUE(document->wordWrap());
    EXPECT_FALSE(document->WrapSuspended);
    EXPECT_EQ(document->GetSelLength(), 3);

    w.EditorTabs->SetWordWrap(false);
    w.SuspendWordWrap(false); // nothing to suspend
    EXPECT_FALSE(document->WrapSuspended);
    w.SuspendWordWrap(true);
    EXPECT_FALSE(document->wordWrap());
}

TEST_F(cPluginHost, TheActiveDocumentIsReachedWithItsReadOnlyFlagAndWindowText)
{
    TFormMain &w = Open();
    bool readOnly = true;
    EXPECT_EQ(w.GetActiveEditor(readOnly), nullptr);
    EXPECT_FALSE(readOnly);
    w.OpenText(true, QStringLiteral("ignored.txt"), QStringLiteral("a\r\nb"));
    ASSERT_EQ(w.EditorTabs->DocumentCount(), 1);
    EXPECT_EQ(w.GetActiveEditor(readOnly), ActiveDocument()->EditAPI());
    EXPECT_TRUE(readOnly);
    EXPECT_TRUE(ActiveDocument()->FileName().isEmpty());
    EXPECT_EQ(w.GetActiveText(), QStringLiteral("a\r\nb"));
}

TEST_F(cPluginHost, PrintingWritesTheDocumentToAPdf)
{
    TFormMain &w = Show();
    w.RefreshActions();
    EXPECT_FALSE(w.acFilePrint->isEnabled()); // nothing to print
    Type(QStringLiteral("printed"));
    w.RefreshActions();
    EXPECT_TRUE(w.acFilePrint->isEnabled());
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = FWork.filePath(QStringLiteral("out.pdf"));
    printer.setOutputFileName(pdf);
    w.PrintActiveDocument(printer);
    EXPECT_TRUE(Bytes(pdf).startsWith("%PDF"));
}

TEST_F(cPluginHost, PrintPreviewShowsThePagesPrintingMakes)
{
    QByteArray lines;
    for (int i = 1; i <= 300; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    TFormMain &w = Show({WorkFile(QStringLiteral("long.txt"), lines)});
    const QString pdf = FWork.filePath(QStringLiteral("out.pdf"));
    w.Printer().setOutputFormat(QPrinter::PdfFormat);
    w.Printer().setOutputFileName(pdf);
    w.PrintActiveDocument(w.Printer());
    const qsizetype printed =
        QString::fromLatin1(Bytes(pdf)).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b")));
    ASSERT_GT(printed, 1);

    int previewed = -1;
    OnModal([&](QWidget *dialog) {
        if (auto *view = dialog->findChild<QPrintPreviewWidget *>())
            previewed = view->pageCount();
        dialog->close();
    });
    w.RefreshActions();
    ASSERT_TRUE(w.Extras->acFilePrintPreview->isEnabled());
    w.Extras->acFilePrintPreview->trigger();
    EXPECT_EQ(previewed, printed);
}

// Another program writes the file: the bytes change and so does the size.
void Rewrite(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

TEST_F(cDiskChanges, AnUnmodifiedDocumentOffersToReloadAndYesLoadsTheNewText)
{
    const QString path = WorkFile(QStringLiteral("a.txt"), "old");
    TFormMain &w = Show({path});
    cAnswers answers({IDYES});
    Rewrite(path, "new text");
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.Calls().size() == 1; }, 30000));
    EXPECT_TRUE(answers.Calls().first().Text.contains(QStringLiteral("changed by another program")));
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("new text"));
    EXPECT_FALSE(ActiveDocument()->Modified());
    // Asked once per change: the window coming back asks nothing more.
    w.EditorTabs->DiskWatch().CheckActive();
    EXPECT_EQ(answers.Calls().size(), 1);
}

TEST_F(cDiskChanges, AModifiedDocumentKeepsItsTextOnNoAndSaveAsksBeforeOverwriting)
{
    const QString path = WorkFile(QStringLiteral("a.txt"), "old");
    TFormMain &w = Show({path});
    Type(QStringLiteral("mine "));
    cAnswers answers({IDNO, IDNO, IDYES});
    Rewrite(path, "theirs");
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.Calls().size() == 1; }, 30000));
    EXPECT_EQ(answers.Calls()[0].Flags & MB_DEFMASK, unsigned(MB_DEFBUTTON2)); // No is the default
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("mine old"));
    EXPECT_TRUE(ActiveDocument()->Modified());

    ASSERT_TRUE(QTest::qWaitFor([&] { return w.acFileSave->isEnabled(); }));
    w.acFileSave->trigger(); // No: the other program's file stays
    ASSERT_EQ(answers.Calls().size(), 2);
    EXPECT_TRUE(answers.Calls()[1].Text.contains(QStringLiteral("overwrite")));
    EXPECT_EQ(Bytes(path), QByteArray("theirs"));
    EXPECT_TRUE(ActiveDocument()->Modified());

    w.acFileSave->trigger(); // Yes
    EXPECT_EQ(Bytes(path), QByteArray("mine old"));
    EXPECT_FALSE(ActiveDocument()->Modified());
    // Its own save is no change by another program.
    Type(QStringLiteral("x"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.acFileSave->isEnabled(); }));
    w.acFileSave->trigger();
    EXPECT_FALSE(ActiveDocument()->Modified());
    w.EditorTabs->DiskWatch().CheckActive();
    EXPECT_EQ(answers.Calls().size(), 3);
}

TEST_F(cDiskChanges, ADeletedFileKeepsItsDocumentModifiedSoItCanBeSavedAgain)
{
    const QString path = WorkFile(QStringLiteral("a.txt"), "keep me");
    TFormMain &w = Show({path});
    cAnswers answers({IDOK});
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.Calls().size() == 1; }, 30000));
    EXPECT_TRUE(answers.Calls().first().Text.contains(QStringLiteral("deleted")));
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("keep me"));
    EXPECT_TRUE(ActiveDocument()->Modified());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.acFileSave->isEnabled(); }));
    w.acFileSave->trigger();
    EXPECT_EQ(Bytes(path), QByteArray("keep me"));
    EXPECT_EQ(answers.Calls().size(), 1);
}

TEST_F(cDiskChanges, AFileWrittenInStepsIsAskedAboutOnceWhenTheUserSaysNo)
{
    const QString path = WorkFile(QStringLiteral("a.txt"), "old");
    TFormMain &w = Show({path});
    int asked = 0;
    // The other program finishes its write while the question is up.
    cMessageBoxAnswerer answers([&](const tMessageBoxCall &) {
        if (++asked == 1)
            Rewrite(path, "their longer text");
        return IDNO;
    });
    Rewrite(path, "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked >= 1; }));
    w.EditorTabs->DiskWatch().CheckActive(); // as the next activation does
    QCoreApplication::processEvents();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("old"));
}

// Leaving without a look at its tab must still ask about the text that is
// all that is left of the file.
TEST_F(cDiskChanges, AFileDeletedBehindAnotherTabLeavesItsDocumentModifiedAtOnce)
{
    const QString a = WorkFile(QStringLiteral("a.txt"), "keep me");
    const QString b = WorkFile(QStringLiteral("b.txt"), "b");
    TFormMain &w = Show({a, b});
    ASSERT_EQ(ActiveDocument()->FileName(), b);
    cAnswers answers({IDOK});
    ASSERT_TRUE(QFile::remove(a));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Document(0)->Modified(); }));
    EXPECT_TRUE(answers.Calls().isEmpty()); // the question comes with the tab
    w.EditorTabs->setCurrentIndex(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.Calls().size() == 1; }));
    EXPECT_TRUE(answers.Calls().first().Text.contains(QStringLiteral("deleted")));
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("keep me"));
}

TEST_F(cDiskChanges, NothingIsAskedWhileAModalDialogIsUpButAfterwards)
{
    const QString path = WorkFile(QStringLiteral("a.txt"), "old");
    TFormMain &w = Show({path});
    cAnswers answers({IDNO});
    QDialog modal(&w);
    QTimer::singleShot(0, &modal, [&] {
        Rewrite(path, "changed");
        w.EditorTabs->DiskWatch().CheckActive();
        EXPECT_TRUE(answers.Calls().isEmpty());
        modal.accept();
    });
    modal.exec();
    w.EditorTabs->DiskWatch().CheckActive();
    EXPECT_EQ(answers.Calls().size(), 1);
    EXPECT_EQ(ActiveDocument()->GetTextW(), QStringLiteral("old"));
}

TEST_F(cDrops, FilesDroppedOnTheWindowOrADocumentOpenInDropOrderAndTextIsNoFileDrop)
{
    const QString a = WorkFile(QStringLiteral("a.txt"), "A");
    const QString b = WorkFile(QStringLiteral("b.txt"), "B");
    TFormMain &w = Show();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.EditorTabs->DocumentCount() == 2; }));
    EXPECT_EQ(Document(0)->FileName(), a); // the empty untitled tab made way
    EXPECT_EQ(Document(1)->FileName(), b);

    // Text is no file: dropped on the window (not into a document) it
    // opens nothing.
    QMimeData text;
    text.setText(QStringLiteral("words"));
    QDropEvent dropText(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &dropText);
    EXPECT_FALSE(dropText.isAccepted());
    // Where a file lands, nothing takes it before the window does: a
    // document, which takes text, passes files on.
    EXPECT_FALSE(w.menuBar()->acceptDrops());
    EXPECT_FALSE(w.EditorTabs->tabBar()->acceptDrops());
    const QString c = WorkFile(QStringLiteral("c.txt"), "C");
    QMimeData more;
    more.setUrls({QUrl::fromLocalFile(c)});
    more.setText(c);
    QWidget *viewport = ActiveDocument()->viewport();
    QDragEnterEvent enterDocument(QPoint(5, 5), Qt::CopyAction, &more, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enterDocument);
    EXPECT_TRUE(enterDocument.isAccepted());
    QDropEvent dropDocument(QPointF(5, 5), Qt::CopyAction, &more, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &dropDocument);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.EditorTabs->DocumentCount() == 3; }));
    EXPECT_EQ(Document(2)->FileName(), c);
    EXPECT_EQ(Document(1)->GetTextW(), QStringLiteral("B"));
}

TEST_F(cDrops, AFileThatCannotBeOpenedIsReportedAndTheNextOneOpens)
{
    const QString b = WorkFile(QStringLiteral("b.txt"), "B");
    TFormMain &w = Show();
    cAnswers answers({IDOK});
    w.OpenDroppedFiles({FWork.filePath(QStringLiteral("missing.txt")), b});
    EXPECT_EQ(answers.Calls().size(), 1);
    EXPECT_EQ(ActiveDocument()->FileName(), b);
}

} // namespace
