// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/PlainFind.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Units whose case folding is not one to one (Kelvin sign, long s, the
// sigmas, the thetas, dotted and dotless i), pairs that fold as one
// character, lone halves, marks and word breaks.
const std::u16string Alphabet[] = {u"a",      u"A",      u"k",      u"K",          u"\u212A",     u"s",
                                   u"S",      u"\u017F", u"\u03C3", u"\u03C2",     u"\u03A3",     u"\u00DF",
                                   u"\u1E9E", u"\u03B8", u"\u03D1", u"\u0398",     u"\u03F4",     u"i",
                                   u"I",      u"\u0130", u"\u0131", u"\U00010400", u"\U00010428", u"\xD801",
                                   u"\xDC00", u"\r",     u"_",      u" "};

QString RandomText(std::mt19937 &random, int pieces)
{
    std::u16string text;
    for (int i = 0; i < pieces; ++i)
        text += Alphabet[std::uniform_int_distribution<size_t>(0, std::size(Alphabet) - 1)(random)];
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

TEST(PlainFind, FindsExactlyWhatTheEngineFindsBothWaysWithAndWithoutCase)
{
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        // Mostly one letter in its case variants, so that places are picked often.
        const QString text = seed % 3 ? RandomText(random, std::uniform_int_distribution<int>(0, 90)(random))
                                      : QString(std::uniform_int_distribution<int>(0, 90)(random), u'k');
        QString needle = RandomText(random, std::uniform_int_distribution<int>(1, 4)(random));
        if (seed % 2 && text.size() > 2) {
            const qsizetype at = std::uniform_int_distribution<qsizetype>(0, text.size() - 2)(random);
            needle = text.mid(at, std::uniform_int_distribution<qsizetype>(1, 5)(random));
        }
        for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " case " << int(cs));
            const cPlainFind finder(needle, cs);
            const QStringMatcher matcher(needle, cs);
            for (qsizetype from = 0; from <= text.size(); ++from) {
                ASSERT_EQ(finder.IndexIn(text, from), matcher.indexIn(text, from)) << "from " << from;
                ASSERT_EQ(finder.LastIndexIn(text, from), QStringView(text).lastIndexOf(needle, from, cs))
                    << "from " << from;
            }
        }
    }
}

TEST(PlainFind, ALetterMatchesEveryUnitThatFoldsToIt)
{
    const cPlainFind::tUnits k = cPlainFind::UnitsMatching(u'k', Qt::CaseInsensitive);
    EXPECT_EQ(std::u16string(k.Unit, size_t(k.Count)), u"Kk\u212A");
    EXPECT_EQ(cPlainFind::UnitsMatching(u'k', Qt::CaseSensitive).Count, 1);
    EXPECT_EQ(cPlainFind::UnitsMatching(u'\xD801', Qt::CaseInsensitive).Count, 0);
}

} // namespace
