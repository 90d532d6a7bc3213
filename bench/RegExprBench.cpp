// SPDX-License-Identifier: GPL-3.0-or-later
// Regular-expression replace-all and search over a document of 10 million
// UTF-16 units: 100 000 lines, one e-mail-like token on each.
#include "editor/editing/RegExpr.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 100000;

const QString &Document()
{
    static const QString text = [] {
        QString result;
        result.reserve(kLines * 100);
        for (int i = 0; i < kLines; ++i) {
            QString line = QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do ");
            line += QStringLiteral("user%1@host%2 ").arg(i % 1000, 4, 10, QLatin1Char('0')).arg(i % 97, 2);
            while (line.size() < 99)
                line += u'.';
            result += line;
            result += u'\r';
        }
        return result;
    }();
    return text;
}

TRegExpr EngineRegex(const QString &pattern, bool caseless = false)
{
    TRegExpr regex(pattern);
    regex.SetModifierM(true);
    regex.SetLineSeparators(QStringLiteral("\r"));
    regex.SetLinePairedSeparator(QString());
    regex.SetModifierI(caseless);
    return regex;
}

void RunReplace(benchmark::State &state, const QString &pattern, const QString &templ, bool caseless = false)
{
    const QString &text = Document();
    TRegExpr regex = EngineRegex(pattern, caseless);
    int count = 0;
    for (auto _ : state) {
        QString result = regex.Replace(text, templ, true, &count);
        benchmark::DoNotOptimize(result);
    }
    state.counters["matches"] = count;
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(char16_t)));
}

void ReplaceLiteral(benchmark::State &state)
{
    RunReplace(state, QStringLiteral("user"), QStringLiteral("member"));
}

void ReplaceGroupsWithTemplate(benchmark::State &state)
{
    RunReplace(state, QStringLiteral("(\\w+)@(\\w+)"), QStringLiteral("$2 at \\U$1"));
}

void ReplaceCaseInsensitiveWordBoundary(benchmark::State &state)
{
    RunReplace(state, QStringLiteral("\\bUSER\\d+\\b"), QStringLiteral("[$&]"), true);
}

void ReplaceLineStarts(benchmark::State &state)
{
    RunReplace(state, QStringLiteral("^"), QStringLiteral("> "));
}

// A search that scans the whole text before it finds its only match.
void FindAtTheEnd(benchmark::State &state)
{
    const QString text = Document() + QStringLiteral("needle");
    TRegExpr regex = EngineRegex(QStringLiteral("ne+dle"), true);
    regex.SetInputString(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(regex.Exec());
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(char16_t)));
}

} // namespace

BENCHMARK(ReplaceLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK(ReplaceGroupsWithTemplate)->Unit(benchmark::kMillisecond);
BENCHMARK(ReplaceCaseInsensitiveWordBoundary)->Unit(benchmark::kMillisecond);
BENCHMARK(ReplaceLineStarts)->Unit(benchmark::kMillisecond);
BENCHMARK(FindAtTheEnd)->Unit(benchmark::kMillisecond);
