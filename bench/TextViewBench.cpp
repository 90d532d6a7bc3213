// SPDX-License-Identifier: GPL-3.0-or-later
// The text view where the widget it replaces gave up: a keystroke, a repaint
// and a page down in one line of 10 MB (with and without blanks, wrapped and
// not) and in a file of 50 MB of lines. Each figure includes the repaint the
// user waits for.
#include "editor/textengine/TextView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype MB = 1024 * 1024;

// One line of words, or of one endless word.
QString LongLine(bool blanks)
{
    static const QString words = QStringLiteral("lorem ipsum dolor sit amet consectetur adipiscing elit ");
    QString text;
    text.reserve(10 * MB + words.size());
    while (text.size() < 10 * MB)
        text += words;
    text.truncate(10 * MB);
    if (!blanks)
        text.replace(u' ', u'x');
    return text;
}

// Lines of 40 to 100 characters, LF breaks.
QString Lines(qsizetype size)
{
    static const QString words =
        QStringLiteral("lorem ipsum dolor sit amet consectetur adipiscing elit sed do "
                       "eiusmod tempor incididunt ut labore et dolore magna aliqua ");
    QString text;
    text.reserve(size + 128);
    QRandomGenerator random(7);
    while (text.size() < size) {
        const int length = 40 + int(random.bounded(61));
        text += QStringView(words).mid(int(random.bounded(words.size() - length)), length);
        text += u'\n';
    }
    text.truncate(size);
    return text;
}

enum tText
{
    LineOfWords,
    LineOfOneWord,
    FiftyMegabytesOfLines
};

const QString &Text(tText which)
{
    static const QString words = LongLine(true), word = LongLine(false), lines = Lines(50 * MB);
    return which == LineOfWords ? words : which == LineOfOneWord ? word : lines;
}

// A shown view with the caret in the middle of the text.
struct tShownView
{
    explicit tShownView(const benchmark::State &state)
    {
        View.resize(1000, 700);
        View.setWordWrap(state.range(1) != 0);
        View.buffer().SetText(Text(tText(state.range(0))));
        View.show();
        QApplication::processEvents();
        View.setCursorPosition(View.buffer().Length() / 2);
        View.ensureCursorVisible();
        View.viewport()->repaint();
    }
    void Key(Qt::Key key, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&View, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&View, &release);
        View.viewport()->repaint();
    }
    cTextView View;
};

void BM_TypeKey(benchmark::State &state)
{
    tShownView shown(state);
    for (auto _ : state)
        shown.Key(Qt::Key_X, QStringLiteral("x"));
}

void BM_Repaint(benchmark::State &state)
{
    tShownView shown(state);
    for (auto _ : state)
        shown.View.viewport()->repaint();
}

void BM_CaretRightAndDown(benchmark::State &state)
{
    tShownView shown(state);
    for (auto _ : state) {
        shown.Key(Qt::Key_Right);
        shown.Key(Qt::Key_Down);
    }
}

void BM_PageDown(benchmark::State &state)
{
    tShownView shown(state);
    shown.View.setCursorPosition(0);
    for (auto _ : state)
        shown.Key(Qt::Key_PageDown);
}

// Setting the text and showing its first page: the view's share of opening a file.
void BM_SetTextAndPaint(benchmark::State &state)
{
    cTextView view;
    view.resize(1000, 700);
    view.setWordWrap(state.range(1) != 0);
    view.show();
    const QString &text = Text(tText(state.range(0)));
    for (auto _ : state) {
        view.buffer().SetText(text);
        view.viewport()->repaint();
    }
}

// Args: the text, wrapped or not.
void Texts(benchmark::internal::Benchmark *b)
{
    for (const int text : {LineOfWords, LineOfOneWord, FiftyMegabytesOfLines})
        for (const int wrap : {0, 1})
            b->Args({text, wrap});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_TypeKey)->Apply(Texts);
BENCHMARK(BM_Repaint)->Apply(Texts);
BENCHMARK(BM_CaretRightAndDown)->Apply(Texts);
BENCHMARK(BM_PageDown)->Apply(Texts);
BENCHMARK(BM_SetTextAndPaint)->Apply(Texts)->Unit(benchmark::kMillisecond);

} // namespace
