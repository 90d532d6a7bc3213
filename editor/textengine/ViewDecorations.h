// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a view draws over its text without touching it: the current line,
// marks for blanks, tabs and line breaks, and every match of the last find
// on the rows shown. Each piece works on what is visible only, so none of
// them costs more on a large file than on a small one.
#include "editor/textengine/TextBuffer.h"

#include <QColor>
#include <QPalette>
#include <QPointF>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QFont;
class QPainter;
class QTextLayout;

// Options a user switches in the View menu.
struct tViewOptions
{
    bool LineNumbers = false;
    bool CurrentLine = false;
    bool Whitespace = false;
    friend bool operator==(const tViewOptions &, const tViewOptions &) = default;
};

// The text of the last find, matched as that find matched it. A pattern
// holding a paragraph mark never matches: matches are looked for line by line.
struct tMatchPattern
{
    QString Text;
    bool MatchCase = false;
    bool WholeWord = false;
    // For a pattern the view cannot match itself (a regular expression): every
    // match in a piece of one line, as (start, end) within the piece.
    std::function<std::vector<std::pair<int, int>>(const QString &piece)> Matcher = {};
    bool IsEmpty() const noexcept { return Text.isEmpty(); }
};

// Matches (start, end) of Pattern that overlap From..To, ascending and
// disjoint, found in the text around that range only.
std::vector<std::pair<int, int>> MatchesAround(const cTextBuffer &buffer, int from, int to,
                                               const tMatchPattern &pattern);

// The faint colour of whitespace marks and the tint of the current line.
QColor WhitespaceColor(const QPalette &palette);
QColor CurrentLineColor(const QPalette &palette);

// Blanks as centred dots and tabs as arrows, for the rows of Layout (drawn
// at Origin) that lie between Top and Bottom.
void DrawWhitespace(QPainter &painter, const QTextLayout &layout, QPointF origin, qreal top, qreal bottom,
                    const QColor &color);

// The name a line's break is shown by: "LF", "CR LF", "CR"; empty for None.
QString BreakMarkText(tLineBreak lineBreak);
// The break's name in a small font, its left (or right, for a right-to-left
// line) edge at At on a row of height RowHeight.
void DrawBreakMark(QPainter &painter, QPointF at, qreal rowHeight, bool rightToLeft, tLineBreak lineBreak,
                   const QFont &font, const QColor &color);
