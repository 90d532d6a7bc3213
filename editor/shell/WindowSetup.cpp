// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/WindowSetup.h"

#include "editor/editing/EditorControls.h"
#include "editor/editing/TypedConstants.h"
#include "editor/platform/Resources.h"
#include "editor/pluginhost/Plugins.h"
#include "editor/shell/Preferences.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCompleter>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>

#include <utility>

namespace {

// A hidden file dialog would otherwise keep watching its folder and read it
// again at every change there: CPU spent while the user does nothing.
class cWatchWhileShown final : public QObject
{
public:
    explicit cWatchWhileShown(QFileDialog &dialog) : QObject(&dialog), FDialog(dialog)
    {
        Watch(false);
        dialog.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            Watch(event->type() == QEvent::Show);
        return false;
    }

private:
    void Watch(bool on)
    {
        for (QFileSystemModel *model : FDialog.findChildren<QFileSystemModel *>())
            model->setOption(QFileSystemModel::DontWatchForChanges, !on);
    }

    QFileDialog &FDialog;
};

// The keys of the view options in the preferences file.
constexpr std::pair<bool tViewOptions::*, const char *> ViewOptionKeys[] = {
    {&tViewOptions::LineNumbers, "LineNumbers"},
    {&tViewOptions::CurrentLine, "HighlightCurrentLine"},
    {&tViewOptions::Whitespace, "ShowWhitespace"},
};

const char *ViewOptionKey(bool tViewOptions::*option)
{
    for (const auto &[member, key] : ViewOptionKeys) {
        if (member == option)
            return key;
    }
    return "";
}

} // namespace

QStringList DialogNameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << cPluginManager::NameFilterOf(parts[i] + u'|' + parts[i + 1]);
    return filters;
}

QCheckBox *AddReadOnlyBox(QFileDialog &dialog)
{
    auto *box = new QCheckBox(QStringLiteral("Open as &read-only"), &dialog);
    box->setObjectName(QStringLiteral("ReadOnlyBox"));
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    dialog.setProperty(ImportReadOnlyProperty, false);
    QObject::connect(box, &QCheckBox::toggled, &dialog,
                     [&dialog](bool on) { dialog.setProperty(ImportReadOnlyProperty, on); });
    return box;
}

void PrepareFileDialogs(QFileDialog &open, QFileDialog &saveAs, QFileDialog &import, QFileDialog &exportTo)
{
    // A name typed with its completion list open leaves that list behind
    // when Return closes the dialog; no popup may outlive its dialog.
    for (QFileDialog *dialog : {&open, &saveAs, &import, &exportTo}) {
        QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
            for (QCompleter *completer : dialog->findChildren<QCompleter *>())
                if (completer->popup())
                    completer->popup()->hide();
        });
        // Qt's own dialogs, not the desktop's: the same behaviour everywhere.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
    }
    open.setAcceptMode(QFileDialog::AcceptOpen);
    open.setFileMode(QFileDialog::ExistingFile);
    open.setNameFilters(DialogNameFilters(LoadResString(res::AllFilesFilter)));
    AddReadOnlyBox(open);
    saveAs.setAcceptMode(QFileDialog::AcceptSave);
    saveAs.setFileMode(QFileDialog::AnyFile);
    saveAs.setNameFilters(DialogNameFilters(EncodingFilter));
    for (QFileDialog *dialog : {&open, &saveAs, &import, &exportTo})
        new cWatchWhileShown(*dialog);
    import.setAcceptMode(QFileDialog::AcceptOpen);
    import.setFileMode(QFileDialog::ExistingFile);
    AddReadOnlyBox(import);
    exportTo.setAcceptMode(QFileDialog::AcceptSave);
    exportTo.setFileMode(QFileDialog::AnyFile);
}

tViewOptions StoredViewOptions(const cPreferences &preferences)
{
    tViewOptions options;
    for (const auto &[member, key] : ViewOptionKeys)
        options.*member = preferences.Bool(QString::fromLatin1(key), false);
    return options;
}

void ToggleViewOption(cEditorController &tabs, cPreferences &preferences, QAction *action, bool execute,
                      bool tViewOptions::*option)
{
    tViewOptions options = tabs.ViewOptions();
    if (execute) {
        options.*option = !(options.*option);
        tabs.SetViewOptions(options);
        preferences.SetBool(QString::fromLatin1(ViewOptionKey(option)), options.*option);
    }
    action->setEnabled(true);
    action->setChecked(options.*option);
    if (execute)
        preferences.Save();
}
