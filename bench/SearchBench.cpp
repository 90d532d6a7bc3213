// SPDX-License-Identifier: GPL-3.0-or-later
// Replace all and search through a shown document, against the baseline of
// one regex replace pass plus one SetTextW of its result.
#include "editor/editing/Editors.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/RegExpr.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/platform/MessageBox.h"

#include <QRadioButton>

#include <benchmark/benchmark.h>

namespace {

constexpr int kMatches = 100000;  // one per line of about 100 characters: a 10 MB text
constexpr int kBigLines = 500000; // 50 MB

QString MakeText(int lines, bool withMatches)
{
    QString text;
    text.reserve(qsizetype(lines) * 101);
    for (int i = 0; i < lines; ++i) {
        text += QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod ");
        text += withMatches ? QStringLiteral("quux%1").arg(i % 10) : QStringLiteral("tempus");
        text += QStringLiteral(" incididunt ut labore et dolore\r");
    }
    return text;
}

const QString &TenMegabytes()
{
    static const QString text = MakeText(kMatches, true);
    return text;
}

// A quarter of it, to see that the plain loop grows linearly.
const QString &WithMatches(int matches)
{
    static const QString quarter = MakeText(kMatches / 4, true);
    return matches == kMatches ? TenMegabytes() : quarter;
}

const QString &FiftyMegabytes()
{
    static const QString text = MakeText(kBigLines, false);
    return text;
}

// A document as the user sees it: shown, with a size.
struct tShownDocument
{
    tShownDocument()
    {
        Doc.resize(800, 600);
        Doc.show();
    }
    cMessageBoxAnswerer Answerer{[](const tMessageBoxCall &) { return IDOK; }};
    cEditor Doc;
};

const QString RegexFind = QStringLiteral("quux(\\d)");
const QString RegexTemplate = QStringLiteral("<$1>");

void BM_BaselineReplacePlusSetText(benchmark::State &state)
{
    tShownDocument shown;
    TRegExpr regex(RegexFind);
    regex.SetModifierM(true);
    regex.SetLinePairedSeparator(QString());
    regex.SetLineSeparators(QStringLiteral("\r"));
    int count = 0;
    for (auto _ : state) {
        const QString result = regex.Replace(TenMegabytes(), RegexTemplate, true, &count);
        shown.Doc.SetTextW(result);
    }
    if (count != kMatches)
        state.SkipWithError("wrong number of matches");
}
BENCHMARK(BM_BaselineReplacePlusSetText)->Unit(benchmark::kMillisecond);

void BM_RegexReplaceAllAtOnce(benchmark::State &state)
{
    tShownDocument shown;
    const tSearchRequest request{saReplaceAll, RegexFind, RegexTemplate, soRegex};
    for (auto _ : state) {
        state.PauseTiming();
        shown.Doc.SetTextW(TenMegabytes());
        state.ResumeTiming();
        shown.Doc.RegexReplace(request);
    }
    if (!shown.Answerer.Calls().last().Text.startsWith(QStringLiteral("100000 ")))
        state.SkipWithError("wrong report");
}
BENCHMARK(BM_RegexReplaceAllAtOnce)->Unit(benchmark::kMillisecond);

// The plain Replace command as the user runs it, the dialog answering at once.
void BM_PlainReplaceAll(benchmark::State &state)
{
    tShownDocument shown;
    FormFind()->SetExecutor([](TFormFind &d) {
        d.edwFind->SetTextW(QStringLiteral("quux"));
        d.edwReplace->SetTextW(QStringLiteral("Quuxes"));
        d.rSpecialNone->setChecked(true);
        d.rEntireScope->setChecked(true);
        return TFormFind::mrAll;
    });
    const int matches = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        shown.Doc.SetTextW(WithMatches(matches));
        state.ResumeTiming();
        shown.Doc.Replace();
    }
    FormFind()->SetExecutor(nullptr);
    if (!shown.Answerer.Calls().last().Text.startsWith(QString::number(matches) + u' '))
        state.SkipWithError("wrong report");
    state.SetItemsProcessed(state.iterations() * matches);
}
BENCHMARK(BM_PlainReplaceAll)->Arg(kMatches / 4)->Arg(kMatches)->Unit(benchmark::kMillisecond);

void BM_RegexFindNothingIn50MB(benchmark::State &state)
{
    tShownDocument shown;
    shown.Doc.SetTextW(FiftyMegabytes());
    const tSearchRequest request{saFind, QStringLiteral("quux\\d"), {}, soRegex};
    for (auto _ : state) {
        shown.Doc.SetSelStart(0);
        shown.Doc.RegexFind(request);
    }
}
BENCHMARK(BM_RegexFindNothingIn50MB)->Unit(benchmark::kMillisecond);

// Find Next of a plain word that is not there, ignoring case (the dialog's
// default) and matching it; Arg 2 backward from the end, ignoring case.
void BM_PlainFindNothingIn50MB(benchmark::State &state)
{
    tShownDocument shown;
    shown.Doc.SetTextW(FiftyMegabytes());
    const QString word = QStringLiteral("quux");
    const int length = shown.Doc.GetTextLen();
    for (auto _ : state)
        benchmark::DoNotOptimize(state.range(0) == 2
                                     ? shown.Doc.FindTextW(word, length, length, ftBackward)
                                     : shown.Doc.FindTextW(word, 0, 0, state.range(0) ? ftMatchCase : 0));
}
BENCHMARK(BM_PlainFindNothingIn50MB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
