// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/Progress.h"

#include "editor/editing/EditorRegex.h"
#include "editor/editing/EditorStatus.h"
#include "editor/editing/TextFiles.h"
#include "editor/platform/Application.h"
#include "editor/textengine/TextBuffer.h"

#include <QFile>
#include <QMainWindow>
#include <QProgressBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

// What the bar showed each time the work looked at the clock.
struct tSeen
{
    bool Visible;
    QString Text;
    int Value;
};

// A shown window whose status bar takes the bars, and a clock that moves
// Tick milliseconds each time it is read: no real time decides anything.
struct tRig
{
    explicit tRig(qint64 tick)
    {
        bar = new cEditorStatusBar(&window);
        window.setStatusBar(bar);
        SetApplicationMainWindow(&window);
        bar->AdjustPanelWidths();
        bar->ShowText(QStringLiteral("Ready"));
        window.resize(800, 300);
        window.show();
        widthBefore = bar->PanelWidth(cEditorStatusBar::MessagePanel);
        cProgress::SetStatusBar(bar);
        cProgress::SetClock([this, tick] {
            const QProgressBar *shown = bar->ProgressBar();
            if (shown && shown->isVisible())
                seen.push_back({true, shown->text(), shown->value()});
            else
                seen.push_back({false, {}, 0});
            return now += tick;
        });
        EXPECT_TRUE(dir.isValid());
    }
    ~tRig()
    {
        cProgress::SetClock({});
        cProgress::SetStatusBar(nullptr);
        SetApplicationMainWindow(nullptr);
    }
    QString File(const QString &name, qsizetype lines)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (qsizetype i = 0; i < lines; ++i)
            bytes += "line " + QByteArray::number(i) + " of a file long enough to load in several windows\n";
        file.write(bytes);
        return path;
    }
    bool BarGone() const
    {
        return (!bar->ProgressBar() || !bar->ProgressBar()->isVisible()) &&
               bar->PanelWidth(cEditorStatusBar::MessagePanel) == widthBefore &&
               bar->PanelText(cEditorStatusBar::MessagePanel) == QStringLiteral("Ready");
    }
    // The values the bar showed with a caption, in order.
    std::vector<int> Shown(const QString &caption) const
    {
        std::vector<int> values;
        for (const tSeen &s : seen)
            if (s.Visible && s.Text.startsWith(caption))
                values.push_back(s.Value);
        return values;
    }

    QTemporaryDir dir;
    QMainWindow window;
    cEditorStatusBar *bar;
    int widthBefore = 0;
    qint64 now = 0;
    std::vector<tSeen> seen;
};

bool Rising(const std::vector<int> &values)
{
    return std::is_sorted(values.begin(), values.end());
}

TEST(Progress, LongLoadAndSaveShowTheirBarWhileTheyRunAndNotAfter)
{
    tRig rig(cProgress::DelayMs / 2);
    const QString path = rig.File(QStringLiteral("long.txt"), 60000);
    cTextBuffer buffer;
    ReadTextFileInto(path, buffer);
    EXPECT_TRUE(rig.BarGone());
    const std::vector<int> loading = rig.Shown(QStringLiteral("Opening long.txt "));
    ASSERT_GE(loading.size(), 2u);
    EXPECT_TRUE(Rising(loading));
    EXPECT_GT(loading.back(), 50);
    EXPECT_LE(loading.back(), 100);

    rig.seen.clear();
    const QString copy = rig.dir.filePath(QStringLiteral("copy.txt"));
    WriteFileSafely(copy, cTextContents(buffer, teUTF8, {}, tMark::Without));
    EXPECT_TRUE(rig.BarGone());
    const std::vector<int> saving = rig.Shown(QStringLiteral("Saving copy.txt "));
    ASSERT_GE(saving.size(), 2u);
    EXPECT_TRUE(Rising(saving));
    QFile original(path), written(copy);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && written.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), written.readAll());
}

TEST(Progress, WorkShorterThanTheDelayShowsNoBar)
{
    tRig rig(0);
    const QString path = rig.File(QStringLiteral("short.txt"), 60000);
    cTextBuffer buffer;
    ReadTextFileInto(path, buffer);
    WriteFileSafely(rig.dir.filePath(QStringLiteral("copy.txt")),
                    cTextContents(buffer, teUTF8, {}, tMark::Without));
    {
        cProgress work(QStringLiteral("Change Case"), 10);
        for (int i = 1; i <= 10; ++i)
            work.Step(i);
        EXPECT_FALSE(work.Shown());
    }
    ASSERT_FALSE(rig.seen.empty());
    for (const tSeen &s : rig.seen)
        EXPECT_FALSE(s.Visible);
    EXPECT_TRUE(rig.BarGone());
    EXPECT_FALSE(rig.bar->ProgressBar());
}

class cFindDocument : public cEditRegex
{
public:
    void HighlightFound(bool) override {}
};

// Finds that go a long way show how far they got: a pattern's, and a plain
// word's backward from the end, as the forward one does.
TEST(Progress, LongFindsByPatternAndBackwardShowTheirBarRising)
{
    tRig rig(cProgress::DelayMs);
    QString text;
    while (text.size() < (qsizetype(10) << 20))
        text += QStringLiteral("some words of a long text, ");
    cFindDocument doc;
    doc.SetTextW(text + QStringLiteral("quux1"));
    doc.RegexFind({saFind, QStringLiteral("quux\\d"), {}, soRegex});
    EXPECT_EQ(doc.GetSelStart() + doc.GetSelLength(), text.size() + 5);
    EXPECT_TRUE(rig.BarGone());
    std::vector<int> shown = rig.Shown(QStringLiteral("Find "));
    ASSERT_GE(shown.size(), 2u);
    EXPECT_TRUE(Rising(shown));
    EXPECT_GT(shown.back(), 50);

    rig.seen.clear();
    const int length = doc.GetTextLen();
    {
        cProgress progress(QStringLiteral("Find"), length);
        EXPECT_EQ(doc.FindTextW(QStringLiteral("absent"), length, length, ftBackward), -1);
    }
    EXPECT_TRUE(rig.BarGone());
    shown = rig.Shown(QStringLiteral("Find "));
    ASSERT_GE(shown.size(), 2u);
    EXPECT_TRUE(Rising(shown));
    EXPECT_GT(shown.back(), 50);
}

// An inner piece of work shows its own bar, and when it ends the outer one
// comes back at its next step.
TEST(Progress, NestedWorkShowsTheInnerCaptionThenTheOuter)
{
    tRig rig(cProgress::DelayMs);
    {
        cProgress outer(QStringLiteral("Play Macro on All Documents"), 2);
        outer.Step(0);
        {
            cProgress inner(QStringLiteral("Replace All"), 100);
            inner.Step(40);
            EXPECT_TRUE(rig.bar->ProgressBar()->text().startsWith(QStringLiteral("Replace All 40")));
        }
        EXPECT_TRUE(rig.BarGone());
        outer.Step(1);
        EXPECT_TRUE(rig.bar->ProgressBar()->isVisible());
        EXPECT_TRUE(
            rig.bar->ProgressBar()->text().startsWith(QStringLiteral("Play Macro on All Documents 50")));
    }
    EXPECT_TRUE(rig.BarGone());
}

} // namespace
