// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Offers the documents of an instance that ended without closing them.
#include <QDialog>

class QTreeWidget;
class cEditorController;

// The list of records left behind: Recover (the default) takes the checked
// ones, Discard All deletes every one after asking, Later keeps them all.
class TFormRecover : public QDialog
{
    Q_OBJECT
public:
    enum tChoice
    {
        Later,
        Recover,
        DiscardAll,
    };
    struct tEntry
    {
        QString Name; // the file name, or "Untitled"
        QString Changed;
        qint64 Size = 0;
        QString Problem; // why it cannot be recovered; empty when it can
    };
    TFormRecover(QWidget *owner, const std::vector<tEntry> &entries);

    tChoice Choice() const noexcept { return FChoice; }
    bool Checked(int index) const;

private:
    QTreeWidget *FList;
    tChoice FChoice = Later;
};

// After the first activation, before the command line's files: when records
// exist that no running instance holds, asks and opens what the user chose,
// each in a tab of its own.
void OfferRecovery(QWidget *owner, cEditorController &tabs);
