// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/ViewInputMethod.h"

#include "editor/textengine/TextView.h"

#include <QTextCharFormat>

#include <algorithm>

namespace {

// Text the input method sees around the caret: a long line is not copied whole.
constexpr int SurroundingReach = 1024;

} // namespace

void cViewInputMethod::SetPreedit(const QString &text, const QList<QInputMethodEvent::Attribute> &attributes)
{
    QList<QTextLayout::FormatRange> formats;
    FPreeditCursor = int(text.size());
    for (const QInputMethodEvent::Attribute &a : attributes) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = a.value.value<QTextFormat>().toCharFormat();
            if (format.isValid())
                formats.append({a.start, a.length, format});
        } else if (a.type == QInputMethodEvent::Cursor) {
            FPreeditCursor = a.start;
        }
    }
    if (formats.isEmpty() && !text.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        formats.append({0, int(text.size()), underline});
    }
    FPreedit = text;
    FPreeditFormats = formats;
    FView.FLayouts->SetPreedit(FView.cursorPosition(), text, formats);
    FView.viewport()->update();
}

void cViewInputMethod::TextChanged()
{
    if (Composing())
        FView.FLayouts->SetPreedit(FView.cursorPosition(), FPreedit, FPreeditFormats);
}

void cViewInputMethod::Event(QInputMethodEvent &event)
{
    if (FView.isReadOnly()) {
        event.ignore();
        return;
    }
    SetPreedit({}, {});
    const QString commit = event.commitString();
    const int length = FView.buffer().Length();
    if (!commit.isEmpty() || event.replacementLength() > 0) {
        int start = FView.selectionStart(), end = FView.selectionEnd();
        if (event.replacementLength() > 0 || event.replacementStart() != 0) {
            start = std::clamp(FView.cursorPosition() + event.replacementStart(), 0, length);
            end = std::clamp(start + event.replacementLength(), start, length);
        }
        FView.replaceRange(start, end, commit);
    } else if (FView.hasSelection() && !event.preeditString().isEmpty()) {
        FView.replaceRange(FView.selectionStart(), FView.selectionEnd(), {});
    }
    SetPreedit(event.preeditString(), event.attributes());
    FView.ensureCursorVisible();
    event.accept();
}

QVariant cViewInputMethod::Query(Qt::InputMethodQuery query) const
{
    const cTextBuffer &buffer = FView.buffer();
    const int caret = FView.cursorPosition();
    const int line = buffer.LineFromPosition(caret);
    const int windowStart = std::max(buffer.LineStart(line), caret - SurroundingReach);
    const int windowEnd = std::min(buffer.LineEnd(line), caret + SurroundingReach);
    switch (query) {
    case Qt::ImEnabled:
        return !FView.isReadOnly();
    case Qt::ImCursorRectangle:
        return FView.cursorRect().translated(FView.viewport()->pos());
    case Qt::ImFont:
        return FView.font();
    case Qt::ImCursorPosition:
        return caret - windowStart;
    case Qt::ImAnchorPosition:
        return std::clamp(FView.anchorPosition(), windowStart, windowEnd) - windowStart;
    case Qt::ImSurroundingText:
        return buffer.Text(windowStart, windowEnd);
    case Qt::ImCurrentSelection:
        return buffer.Text(std::max(FView.selectionStart(), windowStart),
                           std::min(FView.selectionEnd(), windowEnd));
    case Qt::ImReadOnly:
        return FView.isReadOnly();
    case Qt::ImHints:
        return int(FView.inputMethodHints());
    default:
        return {};
    }
}
