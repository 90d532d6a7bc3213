// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain search in a buffer's text, without a view: a needle with or without
// case, as a whole word or anywhere, forward or backward within a range, and
// the places a replace-all replaces. The buffer holds a paragraph mark as CR,
// which a CR in the needle matches. The text is read where it is stored, so
// a search never moves the buffer's gap.
#include "editor/textengine/TextBuffer.h"

#include <QString>

#include <functional>
#include <vector>

struct tPlainPattern
{
    QString Text;
    bool MatchCase = false;
    // No word character (see IsWordChar) touches the match on either side.
    bool WholeWord = false;
};

// A match lies wholly within Lo..Hi.
struct tSearchRange
{
    int Lo = 0;
    int Hi = 0;

    friend bool operator==(const tSearchRange &, const tSearchRange &) = default;
};

// A find's range given as a start and a length: forward Start..Start+Length,
// backward Start-Length..Start; a Length below 1 runs to the end of the text
// in the search's direction. Clamped to the text.
[[nodiscard]] tSearchRange FindRange(int textLength, int start, int length, bool backward) noexcept;

enum class tSearchScope : quint8
{
    WholeText,
    Selection, // an empty selection searches as FromCaret does
    FromCaret  // from the selection's start on; backward, up to it
};
[[nodiscard]] tSearchRange ScopeRange(tSearchScope scope, bool backward, int selStart, int selEnd,
                                      int textLength) noexcept;

// Hears now and then how far a long search got: the units searched so far,
// in its direction.
using tSearchProgress = std::function<void(int position)>;

// The first place in Range where Pattern stands (the last, when Backward), or -1.
[[nodiscard]] int FindPlain(const cTextBuffer &buffer, const tPlainPattern &pattern, tSearchRange range,
                            bool backward, const tSearchProgress &progress = {});

// The places FindPlain finds one after another, ascending, when each is
// replaced by Replacement and the next find starts beyond it (forward) or
// before it (backward): one pass over the text as it is, where a replacement
// changes only what the next find sees next to it.
[[nodiscard]] std::vector<int> FindEachForReplacement(const cTextBuffer &buffer, const tPlainPattern &pattern,
                                                      const QString &replacement, tSearchRange range,
                                                      bool backward, const tSearchProgress &progress = {});

// Whether no word character touches Start..End on either side.
[[nodiscard]] bool StandsAsWord(const cTextBuffer &buffer, int start, int end);
