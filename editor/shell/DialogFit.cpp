// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/DialogFit.h"

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QLayout>

#include <algorithm>

namespace {

// The window manager draws the caption beside an icon and a few buttons,
// each about a text line high and a half wide.
constexpr int TitleBarButtons = 8;

void Fit(QDialog &dialog, QSize design)
{
    QLayout *layout = dialog.layout();
    if (!layout)
        return;
    layout->activate();
    const QSize needed = layout->totalMinimumSize().expandedTo(layout->totalSizeHint());
    const QFontMetrics metrics(dialog.font());
    const int title = metrics.horizontalAdvance(dialog.windowTitle()) + TitleBarButtons * metrics.height();
    dialog.setFixedSize(std::max({design.width(), needed.width(), title}),
                        std::max(design.height(), needed.height()));
}

class cRefit : public QObject
{
public:
    cRefit(QDialog &dialog, QSize design) : QObject(&dialog), FDialog(dialog), FDesign(design) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto type = event->type();
        if (watched == &FDialog &&
            (type == QEvent::FontChange || type == QEvent::StyleChange || type == QEvent::WindowTitleChange))
            Fit(FDialog, FDesign);
        return false;
    }

private:
    QDialog &FDialog;
    QSize FDesign;
};

} // namespace

void FitDialogToFont(QDialog &dialog, QSize design)
{
    if (!dialog.findChild<cRefit *>(QString(), Qt::FindDirectChildrenOnly))
        dialog.installEventFilter(new cRefit(dialog, design));
    Fit(dialog, design);
}
