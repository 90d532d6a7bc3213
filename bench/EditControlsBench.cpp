// SPDX-License-Identifier: GPL-3.0-or-later
// The Unicode edit control against the bare Qt widget it is built on: whole
// text in and out, line access, search, and a huge single line.
#include "editor/editing/RichEditEx.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype MB = 1024 * 1024;

// Lines of 40 to 100 characters with CR LF breaks, Size units in all.
QString MakeText(qsizetype size)
{
    static const QString words =
        QStringLiteral("lorem ipsum dolor sit amet consectetur adipiscing elit sed do "
                       "eiusmod tempor incididunt ut labore et dolore magna aliqua ");
    QString text;
    text.reserve(size);
    QRandomGenerator random(7);
    while (text.size() < size) {
        const int length = 40 + int(random.bounded(61));
        const int from = int(random.bounded(words.size() - length));
        text += QStringView(words).mid(from, length);
        text += QLatin1String("\r\n");
    }
    text.truncate(size);
    return text;
}

const QString &Text(qsizetype mb)
{
    static QString ten = MakeText(10 * MB), fifty = MakeText(50 * MB);
    return mb == 10 ? ten : fifty;
}

void SetBytes(benchmark::State &state, qsizetype units)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * units * 2);
}

void BM_SetTextW(benchmark::State &state)
{
    const QString &text = Text(state.range(0));
    cWRichEditEx edit;
    for (auto _ : state)
        edit.SetTextW(text);
    SetBytes(state, text.size());
}

void BM_QtSetPlainText(benchmark::State &state)
{
    const QString &text = Text(state.range(0));
    QPlainTextEdit edit;
    for (auto _ : state)
        edit.setPlainText(text);
    SetBytes(state, text.size());
}

void BM_GetTextW(benchmark::State &state)
{
    const QString &text = Text(state.range(0));
    cWRichEditEx edit;
    edit.SetTextW(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(edit.GetTextW());
    SetBytes(state, text.size());
}

void BM_GetTextViaWindowText(benchmark::State &state)
{
    const QString &text = Text(state.range(0));
    cWRichEditEx edit;
    edit.SetTextW(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(edit.GetTextViaWindowText());
    SetBytes(state, text.size());
}

void BM_QtToPlainText(benchmark::State &state)
{
    const QString &text = Text(state.range(0));
    QPlainTextEdit edit;
    edit.setPlainText(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(edit.toPlainText());
    SetBytes(state, text.size());
}

// One million lines; Get of lines picked at random.
QString MillionLines()
{
    QString text;
    text.reserve(1000000 * 12);
    for (int i = 0; i < 1000000; ++i) {
        text += QString::number(i).rightJustified(9, u'0');
        text += QLatin1String("\r\n");
    }
    return text;
}

void BM_LinesGet(benchmark::State &state)
{
    cWRichEditEx edit;
    edit.SetTextW(MillionLines());
    const cWStrings &lines = edit.WLines();
    QRandomGenerator random(3);
    for (auto _ : state)
        benchmark::DoNotOptimize(lines.Get(int(random.bounded(1000000))));
    state.counters["count"] = lines.GetCount();
}

void BM_QtBlockText(benchmark::State &state)
{
    QPlainTextEdit edit;
    edit.setPlainText(MillionLines());
    QRandomGenerator random(3);
    for (auto _ : state)
        benchmark::DoNotOptimize(edit.document()->findBlockByNumber(int(random.bounded(1000000))).text());
}

void BM_FindMissingWord(benchmark::State &state)
{
    const QString &text = Text(50);
    cWRichEditEx edit;
    edit.SetTextW(text);
    const int options = int(state.range(0));
    const int start = (options & ftBackward) ? edit.GetTextLen() : 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(edit.FindTextW(QStringLiteral("zebra"), start, 0, options));
    SetBytes(state, text.size());
}

// A 10 MB text on one line in a shown control: opening it (set and paint),
// and one edit in its middle.
void ShowWith(cWRichEditEx &edit, bool wrap)
{
    edit.setWordWrap(wrap);
    edit.resize(800, 600);
    edit.show();
    QCoreApplication::processEvents();
}

void BM_SingleLineOpen(benchmark::State &state)
{
    const QString text(10 * MB, QChar(u'x'));
    cWRichEditEx edit;
    ShowWith(edit, state.range(0));
    for (auto _ : state) {
        edit.SetTextW(text);
        QCoreApplication::processEvents();
    }
}

void BM_SingleLineEdit(benchmark::State &state)
{
    const QString text(10 * MB, QChar(u'x'));
    cWRichEditEx edit;
    ShowWith(edit, state.range(0));
    edit.SetTextW(text);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        edit.SetSelStart(int(text.size() / 2));
        edit.SetSelTextW(QStringLiteral("y"));
        QCoreApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_SetTextW)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_QtSetPlainText)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GetTextW)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetTextViaWindowText)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtToPlainText)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LinesGet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QtBlockText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindMissingWord)
    ->Arg(ftMatchCase)
    ->Arg(0)
    ->Arg(ftWholeWord | ftMatchCase)
    ->Arg(ftBackward | ftMatchCase)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleLineOpen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SingleLineEdit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
