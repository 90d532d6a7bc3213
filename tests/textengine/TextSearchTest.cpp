// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextSearch.h"

#include "editor/textengine/TextBoundaries.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Letters with and without case (one beyond the BMP), a combining mark, a
// digit, the underscore, blanks, a symbol beyond the BMP and the paragraph mark.
const QString Tokens[] = {
    QStringLiteral("a"),
    QStringLiteral("A"),
    QStringLiteral("b"),
    QStringLiteral("_"),
    QStringLiteral(" "),
    QStringLiteral("1"),
    QStringLiteral("\r"),
    QString::fromUtf16(u"\u00E9"),
    QString::fromUtf16(u"\u00C9"),
    QString::fromUtf16(u"\u0301"),
    QString::fromUtf16(u"\U0001D400"),
    QString::fromUtf16(u"\U0001F600"),
    QStringLiteral("."),
};

QString RandomTokens(std::mt19937 &random, int count)
{
    QString out;
    for (int i = 0; i < count; ++i)
        out += Tokens[random() % std::size(Tokens)];
    return out;
}

// Moves a position off the second half of a surrogate pair.
int OnCharacter(const QString &text, int pos)
{
    return pos > 0 && pos < text.size() && text[pos].isLowSurrogate() ? pos - 1 : pos;
}

