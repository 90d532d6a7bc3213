// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/EditorStatus.h"

#include "editor/platform/Application.h"
#include "editor/platform/Resources.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>

namespace {

const QString OverwriteTexts[2] = {QStringLiteral("INS"), QStringLiteral("OVR")};

} // namespace

// The panels sit in one permanent widget that spans the bar: a temporary
// message of the bar itself is never drawn over them, and one given to the
// bar (a status tip) goes to the message panel instead.
cEditorStatusBar::cEditorStatusBar(QWidget *parent) : QStatusBar(parent)
{
    auto *strip = new QWidget(this);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < PanelCount; ++i) {
        auto *label = new QLabel(strip);
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        label->setAlignment(i == FileNamePanel ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter);
        FPanels[i] = label;
        if (i == FileNamePanel) {
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            layout->addWidget(label, 1);
        } else {
            layout->addWidget(label);
            SetPanelWidth(i, 0);
        }
    }
    addPermanentWidget(strip, 1);
    connect(this, &QStatusBar::messageChanged, this, &cEditorStatusBar::ShowText);
}

int cEditorStatusBar::TextWidth(const QString &text) const
{
    const QWidget *window = ApplicationMainWindow();
    return (window ? window->fontMetrics() : fontMetrics()).horizontalAdvance(text);
}

void cEditorStatusBar::SetPanelWidth(int index, int width)
{
    FWidths[index] = width;
    FPanels[index]->setFixedWidth(width);
}

void cEditorStatusBar::AdjustPanelWidths()
{
    FPanelMargin = TextWidth(QStringLiteral("    ")) + 2 * FPanels[PositionPanel]->frameWidth();
    FFileNameSuffix = QStringLiteral("     ");
    SetPanelWidth(ModifiedPanel, TextWidth(QStringLiteral("*")) + FPanelMargin);
    SetPanelWidth(OverwritePanel, TextWidth(OverwriteTexts[1]) + FPanelMargin);
    ShowOverwrite(false);
}

void cEditorStatusBar::ShowPosition(int line, int column)
{
    const QString text = Format(QStringLiteral("%d : %d"), {line, column});
    FPanels[PositionPanel]->setText(text);
    // A screen reader says what a panel means, not its bare marks.
    FPanels[PositionPanel]->setAccessibleName(Format(QStringLiteral("Line %d, column %d"), {line, column}));
    SetPanelWidth(PositionPanel, TextWidth(text) + FPanelMargin);
}

void cEditorStatusBar::ShowModified(bool modified)
{
    FPanels[ModifiedPanel]->setText(modified ? QStringLiteral("*") : QString());
    FPanels[ModifiedPanel]->setAccessibleName(modified ? QStringLiteral("Modified")
                                                       : QStringLiteral("Not modified"));
}

void cEditorStatusBar::ShowOverwrite(bool overwrite)
{
    FPanels[OverwritePanel]->setText(OverwriteTexts[overwrite ? 1 : 0]);
    FPanels[OverwritePanel]->setAccessibleName(overwrite ? QStringLiteral("Overwrite")
                                                         : QStringLiteral("Insert"));
}

void cEditorStatusBar::ShowText(const QString &text)
{
    if (FPinCount >= 1)
        return;
    if (text.isEmpty()) {
        SetPanelWidth(MessagePanel, 0);
        return;
    }
    SetPanelWidth(MessagePanel, TextWidth(text) + FPanelMargin);
    FPanels[MessagePanel]->setText(text);
}

void cEditorStatusBar::ShowFileName(const QString &fileName)
{
    FPanels[FileNamePanel]->setText(fileName + FFileNameSuffix);
}

void cEditorStatusBar::ClearPanels()
{
    for (int i = 0; i < PanelCount; ++i)
        if (i != MessagePanel) {
            FPanels[i]->clear();
            FPanels[i]->setAccessibleName(QString());
        }
}

void cEditorStatusBar::ShowProgress(const QString &caption, int percent)
{
    QLabel *panel = FPanels[MessagePanel];
    if (!FProgress) {
        FProgress = new QProgressBar(panel);
        FProgress->setRange(0, 100);
        FProgress->setTextVisible(true);
        FProgress->setAlignment(Qt::AlignCenter);
    }
    if (!FProgress->isVisible()) {
        FWidthBeforeProgress = FWidths[MessagePanel];
        // Room for the caption, the percentage and some bar beside them.
        SetPanelWidth(
            MessagePanel,
            std::max(FWidthBeforeProgress, TextWidth(caption + QStringLiteral(" 100%")) + 6 * FPanelMargin));
        // The layout is not run while the work goes on: place the panel's
        // strip by hand so the bar has its size now.
        if (QWidget *strip = panel->parentWidget(); strip && strip->layout())
            strip->layout()->activate();
        FProgress->show();
    }
    FProgress->setGeometry(panel->contentsRect());
    FProgress->setFormat(caption + QStringLiteral(" %p%"));
    FProgress->setValue(percent);
    FProgress->repaint();
}

void cEditorStatusBar::HideProgress()
{
    if (!FProgress || !FProgress->isVisible())
        return;
    FProgress->hide();
    SetPanelWidth(MessagePanel, FWidthBeforeProgress);
}

QString cEditorStatusBar::PanelText(int index) const
{
    return FPanels.at(index)->text();
}

int cEditorStatusBar::PanelWidth(int index) const
{
    return index == FileNamePanel ? FPanels[index]->width() : FWidths.at(index);
}
