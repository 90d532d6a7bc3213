// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditorStatus.h"

#include "editor/editing/RichEditEx.h"
#include "editor/platform/Application.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>

#include <gtest/gtest.h>

namespace {

// A main window whose font differs from the bar's, so that widths show which
// one was measured.
struct tWindow
{
    tWindow()
    {
        QFont font = window.font();
        font.setPointSize(font.pointSize() + 9);
        window.setFont(font);
        bar = new cEditorStatusBar(&window);
        QFont small = font;
        small.setPointSize(6);
        bar->setFont(small);
        window.setStatusBar(bar);
        SetApplicationMainWindow(&window);
        bar->AdjustPanelWidths();
    }
    ~tWindow() { SetApplicationMainWindow(nullptr); }
    int Width(const QString &text) const { return window.fontMetrics().horizontalAdvance(text); }

    QMainWindow window;
    cEditorStatusBar *bar;
};

TEST(StatusBar, FreshBarHasNoMarginAndZeroWidthPanels)
{
    cEditorStatusBar bar;
    EXPECT_EQ(bar.PanelMargin(), 0);
    EXPECT_EQ(bar.FileNameSuffix(), QString());
    EXPECT_EQ(bar.PanelWidth(cEditorStatusBar::PositionPanel), 0);
    EXPECT_EQ(bar.PanelWidth(cEditorStatusBar::MessagePanel), 0);
    EXPECT_EQ(bar.Panel(cEditorStatusBar::FileNamePanel)->alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(bar.Panel(cEditorStatusBar::PositionPanel)->alignment(), Qt::AlignCenter);
}

TEST(StatusBar, AdjustSizesFixedPanelsFromTheMainWindowFont)
{
    tWindow w;
    const int margin = w.Width(QStringLiteral("    ")) + 2 * w.bar->Panel(0)->frameWidth();
    EXPECT_EQ(w.bar->PanelMargin(), margin);
    EXPECT_EQ(w.bar->FileNameSuffix(), QStringLiteral("     "));
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::ModifiedPanel), w.Width(QStringLiteral("*")) + margin);
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::OverwritePanel), w.Width(QStringLiteral("OVR")) + margin);
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::OverwritePanel), QStringLiteral("INS"));
}

TEST(StatusBar, CaretAtTheStartShowsOneOne)
{
    tWindow w;
    cWRichEditEx edit;
    edit.SetTextW(QStringLiteral("text\r\nmore"));
    w.bar->ShowPosition(edit.GetCaretLine() + 1, edit.GetCaretColumn() + 1);
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::PositionPanel), QStringLiteral("1 : 1"));
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::PositionPanel),
              w.Width(QStringLiteral("1 : 1")) + w.bar->PanelMargin());
    w.bar->ShowPosition(12, 345);
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::PositionPanel), QStringLiteral("12 : 345"));
}

TEST(StatusBar, MarksAndFileName)
{
    tWindow w;
    w.bar->ShowModified(true);
    w.bar->ShowOverwrite(true);
    w.bar->ShowFileName(QStringLiteral("/tmp/<b>a.txt"));
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::ModifiedPanel), QStringLiteral("*"));
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::OverwritePanel), QStringLiteral("OVR"));
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::FileNamePanel), QStringLiteral("/tmp/<b>a.txt     "));
    EXPECT_EQ(w.bar->Panel(cEditorStatusBar::FileNamePanel)->textFormat(), Qt::PlainText);
    w.bar->ShowModified(false);
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::ModifiedPanel), QString());
}

TEST(StatusBar, EmptyTextOnlyHidesTheMessage)
{
    tWindow w;
    w.bar->ShowText(QStringLiteral("Opens a file"));
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::MessagePanel),
              w.Width(QStringLiteral("Opens a file")) + w.bar->PanelMargin());
    w.bar->ShowText(QString());
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::MessagePanel), 0);
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::MessagePanel), QStringLiteral("Opens a file"));
}

TEST(StatusBar, RecordingPinKeepsOtherTextsOut)
{
    tWindow w;
    w.bar->ShowText(QStringLiteral("Recording"));
    w.bar->BeginRecording();
    w.bar->ShowText(QStringLiteral("a menu hint"));
    w.bar->showMessage(QStringLiteral("a status tip")); // what a hovered action sends
    w.bar->ShowText(QString());
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::MessagePanel), QStringLiteral("Recording"));
    EXPECT_GT(w.bar->PanelWidth(cEditorStatusBar::MessagePanel), 0);
    w.bar->EndRecording();
    w.bar->ShowText(QString());
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::MessagePanel), 0);
    EXPECT_EQ(w.bar->PinCount(), 0);
}

TEST(StatusBar, StatusTipsReachTheMessagePanel)
{
    tWindow w;
    w.bar->showMessage(QStringLiteral("Saves the document"));
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::MessagePanel), QStringLiteral("Saves the document"));
    w.bar->clearMessage();
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::MessagePanel), 0);
}

TEST(StatusBar, ClearPanelsKeepsMessageAndWidths)
{
    tWindow w;
    w.bar->ShowPosition(3, 4);
    w.bar->ShowModified(true);
    w.bar->ShowFileName(QStringLiteral("name"));
    w.bar->ShowText(QStringLiteral("message"));
    const int positionWidth = w.bar->PanelWidth(cEditorStatusBar::PositionPanel);
    w.bar->ClearPanels();
    for (int i : {0, 1, 2, 4})
        EXPECT_EQ(w.bar->PanelText(i), QString()) << i;
    EXPECT_EQ(w.bar->PanelText(cEditorStatusBar::MessagePanel), QStringLiteral("message"));
    EXPECT_EQ(w.bar->PanelWidth(cEditorStatusBar::PositionPanel), positionWidth);
}

} // namespace
