// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextBoundaries.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// How far around a position the boundary finders look.
constexpr int GraphemeReach = 64;
constexpr int WordReach = 1024;

// A boundary of the segmentation where a word begins.
bool StartsWord(const QString &window, qsizetype at)
{
    if (at >= window.size())
        return false;
    const QChar c = window[at];
    if (c.isHighSurrogate() && at + 1 < window.size() && window[at + 1].isLowSurrogate())
        return IsWordChar(QChar::surrogateToUcs4(c, window[at + 1]));
    return IsWordChar(c.unicode());
}

} // namespace

bool IsWordChar(char32_t c) noexcept
{
    return c == U'_' || QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

char32_t CharBefore(const cTextBuffer &buffer, int pos)
{
    if (pos <= 0 || pos > buffer.Length())
        return 0;
    const char16_t low = buffer.At(pos - 1);
    if (QChar::isLowSurrogate(low) && pos >= 2 && QChar::isHighSurrogate(buffer.At(pos - 2)))
        return QChar::surrogateToUcs4(buffer.At(pos - 2), low);
    return low;
}

char32_t CharAt(const cTextBuffer &buffer, int pos)
{
    if (pos < 0 || pos >= buffer.Length())
        return 0;
    const char16_t high = buffer.At(pos);
    if (QChar::isHighSurrogate(high) && pos + 1 < buffer.Length() &&
        QChar::isLowSurrogate(buffer.At(pos + 1)))
        return QChar::surrogateToUcs4(high, buffer.At(pos + 1));
    return high;
}

int NextGrapheme(const cTextBuffer &buffer, int pos)
{
    const int length = buffer.Length();
    if (pos >= length)
        return length;
    const int line = buffer.LineFromPosition(pos);
    const int lineEnd = buffer.LineEnd(line);
    if (pos >= lineEnd)
        return pos + 1;
    const int windowEnd = std::min(lineEnd, pos + GraphemeReach);
    const QString window = buffer.Text(pos, windowEnd);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    const qsizetype next = finder.toNextBoundary();
    if (next > 0)
        return pos + int(next);
    return windowEnd;
}

int PreviousGrapheme(const cTextBuffer &buffer, int pos)
{
    if (pos <= 0)
        return 0;
    pos = std::min(pos, buffer.Length());
    const int lineStart = buffer.LineStart(buffer.LineFromPosition(pos));
    if (pos == lineStart)
        return pos - 1;
    const int windowStart = std::max(lineStart, pos - GraphemeReach);
    const QString window = buffer.Text(windowStart, pos);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, window);
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return windowStart + int(std::max<qsizetype>(previous, 0));
}

int PreviousCodePoint(const cTextBuffer &buffer, int pos)
{
    if (pos <= 0)
        return 0;
    const int lineStart = buffer.LineStart(buffer.LineFromPosition(pos));
    if (pos == lineStart)
        return pos - 1;
    if (pos - 2 >= lineStart && QChar::isLowSurrogate(buffer.At(pos - 1)) &&
        QChar::isHighSurrogate(buffer.At(pos - 2)))
        return pos - 2;
    return pos - 1;
}

int NextWordStart(const cTextBuffer &buffer, int pos)
{
    const int length = buffer.Length();
    if (pos >= length)
        return length;
    const int lineEnd = buffer.LineEnd(buffer.LineFromPosition(pos));
    if (pos >= lineEnd)
        return pos + 1;
    for (int from = pos;;) {
        const int windowEnd = std::min(lineEnd, from + WordReach);
        const QString window = buffer.Text(from, windowEnd);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, window);
        for (qsizetype b = finder.toNextBoundary(); b > 0 && b < window.size(); b = finder.toNextBoundary()) {
            if (from + b > pos && StartsWord(window, b))
                return from + int(b);
        }
        if (windowEnd == lineEnd)
            return lineEnd;
        from = windowEnd - 1;
    }
}

int PreviousWordStart(const cTextBuffer &buffer, int pos)
{
    if (pos <= 0)
        return 0;
    pos = std::min(pos, buffer.Length());
    const int lineStart = buffer.LineStart(buffer.LineFromPosition(pos));
    if (pos <= lineStart)
        return pos - 1;
    for (int to = pos;;) {
        const int windowStart = std::max(lineStart, to - WordReach);
        const QString window = buffer.Text(windowStart, to);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, window);
        finder.toEnd();
        for (qsizetype b = finder.toPreviousBoundary(); b >= 0; b = finder.toPreviousBoundary()) {
            if (b == 0 && windowStart > lineStart)
                break;
            if (windowStart + b < pos && StartsWord(window, b))
                return windowStart + int(b);
            if (b == 0)
                break;
        }
        if (windowStart == lineStart)
            return lineStart;
        to = windowStart + 1;
    }
}

// A boundary found at a window's edge may only be the edge: the search goes
// on in the next window, one unit back so that a real one there is not missed.
std::pair<int, int> WordAt(const cTextBuffer &buffer, int pos)
{
    const int line = buffer.LineFromPosition(pos);
    const int lineStart = buffer.LineStart(line), lineEnd = buffer.LineEnd(line);
    if (lineStart == lineEnd)
        return {pos, pos};
    pos = std::min(pos, lineEnd - 1);
    int start = pos;
    for (;;) {
        const int windowStart = std::max(lineStart, start - WordReach);
        const int windowEnd = std::min(lineEnd, start + GraphemeReach);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, buffer.Text(windowStart, windowEnd));
        finder.setPosition(start - windowStart);
        const qsizetype b = finder.isAtBoundary() ? start - windowStart : finder.toPreviousBoundary();
        start = windowStart + int(std::max<qsizetype>(b, 0));
        if (b > 0 || windowStart == lineStart)
            break;
    }
    int end = pos;
    for (int from = pos;;) {
        const int windowStart = std::max(lineStart, from - GraphemeReach);
        const int windowEnd = std::min(lineEnd, from + WordReach);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, buffer.Text(windowStart, windowEnd));
        finder.setPosition(from - windowStart);
        const qsizetype b = finder.toNextBoundary();
        end = b < 0 ? windowEnd : windowStart + int(b);
        if (end < windowEnd || windowEnd == lineEnd)
            break;
        from = windowEnd - 1;
    }
    return {start, end};
}

std::pair<int, int> LineAt(const cTextBuffer &buffer, int pos)
{
    const int line = buffer.LineFromPosition(pos);
    const int end = line + 1 < buffer.LineCount() ? buffer.LineStart(line + 1) : buffer.Length();
    return {buffer.LineStart(line), end};
}
