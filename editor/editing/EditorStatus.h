// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's status bar: caret position, modified mark, insert or
// overwrite, a message, and the focused document's file name.
#include <QStatusBar>
#include <QString>

#include <array>

class QLabel;
class QProgressBar;

class cEditorStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    enum tPanelIndex
    {
        PositionPanel,
        ModifiedPanel,
        OverwritePanel,
        MessagePanel,
        FileNamePanel,
        PanelCount
    };

    explicit cEditorStatusBar(QWidget *parent = nullptr);

    // Sizes the fixed panels from the main window's font; shows "INS".
    void AdjustPanelWidths();
    // 1-based line and column.
    void ShowPosition(int line, int column);
    void ShowModified(bool modified);
    void ShowOverwrite(bool overwrite);
    // Nothing while a recording notice is pinned; an empty text only hides the panel.
    void ShowText(const QString &text);
    void ShowFileName(const QString &fileName);
    // Empties every panel but the message; widths stay.
    void ClearPanels();
    // A bar over the message panel for long work, painted at once; hiding it
    // gives the panel back as it was.
    void ShowProgress(const QString &caption, int percent);
    void HideProgress();
    QProgressBar *ProgressBar() const { return FProgress; }
    void BeginRecording() noexcept { ++FPinCount; }
    void EndRecording() noexcept { --FPinCount; }

    QLabel *Panel(int index) const { return FPanels.at(index); }
    QString PanelText(int index) const;
    // The set width; the file-name panel takes the rest of the bar.
    int PanelWidth(int index) const;
    int PanelMargin() const noexcept { return FPanelMargin; }
    const QString &FileNameSuffix() const noexcept { return FFileNameSuffix; }
    int PinCount() const noexcept { return FPinCount; }

private:
    int TextWidth(const QString &text) const;
    void SetPanelWidth(int index, int width);

    std::array<QLabel *, PanelCount> FPanels{};
    std::array<int, PanelCount> FWidths{};
    int FPanelMargin = 0;
    QProgressBar *FProgress = nullptr;
    int FWidthBeforeProgress = 0;
    QString FFileNameSuffix;
    int FPinCount = 0;
};
