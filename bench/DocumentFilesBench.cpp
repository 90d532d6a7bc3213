// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and saving documents of 10, 50 and 100 MB in each encoding, through
// the real document, against decoding plus QPlainTextEdit::setPlainText alone.
#include "editor/editing/Editors.h"
#include "editor/editing/TextFiles.h"
#include "editor/platform/AnsiCodePage.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

QString SampleText(qsizetype units)
{
    const QString line =
        QString::fromUtf8("The quick brown fox jumps over the lazy dog; ÄÖÜ äöü € 0123456789\r\n");
    QString text;
    text.reserve(units + line.size());
    while (text.size() < units)
        text += line;
    text.truncate(units);
    return text;
}

// A file of about Megabytes in the encoding, made once per case.
QString SampleFile(QTemporaryDir &dir, int megabytes, tTextEncoding encoding)
{
    const QString name = dir.filePath(QStringLiteral("%1-%2.txt").arg(megabytes).arg(int(encoding)));
    if (!QFile::exists(name)) {
        const qsizetype units =
            qsizetype(megabytes) * 1024 * 1024 / (encoding == teUTF8 || encoding == teAnsi ? 1 : 2);
        WriteFileSafely(name, BomTable[encoding], EncodeText(SampleText(units), encoding));
    }
    return name;
}

QTemporaryDir &Dir()
{
    static QTemporaryDir dir;
    return dir;
}

void PeakMemory(benchmark::State &state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_Load(benchmark::State &state)
{
    const auto encoding = tTextEncoding(state.range(1));
    const QString file = SampleFile(Dir(), int(state.range(0)), encoding);
    for (auto _ : state) {
        cEditor document;
        document.LoadFromFile(file);
        benchmark::DoNotOptimize(document.GetTextLen());
    }
    state.SetBytesProcessed(state.iterations() * QFile(file).size());
    PeakMemory(state);
}

void BM_Save(benchmark::State &state)
{
    const auto encoding = tTextEncoding(state.range(1));
    const QString file = SampleFile(Dir(), int(state.range(0)), encoding);
    cEditor document;
    document.LoadFromFile(file);
    const QString target = Dir().filePath(QStringLiteral("saved.txt"));
    for (auto _ : state)
        document.SaveToFile(target, encoding);
    state.SetBytesProcessed(state.iterations() * QFile(file).size());
    PeakMemory(state);
}

// A 50 MB file in a code page of the locale's kind, loaded through the
// document; run one at a time (--benchmark_filter) for a true peak.
void BM_LoadInCodePage(benchmark::State &state)
{
    static const char *const codePages[] = {"WINDOWS-1252", "CP932"};
    const char *codePage = codePages[state.range(0)];
    SetAnsiCodePage(codePage);
    // Kept between runs: making it would count towards the peak.
    const QString name =
        QDir::temp().filePath(QStringLiteral("quorvel-bench-50-%1.txt").arg(QString::fromLatin1(codePage)));
    if (!QFile::exists(name)) {
        const QString line =
            state.range(0) == 0
                ? QString::fromUtf8("The quick brown fox jumps over the lazy dog; ÄÖÜ äöü € 0123\r\n")
                : QString::fromUtf8("いろはにほへと ちりぬるを わかよたれそ つねならむ 0123456789\r\n");
        QString text;
        while (text.size() < 50 * 1024 * 1024 / (state.range(0) == 0 ? 1 : 2))
            text += line;
        WriteFileSafely(name, {}, AnsiEncode(text));
    }
    for (auto _ : state) {
        cEditor document;
        document.LoadFromFile(name);
        benchmark::DoNotOptimize(document.GetTextLen());
    }
    state.SetBytesProcessed(state.iterations() * QFile(name).size());
    state.SetLabel(codePage);
    PeakMemory(state);
    SetAnsiCodePage({});
}
BENCHMARK(BM_LoadInCodePage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// Saving the same 50 MB in that code page after one character typed, the
// check for characters it cannot hold included, against writing its bytes
// with fsync alone.
void BM_SaveInCodePage(benchmark::State &state)
{
    static const char *const codePages[] = {"WINDOWS-1252", "CP932"};
    const char *codePage = codePages[state.range(0)];
    SetAnsiCodePage(codePage);
    const QString name =
        QDir::temp().filePath(QStringLiteral("quorvel-bench-50-%1.txt").arg(QString::fromLatin1(codePage)));
    cEditor document;
    if (QFile::exists(name)) {
        document.LoadFromFile(name);
        document.SetSelTextW(QStringLiteral("x"));
        const QString target = Dir().filePath(QStringLiteral("saved.txt"));
        for (auto _ : state)
            document.SaveToFile(target, teAnsi);
    } else {
        state.SkipWithError("run BM_LoadInCodePage first");
    }
    state.SetLabel(codePage);
    PeakMemory(state);
    SetAnsiCodePage({});
}
BENCHMARK(BM_SaveInCodePage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The floor: decoding the bytes and handing the text to the plain widget.
void BM_DecodeAndSetPlainText(benchmark::State &state)
{
    const QString file = SampleFile(Dir(), int(state.range(0)), teUTF8);
    for (auto _ : state) {
        QPlainTextEdit edit;
        edit.setPlainText(ReadTextFile(file).Text);
        benchmark::DoNotOptimize(edit.document()->characterCount());
    }
    PeakMemory(state);
}

void Sizes(benchmark::internal::Benchmark *b)
{
    for (int megabytes : {10, 50, 100})
        for (int encoding = 0; encoding < TextEncodingCount; ++encoding)
            b->Args({megabytes, encoding});
    b->Unit(benchmark::kMillisecond)->Iterations(1);
}

} // namespace

BENCHMARK(BM_Load)->Apply(Sizes);
BENCHMARK(BM_Save)->Apply(Sizes);
BENCHMARK(BM_DecodeAndSetPlainText)->Arg(10)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);
