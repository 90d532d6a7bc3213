// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/dfRecover.h"

#include "editor/editing/DiskWatch.h"
#include "editor/editing/EditorControls.h"
#include "editor/editing/Editors.h"
#include "editor/editing/RecoveryJournal.h"
#include "editor/editing/TextFiles.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/editing/WaitSt.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/MessageBox.h"
#include "editor/platform/Resources.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString ProductName()
{
    return LoadResString(res::ProductName);
}

QString DocumentName(const cRecoveryJournals::tOrphan &orphan)
{
    if (!orphan.Record.Meta || orphan.Record.Meta->FileName.isEmpty())
        return QStringLiteral("Untitled");
    return QFile::decodeName(orphan.Record.Meta->FileName);
}

// Rebuilds the record's text and opens it in a tab of its own; false (with
// Reason) when it cannot be rebuilt, the record untouched.
bool Recover(cRecoveryJournals::tOrphan &orphan, cEditorController &tabs, QString &reason)
{
    const tJournalMeta &meta = *orphan.Record.Meta;
    const auto open = [&tabs, &meta]() -> cEditor & {
        tabs.OpenText(QString(), meta.ReadOnly);
        return *tabs.ActiveEditor();
    };
    if (!RecoverDocument(orphan.Bytes, orphan.Record, open, reason))
        return false;
    cEditor &document = *tabs.ActiveEditor();
    if (!meta.FileName.isEmpty() && QFileInfo::exists(document.FileName()))
        tabs.DiskWatch().Remember(document);
    // The document goes on writing the record it came from.
    if (cRecoveryJournal *journal = cRecoveryJournals::JournalOf(document)) {
        journal->Continue(orphan.Fd, orphan.Path, orphan.Record);
        orphan.Fd = -1;
    }
    tabs.UpdateTabCaptions();
    return true;
}

bool ConfirmDiscard(QWidget *owner, int count)
{
    const QString text =
        QStringLiteral(
            "Discard the unsaved changes of %1 document(s)?\r\rThey cannot be recovered afterwards.")
            .arg(count);
    return MessageBox(owner, text, ProductName(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// Opens the complete copy of an interrupted save as the file's document,
// modified, so that saving it writes the new text.
void OpenCopy(tUnfinishedWrite &write, cEditorController &tabs)
{
    tTextFile file;
    cTextBuffer text;
    file = ReadTextFileInto(write.CopyPath, text);
    tabs.OpenText(QString(), false);
    cEditor &document = *tabs.ActiveEditor();
    {
        const cUpdateBracket noRedraw(document.WLines());
        document.LoadText([&text](cTextBuffer &buffer) { buffer.Adopt(text); });
    }
    document.AdoptRecovered(QFile::decodeName(write.Target), {file.Encoding, {}, true}, file.OddByte);
    if (QFileInfo::exists(document.FileName()))
        tabs.DiskWatch().Remember(document);
    tabs.UpdateTabCaptions();
}

// A save that rewrote a file in place and did not end: the user decides
// whether it is completed, or its text opened as a document, or kept.
void OfferUnfinishedWrites(QWidget *owner, cEditorController &tabs)
{
    for (const auto &write : FindUnfinishedWrites()) {
        const QString name = QFile::decodeName(write->Target);
        const int answer = MessageBox(
            owner,
            QStringLiteral("Saving \"%1\" was interrupted: the file may hold the new text only in part.\r\r"
                           "Complete the saving now? Yes writes the complete new text into the file, No "
                           "opens it as a document instead, Cancel keeps it for the next start.")
                .arg(name),
            ProductName(), MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDCANCEL)
            continue;
        const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
        try {
            if (answer == IDYES) {
                CompleteUnfinishedWrite(*write);
            } else {
                OpenCopy(*write, tabs);
                DiscardUnfinishedWrite(*write);
            }
        } catch (const eException &e) {
            MessageBox(
                owner,
                QStringLiteral("%1\r\rThe new text is kept in \"%2\".").arg(e.Message(), write->CopyPath),
                ProductName(), MB_OK | MB_ICONERROR);
        }
    }
}

} // namespace

TFormRecover::TFormRecover(QWidget *owner, const std::vector<tEntry> &entries) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Recover Documents - %1").arg(ProductName()));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("%1 ended without saving these documents. Recover the checked "
                                  "ones?")
                       .arg(ProductName()),
                   this));
    FList = new QTreeWidget(this);
    FList->setRootIsDecorated(false);
    FList->setHeaderLabels({QStringLiteral("Document"), QStringLiteral("Last change"), QStringLiteral("Size"),
                            QStringLiteral("Note")});
    const QLocale locale;
    for (const tEntry &entry : entries) {
        auto *item = new QTreeWidgetItem(
            FList, {entry.Name, entry.Changed, locale.formattedDataSize(entry.Size), entry.Problem});
        item->setToolTip(0, entry.Name);
        item->setToolTip(3, entry.Problem);
        if (entry.Problem.isEmpty()) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Checked);
        } else {
            item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
        }
    }
    FList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(FList);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *recover = buttons->addButton(QStringLiteral("&Recover"), QDialogButtonBox::AcceptRole);
    QPushButton *discard =
        buttons->addButton(QStringLiteral("&Discard All"), QDialogButtonBox::DestructiveRole);
    QPushButton *later = buttons->addButton(QStringLiteral("&Later"), QDialogButtonBox::RejectRole);
    recover->setDefault(true);
    connect(recover, &QPushButton::clicked, this, [this] {
        FChoice = Recover;
        accept();
    });
    connect(discard, &QPushButton::clicked, this, [this] {
        FChoice = DiscardAll;
        accept();
    });
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 300);
    recover->setFocus();
}

