// SPDX-License-Identifier: GPL-3.0-or-later
// The decoders a load runs, vector against plain path, in MB/s of input:
// UTF-8 of English prose, of Cyrillic (two-byte sequences between spaces) and
// of CJK (three-byte sequences), UTF-16 big-endian; the line index built
// from the decoded units; and the other way, a buffer's text encoded as a
// save makes it, without the disk.
#include "editor/editing/TextFiles.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/VectorDecode.h"
#include "editor/textengine/TextBuffer.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

constexpr qsizetype Size = 16 << 20;

QByteArray Sample(int kind)
{
    static const char *const lines[] = {
        "The quick brown fox jumps over the lazy dog, and then some more words follow it.\n",
        "\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB6\xD0\xB5 \xD0\xB5\xD1\x89\xD1\x91 \xD1\x8D\xD1"
        "\x82\xD0\xB8\xD1\x85 \xD0\xBC\xD1\x8F\xD0\xB3\xD0\xBA\xD0\xB8\xD1\x85 \xD0\xB1\xD1\x83\xD0\xBB"
        "\xD0\xBE\xD0\xBA.\n",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x96\x87\xE7\xAB\xA0\xE3\x81\xA7\xE3\x81\x99"
        "\xE3\x80\x82\xE4\xB8\xAD\xE6\x96\x87\xE4\xB9\x9F\xE5\x8F\xAF\xE4\xBB\xA5\xE3\x80\x82\n"};
    QByteArray bytes;
    bytes.reserve(Size + 256);
    while (bytes.size() < Size)
        bytes += lines[kind];
    return bytes;
}

template <auto Decode> void BM_Utf8(benchmark::State &state)
{
    const QByteArray bytes = Sample(int(state.range(0)));
    std::vector<char16_t> out(size_t(bytes.size()) + 2);
    for (auto _ : state) {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
        const auto *end = p + bytes.size();
        benchmark::DoNotOptimize(Decode(p, end, end, out.data(), qsizetype(out.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_Utf8<DecodeUtf8Units>)
    ->Name("Utf8/vector")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8<DecodeUtf8UnitsPlain>)
    ->Name("Utf8/plain")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);

template <auto Copy> void BM_Utf16BigEndian(benchmark::State &state)
{
    const QByteArray bytes = Sample(0);
    std::vector<char16_t> out(size_t(bytes.size()) / 2);
    for (auto _ : state) {
        Copy(bytes.constData(), qsizetype(out.size()), true, out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_Utf16BigEndian<CopyUtf16Units>)->Name("Utf16BE/vector")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf16BigEndian<CopyUtf16UnitsPlain>)->Name("Utf16BE/plain")->Unit(benchmark::kMillisecond);

// Decoding into a buffer's load in pieces, as a file is read: the line index
// is built as the pieces come.
void BM_LoadUtf8(benchmark::State &state)
{
    const QByteArray bytes = Sample(int(state.range(0)));
    constexpr qsizetype Piece = 1 << 16;
    for (auto _ : state) {
        cTextBuffer buffer;
        buffer.BeginLoad(bytes.size());
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
        const auto *end = p + bytes.size();
        while (p < end) {
            const qsizetype units = std::min<qsizetype>(Piece, end - p + 4);
            char16_t *room = buffer.LoadRoom(units);
            buffer.CommitLoad(DecodeUtf8Units(p, end, end, room, units));
        }
        buffer.EndLoad();
        benchmark::DoNotOptimize(buffer.LineCount());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_LoadUtf8)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The text of a buffer as a save hands it to the disk, in MB/s of the
// loaded bytes: UTF-8 with its mark, and WINDOWS-1252 (Args 3 and 4: the
// prose again, with CR LF breaks).
void BM_Encode(benchmark::State &state)
{
    QByteArray bytes = Sample(int(state.range(0)) % 3);
    if (state.range(0) >= 3)
        bytes.replace("\n", "\r\n");
    const bool ansi = state.range(1) != 0;
    if (ansi && state.range(0) % 3 != 0) {
        state.SkipWithError("WINDOWS-1252 holds only the prose");
        return;
    }
    cTextBuffer buffer;
    buffer.SetText(QString::fromUtf8(bytes));
    SetAnsiCodePage(ansi ? "WINDOWS-1252" : "");
    const cTextContents contents(buffer, ansi ? teAnsi : teUTF8, {});
    for (auto _ : state) {
        qint64 size = 0;
        contents.Produce([&size](const char *, qsizetype n) { size += n; });
        benchmark::DoNotOptimize(size);
    }
    SetAnsiCodePage({});
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_Encode)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);

} // namespace
