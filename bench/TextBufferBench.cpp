// SPDX-License-Identifier: GPL-3.0-or-later
// The text buffer alone: loading, edits in one place and scattered, line
// lookups, the contiguous view the regex engine reads, and writing out.
#include "editor/textengine/TextBuffer.h"
#include "editor/textengine/UndoRecord.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr qsizetype kMegabyte = 1 << 20;

// Lines of 20 to 120 characters, LF and now and then CR LF.
const QString &Lines(qsizetype units)
{
    static QString text;
    if (text.size() >= units)
        return text;
    text.clear();
    text.reserve(units);
    std::mt19937 random(1);
    static const QString words[] = {QStringLiteral("lorem "), QStringLiteral("ipsum "),
                                    QStringLiteral("dolor "), QStringLiteral("sit "),
                                    QStringLiteral("amet, "), QStringLiteral("the ")};
    while (text.size() < units) {
        const int length = std::uniform_int_distribution<int>(20, 120)(random);
        const qsizetype start = text.size();
        while (text.size() - start < length)
            text += words[random() % std::size(words)];
        text += random() % 16 ? QStringLiteral("\n") : QStringLiteral("\r\n");
    }
    return text;
}

void Load(cTextBuffer &buffer, QStringView text, qsizetype piece)
{
    buffer.BeginLoad(text.size());
    for (qsizetype at = 0; at < text.size(); at += piece)
        buffer.AppendLoad(text.mid(at, std::min(piece, text.size() - at)));
    buffer.EndLoad();
}

void BM_Load50MegabytesInPieces(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    for (auto _ : state) {
        cTextBuffer buffer;
        Load(buffer, text, 64 * 1024);
        benchmark::DoNotOptimize(buffer.LineCount());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_Load50MegabytesInPieces)->Unit(benchmark::kMillisecond)->Iterations(3);

// A decoder writing straight into the buffer's storage.
void BM_Load50MegabytesIntoItsRoom(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    for (auto _ : state) {
        cTextBuffer buffer;
        buffer.BeginLoad(text.size());
        for (qsizetype at = 0; at < text.size(); at += 64 * 1024) {
            const qsizetype n = std::min<qsizetype>(64 * 1024, text.size() - at);
            std::copy_n(text.utf16() + at, n, buffer.LoadRoom(n));
            buffer.CommitLoad(n);
        }
        buffer.EndLoad();
        benchmark::DoNotOptimize(buffer.LineCount());
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_Load50MegabytesIntoItsRoom)->Unit(benchmark::kMillisecond)->Iterations(3);

// One character per iteration at a random place: the gap and the line
// index's pending shift travel each time. Arg: megabytes of text.
void BM_InsertAtRandomPlaces(benchmark::State &state)
{
    const QString &text = Lines(state.range(0) * kMegabyte);
    cTextBuffer buffer;
    Load(buffer, QStringView(text).left(state.range(0) * kMegabyte), 64 * 1024);
    std::mt19937 random(2);
    for (auto _ : state) {
        const int pos = std::uniform_int_distribution<int>(0, buffer.Length())(random);
        buffer.Insert(pos, random() % 32 ? u"x" : u"\n");
    }
}
BENCHMARK(BM_InsertAtRandomPlaces)->Arg(1)->Iterations(100000);
BENCHMARK(BM_InsertAtRandomPlaces)->Arg(50)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// Typing in the middle of a large text, a new line now and then, with the
// undo record listening as in the control.
void BM_TypeAtOnePlace(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    cTextBuffer buffer;
    cUndoRecord record(buffer);
    Load(buffer, text, 64 * 1024);
    int pos = buffer.Length() / 2;
    int typed = 0;
    for (auto _ : state) {
        buffer.Insert(pos++, ++typed % 60 ? u"x" : u"\n");
        if (typed % 60 == 0)
            record.BreakTyping();
    }
    state.counters["undo steps"] = record.UndoSteps();
}
BENCHMARK(BM_TypeAtOnePlace)->Iterations(100000);

// Lines looked up at random places of 50 MB of lines.
void BM_LineLookups(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    cTextBuffer buffer;
    Load(buffer, text, 64 * 1024);
    buffer.Insert(buffer.Length() / 3, u"edit leaves a pending shift\n");
    std::mt19937 random(3);
    for (auto _ : state) {
        const int pos = std::uniform_int_distribution<int>(0, buffer.Length())(random);
        const int line = buffer.LineFromPosition(pos);
        benchmark::DoNotOptimize(buffer.LineStart(line) + buffer.LineLength(line));
    }
}
BENCHMARK(BM_LineLookups);

// The regex engine asks for the whole text after an edit somewhere in it.
void BM_ContiguousAfterEdits(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    cTextBuffer buffer;
    Load(buffer, text, 64 * 1024);
    std::mt19937 random(4);
    for (auto _ : state) {
        const int pos = std::uniform_int_distribution<int>(0, buffer.Length())(random);
        buffer.Insert(pos, u"abc");
        benchmark::DoNotOptimize(buffer.Contiguous().data());
    }
}
BENCHMARK(BM_ContiguousAfterEdits)->Unit(benchmark::kMillisecond);

// Cutting 10 MB out of 50 MB, then undoing and redoing it.
void BM_UndoRedoOfALargeCut(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    cTextBuffer buffer;
    cUndoRecord record(buffer);
    Load(buffer, text, 64 * 1024);
    for (auto _ : state) {
        buffer.Delete(buffer.Length() / 3, 10 * kMegabyte);
        record.Undo();
        record.Redo();
        record.Undo();
    }
}
BENCHMARK(BM_UndoRedoOfALargeCut)->Unit(benchmark::kMillisecond);

// Saving: each line with its own break, in pieces.
void BM_Write50Megabytes(benchmark::State &state)
{
    const QString &text = Lines(50 * kMegabyte);
    cTextBuffer buffer;
    Load(buffer, text, 64 * 1024);
    for (auto _ : state) {
        qsizetype written = 0;
        buffer.ForEachPiece([&written](QStringView piece) { written += piece.size(); });
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_Write50Megabytes)->Unit(benchmark::kMillisecond);

// Resident memory a 200 MB load adds, per unit and per line, with the text
// made piece by piece so that no whole copy of it exists. Run it alone
// (--benchmark_filter=Resident): the process's earlier peaks do not matter,
// but its current size does.
qint64 ResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

void BM_ResidentMemoryOfA200MegabyteLoad(benchmark::State &state)
{
    const QString &piece = Lines(kMegabyte);
    const qsizetype units = 200 * kMegabyte;
    for (auto _ : state) {
        const qint64 before = ResidentBytes();
        cTextBuffer buffer;
        buffer.BeginLoad(units);
        for (qsizetype at = 0; at < units; at += piece.size())
            buffer.AppendLoad(piece);
        buffer.EndLoad();
        const double added = double(ResidentBytes() - before);
        state.counters["bytes per unit"] = added / buffer.Length();
        state.counters["lines"] = buffer.LineCount();
        state.counters["bytes per line beyond 2 per unit"] =
            (added - 2.0 * buffer.Length()) / buffer.LineCount();
    }
}
BENCHMARK(BM_ResidentMemoryOfA200MegabyteLoad)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
