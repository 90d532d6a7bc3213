// The document's search commands end to end on a real control: plain and
// regex replace all over 20 000 lines, and F3 through a long document.
#include "editor/editing/Editors.h"

#include "editor/editing/dfFind.h"
#include "editor/editing/UnicodeControls.h"
#include "editor/platform/MessageBox.h"

#include <QRadioButton>

#include <benchmark/benchmark.h>

namespace {

constexpr int kLines = 20000;

const QString &Document()
{
    static const QString text = [] {
        QString result;
        for (int i = 0; i < kLines; ++i)
            result += QStringLiteral("Lorem ipsum dolor %1 sit amet, consectetur adipiscing elit\r").arg(i);
        return result;
    }();
    return text;
}

// The dialog answers as if the user had typed the texts and pressed a button.
void UseDialog(const QString &find, const QString &replace, bool regex, int result)
{
    FormFind()->SetExecutor([=](TFormFind &d) {
        d.edwFind->SetTextW(find);
        d.edwReplace->SetTextW(replace);
        (regex ? d.rSpecialRegex : d.rSpecialNone)->setChecked(true);
        d.rEntireScope->setChecked(true);
        return result;
    });
}

void ReplaceAll(benchmark::State &state, const QString &find, const QString &replace, bool regex)
{
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    cEditor doc;
    UseDialog(find, replace, regex, TFormFind::mrAll);
    for (auto _ : state) {
        state.PauseTiming();
        doc.SetTextW(Document());
        state.ResumeTiming();
        doc.Replace();
    }
    FormFind()->SetExecutor(nullptr);
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_PlainReplaceAll(benchmark::State &state)
{
    ReplaceAll(state, QStringLiteral("ipsum"), QStringLiteral("IPSUM"), false);
}
BENCHMARK(BM_PlainReplaceAll)->Unit(benchmark::kMillisecond);

void BM_RegexReplaceAllAtOnce(benchmark::State &state)
{
    ReplaceAll(state, QStringLiteral("dolor (\\d+)"), QStringLiteral("<$1>"), true);
}
BENCHMARK(BM_RegexReplaceAllAtOnce)->Unit(benchmark::kMillisecond);

// F3 from the start to a match near the end of the text.
void BM_FindNextFar(benchmark::State &state)
{
    cMessageBoxAnswerer answerer([](const tMessageBoxCall &) { return IDOK; });
    cEditor doc;
    doc.SetTextW(Document());
    UseDialog(QStringLiteral("dolor %1 ").arg(kLines - 1), {}, false, QDialog::Rejected);
    tSearchRequest request;
    FormFind()->RunDialog(false, false, request);
    for (auto _ : state) {
        doc.SetSelStart(0);
        doc.FindNext(false);
    }
    FormFind()->SetExecutor(nullptr);
}
BENCHMARK(BM_FindNextFar)->Unit(benchmark::kMillisecond);

} // namespace
