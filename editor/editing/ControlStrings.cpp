// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/ControlStrings.h"

#include "editor/platform/Exceptions.h"

// ---------------------------------------------------------------------------
// Lines

cWEditorStrings::cWEditorStrings(IWEditor &editor) : FEditor(&editor)
{
    FEditor->AddRef();
}

cWEditorStrings::~cWEditorStrings()
{
    FEditor->Release();
}

int cWEditorStrings::GetCount() const
{
    const int count = Editor().LineCount();
    const int lastStart = Editor().LineIndex(count - 1);
    return Editor().LineLength(lastStart) == 0 ? count - 1 : count;
}

QString cWEditorStrings::Get(int index) const
{
    const int pos = Editor().LineIndex(index);
    if (pos < 0 || Editor().LineLength(pos) < 1)
        return {};
    return Editor().LineText(index);
}

void cWEditorStrings::Put(int index, const QString &s)
{
    const int pos = Editor().LineIndex(index);
    if (pos < 0)
        return;
    Editor().SetSel(pos, pos + Editor().LineLength(pos));
    Editor().ReplaceSel(s);
}

void cWEditorStrings::Delete(int index)
{
    const int pos = Editor().LineIndex(index);
    if (pos < 0)
        return;
    int end = Editor().LineIndex(index + 1);
    if (end < 0)
        end = pos + Editor().LineLength(pos);
    Editor().SetSel(pos, end);
    Editor().ReplaceSel(QString());
}

void cWEditorStrings::Insert(int index, const QString &s)
{
    if (index < 0)
        return;
    int pos = Editor().LineIndex(index);
    QString text;
    if (pos >= 0) {
        text = s + QStringLiteral("\r\n");
    } else {
        pos = Editor().LineIndex(index - 1);
        if (pos < 0)
            return;
        const int length = Editor().LineLength(pos);
        if (length == 0)
            return;
        pos += length;
        text = QStringLiteral("\r\n") + s;
    }
    Editor().SetSel(pos, pos);
    Editor().ReplaceSel(text);
}

void cWEditorStrings::Clear()
{
    Editor().Clear();
}

void cWEditorStrings::SetTextStr(const QString &value)
{
    if (Editor().GetTextLen() == value.size() && Editor().GetTextW() == value)
        return;
    if (!Editor().SetText(value))
        throw EInvalidOperation(QStringLiteral("Text exceeds memo capacity"));
}

// Redraw is switched whether or not the control shows: a bracket opened
// while it shows may close after it was hidden, and must still end.
void cWEditorStrings::SetUpdateState(bool updating)
{
    Editor().SetRedraw(!updating);
    if (!updating)
        Editor().Refresh();
}

cWRichEditStrings::cWRichEditStrings(cWRichEdit &owner) : cWEditorStrings(owner), FOwner(owner) {}

void cWRichEditStrings::SetTextStr(const QString &value)
{
    const bool was = FOwner.ChangeNotification();
    FOwner.SetChangeNotification(false);
    try {
        cWEditorStrings::SetTextStr(value);
    } catch (...) {
        FOwner.SetChangeNotification(was);
        throw;
    }
    FOwner.SetChangeNotification(was);
}

// ---------------------------------------------------------------------------
// Combo box items

namespace {

// The platform's combo keeps its edit text when items come and go; Qt's
// takes the current item's text.
class cKeepEditText
{
public:
    explicit cKeepEditText(QComboBox &combo) : FCombo(combo), FText(combo.currentText()) {}
    ~cKeepEditText()
    {
        if (FCombo.currentText() != FText)
            FCombo.setEditText(FText);
    }
    cKeepEditText(const cKeepEditText &) = delete;
    cKeepEditText &operator=(const cKeepEditText &) = delete;

private:
    QComboBox &FCombo;
    QString FText;
};

constexpr int ObjectRole = Qt::UserRole;

} // namespace

QString cWComboBoxStrings::Get(int index) const
{
    return FCombo.itemText(index);
}

int cWComboBoxStrings::GetCount() const
{
    return FCombo.count();
}

void *cWComboBoxStrings::GetObject(int index) const
{
    if (index < 0 || index >= FCombo.count())
        Error(QStringLiteral("List index out of bounds (%d)"), index);
    return reinterpret_cast<void *>(FCombo.itemData(index, ObjectRole).value<quintptr>());
}

void cWComboBoxStrings::PutObject(int index, void *object)
{
    if (index >= 0 && index < FCombo.count())
        FCombo.setItemData(index, QVariant::fromValue(reinterpret_cast<quintptr>(object)), ObjectRole);
}

int cWComboBoxStrings::Add(const QString &s)
{
    cKeepEditText keep(FCombo);
    FCombo.addItem(s);
    return FCombo.count() - 1;
}

// Index -1 appends; any other index outside 0..count is refused.
void cWComboBoxStrings::Insert(int index, const QString &s)
{
    if (index < -1 || index > FCombo.count())
        throw EOutOfResources(QStringLiteral("Unable to insert a line"));
    cKeepEditText keep(FCombo);
    FCombo.insertItem(index < 0 ? FCombo.count() : index, s);
}

void cWComboBoxStrings::Delete(int index)
{
    cKeepEditText keep(FCombo);
    FCombo.removeItem(index);
}

void cWComboBoxStrings::Clear()
{
    cKeepEditText keep(FCombo);
    FCombo.clear();
    FCombo.update();
}

int cWComboBoxStrings::IndexOf(const QString &s) const
{
    return FCombo.findText(s, Qt::MatchFixedString);
}

void cWComboBoxStrings::SetUpdateState(bool updating)
{
    FCombo.setUpdatesEnabled(!updating);
    if (!updating)
        FCombo.update();
}
