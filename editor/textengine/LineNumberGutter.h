// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The strip left of a text view that numbers its lines. The view hands it
// the lines whose first row it painted, so the gutter numbers what is on
// screen and nothing else, and a wrapped line gets its number once.
#include <QWidget>

#include <vector>

struct tNumberedRow
{
    int Line = 0; // from 0
    int Y = 0;    // top of the line's first row, in viewport coordinates
    friend bool operator==(const tNumberedRow &, const tNumberedRow &) = default;
};

class cLineNumberGutter : public QWidget
{
    Q_OBJECT
public:
    explicit cLineNumberGutter(QWidget *parent);

    // Repaints only when something shown changed.
    void SetRows(std::vector<tNumberedRow> rows, int rowHeight, int currentLine);
    const std::vector<tNumberedRow> &Rows() const noexcept { return FRows; }
    // Wide enough for the highest number of a text of LineCount lines.
    int WidthFor(int lineCount) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<tNumberedRow> FRows;
    int FRowHeight = 1;
    int FCurrentLine = -1;
};
