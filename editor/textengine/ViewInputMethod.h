// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Input method composition in a view: the text being composed shows at the
// caret (the line layouts draw it in) but enters the buffer only when the
// input method commits it.
#include <QInputMethodEvent>
#include <QList>
#include <QString>
#include <QTextLayout>
#include <QVariant>

class cTextView;

class cViewInputMethod
{
public:
    explicit cViewInputMethod(cTextView &view) noexcept : FView(view) {}
    cViewInputMethod(const cViewInputMethod &) = delete;
    cViewInputMethod &operator=(const cViewInputMethod &) = delete;

    bool Composing() const noexcept { return !FPreedit.isEmpty(); }
    // The caret within the composed text.
    int Cursor() const noexcept { return FPreeditCursor; }

    void Event(QInputMethodEvent &event);
    // Invalid for a query the view leaves to its base class.
    QVariant Query(Qt::InputMethodQuery query) const;
    // An edit reshaped the caret's line: the composition shows there again.
    void TextChanged();
    // The whole text was replaced, and the composition with it.
    void TextReset() noexcept { FPreedit.clear(); }

private:
    void SetPreedit(const QString &text, const QList<QInputMethodEvent::Attribute> &attributes);

    cTextView &FView;
    QString FPreedit;
    QList<QTextLayout::FormatRange> FPreeditFormats;
    int FPreeditCursor = 0;
};