char32_t ModelBefore(const QString &text, int pos)
{
    if (pos <= 0)
        return 0;
    if (pos >= 2 && text[pos - 1].isLowSurrogate() && text[pos - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[pos - 2], text[pos - 1]);
    return text[pos - 1].unicode();
}

char32_t ModelAt(const QString &text, int pos)
{
    if (pos >= text.size())
        return 0;
    if (pos + 1 < text.size() && text[pos].isHighSurrogate() && text[pos + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[pos], text[pos + 1]);
    return text[pos].unicode();
}

// Every place tried in turn, in the search's direction.
int NaiveFind(const QString &text, const tPlainPattern &pattern, tSearchRange range, bool backward)
{
    const int n = int(pattern.Text.size());
    const Qt::CaseSensitivity cs = pattern.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    auto matches = [&](int pos) {
        return QStringView(text).sliced(pos, n).compare(pattern.Text, cs) == 0 &&
               (!pattern.WholeWord ||
                (!IsWordChar(ModelBefore(text, pos)) && !IsWordChar(ModelAt(text, pos + n))));
    };
    if (n == 0)
        return -1;
    if (backward) {
        for (int pos = range.Hi - n; pos >= range.Lo; --pos)
            if (matches(pos))
                return pos;
    } else {
        for (int pos = range.Lo; pos + n <= range.Hi; ++pos)
            if (matches(pos))
                return pos;
    }
    return -1;
}

// Replace All as the user would do it by hand: find, replace, search on
// beyond (or before) the replacement. Gives the places in the text as it
// was, ascending, and leaves Text replaced.
std::vector<int> NaiveReplaceAll(QString &text, const tPlainPattern &pattern, const QString &replacement,
                                 tSearchRange range, bool backward)
{
    std::vector<int> places;
    const int n = int(pattern.Text.size()), r = int(replacement.size());
    while (range.Hi > range.Lo) {
        const int at = NaiveFind(text, pattern, range, backward);
        if (at < 0)
            break;
        text.replace(at, n, replacement);
        if (backward) {
            places.insert(places.begin(), at);
            range.Hi = at;
        } else {
            places.push_back(at - int(places.size()) * (r - n));
            range.Lo = at + r;
            range.Hi += r - n;
        }
    }
    return places;
}

// Searches in a text edited at random places, so that the buffer's gap lies
// anywhere (inside a match too), against a search that tries every place of a
// plain string: both directions, with and without case, whole words or not,
// ranges that cut the text anywhere or take all of it, needles across
// paragraph marks; and Replace All's places and result against replacing one
// by one.
TEST(TextSearch, FindsWhatTryingEveryPlaceFinds)
{
    std::mt19937 random(21);
    cTextBuffer buffer;
    QString model;
    int found = 0, wholeWordRejected = 0, crossedTheGap = 0;
    for (int round = 0; round < 20000; ++round) {
        if (round % 500 == 0) {
            model = RandomTokens(random, int(random() % 80));
            buffer.SetText(model);
        }
        // An edit moves the gap to it.
        const int pos = OnCharacter(model, int(random() % (model.size() + 1)));
        int gap = pos;
        if (random() % 3 == 0 && model.size() > 0) {
            const int end = OnCharacter(model, std::min<int>(int(model.size()), pos + int(random() % 4)));
            buffer.Delete(pos, end - pos);
            model.remove(pos, end - pos);
        } else {
            const QString inserted = RandomTokens(random, int(random() % 3));
            buffer.Insert(pos, inserted);
            model.insert(pos, inserted);
            gap += int(inserted.size());
        }
        ASSERT_EQ(buffer.Text(0, buffer.Length()), model);

        const int length = int(model.size());
        tPlainPattern pattern;
        if (random() % 2 && length > 0) {
            // Often a needle across the gap.
            const int near = std::max(0, gap - 1 - int(random() % 4));
            const int from =
                OnCharacter(model, random() % 2 ? std::min(near, length - 1) : int(random() % length));
            const int to = OnCharacter(model, std::min(length, from + 1 + int(random() % 6)));
            pattern.Text = model.mid(from, std::max(to - from, 1));
            if (pattern.Text.size() == 1 && pattern.Text[0].isHighSurrogate())
                pattern.Text = model.mid(from, 2);
        } else {
            pattern.Text = RandomTokens(random, 1 + int(random() % 3));
        }
        pattern.MatchCase = random() % 2;
        pattern.WholeWord = random() % 2;
        tSearchRange range{0, length};
        if (random() % 3) {
            range.Lo = int(random() % (length + 1));
            range.Hi = range.Lo + int(random() % (length - range.Lo + 1));
        }
        const bool backward = random() % 2;
        const QString what = QStringLiteral("round %1: '%2' in '%3' %4..%5%6%7%8")
                                 .arg(round)
                                 .arg(pattern.Text, model)
                                 .arg(range.Lo)
                                 .arg(range.Hi)
                                 .arg(backward ? QStringLiteral(" backward") : QString())
                                 .arg(pattern.MatchCase ? QStringLiteral(" case") : QString())
                                 .arg(pattern.WholeWord ? QStringLiteral(" word") : QString());

        const int expected = NaiveFind(model, pattern, range, backward);
        ASSERT_EQ(FindPlain(buffer, pattern, range, backward), expected) << what.toStdString();
        found += expected >= 0;
        if (pattern.WholeWord && expected < 0)
            wholeWordRejected +=
                NaiveFind(model, {pattern.Text, pattern.MatchCase, false}, range, backward) >= 0;
        crossedTheGap += expected >= 0 && expected < gap && expected + pattern.Text.size() > gap;

        const QString replacement = RandomTokens(random, int(random() % 3));
        QString replaced = model;
        const std::vector<int> places = NaiveReplaceAll(replaced, pattern, replacement, range, backward);
        ASSERT_EQ(FindEachForReplacement(buffer, pattern, replacement, range, backward), places)
            << what.toStdString() << " replaced by '" << replacement.toStdString() << "'";
        if (random() % 4 == 0 && !places.empty()) {
            std::vector<tReplacement> replacements;
            for (const int at : places)
                replacements.push_back({at, int(pattern.Text.size()), replacement});
            buffer.ReplaceMany(replacements);
            model = replaced;
            ASSERT_EQ(buffer.Text(0, buffer.Length()), model) << what.toStdString();
        }
    }
    // The rounds reached what they are meant to reach.
    EXPECT_GT(found, 5000);
    EXPECT_GT(wholeWordRejected, 300);
    EXPECT_GT(crossedTheGap, 300);
}

} // namespace