bool TFormRecover::Checked(int index) const
{
    const QTreeWidgetItem *item = FList->topLevelItem(index);
    return item && item->checkState(0) == Qt::Checked;
}

void OfferRecovery(QWidget *owner, cEditorController &tabs)
{
    OfferUnfinishedWrites(owner, tabs);
    const std::vector<std::unique_ptr<cRecoveryJournals::tOrphan>> orphans = cRecoveryJournals::FindOrphans();
    if (orphans.empty())
        return;
    std::vector<TFormRecover::tEntry> entries;
    const QLocale locale;
    for (const auto &orphan : orphans) {
        TFormRecover::tEntry entry{DocumentName(*orphan),
                                   locale.toString(orphan->Changed, QLocale::ShortFormat), orphan->FileSize,
                                   orphan->Problem};
        if (entry.Problem.isEmpty() && orphan->BaseChanged)
            entry.Problem =
                QStringLiteral("The file changed on disk since: the changes cannot be applied to it.");
        entries.push_back(entry);
    }
    TFormRecover form(owner, entries);
    form.exec();
    if (form.Choice() == TFormRecover::DiscardAll) {
        if (!ConfirmDiscard(owner, int(orphans.size())))
            return;
        for (const auto &orphan : orphans)
            cRecoveryJournals::DeleteOrphan(*orphan);
        return;
    }
    if (form.Choice() != TFormRecover::Recover)
        return;
    const tBusyToken busy = cWaitStateSingleton::NewBusyToken();
    for (std::size_t i = 0; i < orphans.size(); ++i) {
        cRecoveryJournals::tOrphan &orphan = *orphans[i];
        if (!form.Checked(int(i)) || !entries[i].Problem.isEmpty())
            continue;
        QString reason;
        if (!Recover(orphan, tabs, reason))
            MessageBox(owner,
                       QStringLiteral(
                           "The changes to \"%1\" cannot be recovered. %2\r\rThe record is kept in \"%3\".")
                           .arg(entries[i].Name, reason, orphan.Path),
                       ProductName(), MB_OK | MB_ICONERROR);
    }
}
