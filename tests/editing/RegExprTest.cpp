// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RegExpr.h"

#include "editor/editing/Progress.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <optional>

namespace {

// The document's configuration: CR alone separates lines, ^ and $ work per line.
TRegExpr EngineRegex(const QString &pattern, bool caseless = false)
{
    TRegExpr regex(pattern);
    regex.SetModifierM(true);
    regex.SetLineSeparators(QStringLiteral("\r"));
    regex.SetLinePairedSeparator(QString());
    regex.SetModifierI(caseless);
    return regex;
}

// 1-based position of the first match, -1 for none.
int FirstMatch(TRegExpr regex, const QString &input)
{
    regex.SetInputString(input);
    return regex.Exec() ? regex.MatchPos(0) : -1;
}

int FirstMatch(const QString &pattern, const QString &input, bool caseless = false)
{
    return FirstMatch(EngineRegex(pattern, caseless), input);
}

bool Matches(const QString &pattern, const QString &input, bool caseless = false)
{
    return FirstMatch(pattern, input, caseless) > 0;
}

QString ReplaceAll(const QString &pattern, const QString &input, const QString &templ, int *count = nullptr)
{
    return EngineRegex(pattern).Replace(input, templ, true, count);
}

// --- dialect -----------------------------------------------------------------

TEST(RegExprDialect, DefaultModifiersAreThoseOfTheDialect)
{
    TRegExpr regex(QStringLiteral("^b.c$"));
    EXPECT_FALSE(regex.ModifierI());
    EXPECT_FALSE(regex.ModifierM());
    regex.SetInputString(QStringLiteral("b\rc"));
    EXPECT_TRUE(regex.Exec()) << "s is on: the dot takes a line separator";
    regex.SetInputString(QStringLiteral("a\rb\rc"));
    EXPECT_FALSE(regex.Exec()) << "m is off: ^ only at the start";
    regex.SetExpression(QStringLiteral("(?m)^b$"));
    regex.SetInputString(QStringLiteral("a\nb\r\nc"));
    EXPECT_EQ(regex.Exec() ? regex.MatchPos(0) : -1, 3) << "by default LF and CR LF separate lines too";
}

TEST(RegExprDialect, DotMatchesLineSeparatorsUnlessSIsOff)
{
    EXPECT_TRUE(Matches(QStringLiteral("a.b"), QStringLiteral("a\rb")));
    EXPECT_TRUE(Matches(QStringLiteral("a.b"), QStringLiteral("a\nb")));
    EXPECT_TRUE(Matches(QStringLiteral("a.b"), QString::fromUtf16(u"a\0b", 3)));
    EXPECT_FALSE(Matches(QStringLiteral("(?-s)a.b"), QStringLiteral("a\rb")));
    EXPECT_TRUE(Matches(QStringLiteral("(?-s)a.b"), QStringLiteral("a\nb"))) << "LF is no separator";
}

TEST(RegExprDialect, AnchorsMeetCarriageReturnOnly)
{
    struct tCase
    {
        const char16_t *Pattern;
        const char16_t *Input;
        bool Multiline;
        int Expected;
    };
    const tCase cases[] = {
        {u"^b", u"a\rb", true, 3},   {u"^b", u"a\nb", true, -1},   {u"^b", u"a\rb", false, -1},
        {u"a$", u"a\rb", true, 1},   {u"a$", u"a\nb", true, -1},   {u"a$", u"a\rb", false, -1},
        {u"a$", u"a\r", true, 1},    {u"a$", u"a\r", false, -1},   {u"a$", u"a", false, 1},
        {u"a\r$", u"a\r", false, 1}, {u"^b", u"a\r\nb", true, -1},
    };
    for (const tCase &c : cases) {
        TRegExpr regex = EngineRegex(QString::fromUtf16(c.Pattern));
        regex.SetModifierM(c.Multiline);
        EXPECT_EQ(FirstMatch(std::move(regex), QString::fromUtf16(c.Input)), c.Expected)
            << QString::fromUtf16(c.Pattern).toStdString() << " m=" << c.Multiline;
    }
}

TEST(RegExprDialect, EmptyLastLineIsALineForBothAnchors)
{
    int count = 0;
    EXPECT_EQ(ReplaceAll(QStringLiteral("^"), QStringLiteral("a\rb\r"), QStringLiteral(">"), &count),
              QStringLiteral(">a\r>b\r>"));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ReplaceAll(QStringLiteral("$"), QStringLiteral("a\rb\r"), QStringLiteral("<"), &count),
              QStringLiteral("a<\rb<\r<"));
    EXPECT_EQ(count, 3);
}

// Each shorthand, its negation and both inside a class must agree, with and
// without case-insensitivity.
void ExpectShorthand(char16_t letter, const QString &members, const QString &others)
{
    const QString set = QStringLiteral("\\") + QChar(letter);
    const QString negated = QStringLiteral("\\") + QChar(letter).toUpper();
    for (const bool caseless : {false, true}) {
        for (const QChar c : members + others) {
            const bool member = members.contains(c);
            const std::string what = set.toStdString() + " U+" +
                                     QString::number(c.unicode(), 16).toStdString() +
                                     (caseless ? " (?i)" : "");
            EXPECT_EQ(Matches(set, c, caseless), member) << what;
            EXPECT_EQ(Matches(negated, c, caseless), !member) << what;
            EXPECT_EQ(Matches(u'[' + set + u']', c, caseless), member) << what;
            EXPECT_EQ(Matches(u'[' + negated + u']', c, caseless), !member) << what;
            EXPECT_EQ(Matches(QStringLiteral("[^") + set + u']', c, caseless), !member) << what;
        }
    }
}

TEST(RegExprDialect, ShorthandsAreTheAsciiSets)
{
    ExpectShorthand(u'w', QStringLiteral("09akszAZ_"),
                    QStringLiteral(" -`{\u00e9\u00df\u0414\u0663") + QChar(0xdce9));
    ExpectShorthand(u's', QStringLiteral(" \t\n\r\f"), QStringLiteral("\v\u00a0\u2028a"));
    ExpectShorthand(u'd', QStringLiteral("07"), QStringLiteral("a\u0663\uff11"));
}

TEST(RegExprDialect, WordBoundariesFollowTheAsciiWordSet)
{
    EXPECT_EQ(FirstMatch(QStringLiteral("\\bla"), QStringLiteral("\u00e9la")), 2);
    EXPECT_EQ(FirstMatch(QStringLiteral("\\bcat\\b"), QStringLiteral("concatenate cat")), 13);
    EXPECT_EQ(FirstMatch(QStringLiteral("\\Bla"), QStringLiteral("xla")), 2);
    EXPECT_EQ(FirstMatch(QStringLiteral("\\Bla"), QStringLiteral(" la")), -1);
    EXPECT_EQ(FirstMatch(QStringLiteral("[\\b]"), QStringLiteral("a\bb")), 2)
        << "in a class \\b is backspace";
}

TEST(RegExprDialect, CaseInsensitivityFoldsUnicodeCaseOnlyWithModifierI)
{
    const std::pair<const char16_t *, const char16_t *> pairs[] = {
        {u"abc", u"xABC"},
        {u"\u00e4rger", u"x\u00c4RGER"},
        {u"\u043f\u0440\u0438\u0432\u0435\u0442", u"x\u041f\u0420\u0418\u0412\u0415\u0422"},
        {u"[\u0430-\u044f]+", u"x\u041f\u0420\u0418"},
    };
    for (const auto &[pattern, input] : pairs) {
        EXPECT_EQ(FirstMatch(QString::fromUtf16(pattern), QString::fromUtf16(input), true), 2)
            << QString::fromUtf16(pattern).toStdString();
        EXPECT_EQ(FirstMatch(QString::fromUtf16(pattern), QString::fromUtf16(input), false), -1)
            << QString::fromUtf16(pattern).toStdString();
    }
}

// The engine folds back-references by ASCII outside UTF mode; under (?i)
// they must fold as the letters of the pattern do, whatever the form.
TEST(RegExprDialect, CaselessBackReferencesFoldUnicodeCase)
{
    const std::pair<const char16_t *, const char16_t *> pairs[] = {
        {u"(\u00e4)\\1", u"x\u00e4\u00c4"},
        {u"(a)\\1", u"xaA"},
        {u"(\u03c3\u0434)\\g1", u"x\u03c3\u0434\u03a3\u0414"},
        {u"(\u00e9)\\g{1}", u"x\u00e9\u00c9"},
        {u"(\u00e9)(b)\\g{-2}", u"x\u00e9b\u00c9"},
        {u"(?<n>\u00fc)\\k<n>", u"x\u00fc\u00dc"},
        {u"(?<n>\u00fc)\\k{n}\\k'n'(?P=n)\\g{n}", u"x\u00fc\u00dc\u00fc\u00dc\u00fc"},
        {u"(?:(\u00f6)|(\u00e4))\\1?\\2+", u"x\u00e4\u00c4\u00e4"},
        {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(\u00f1)\\10", u"xabcdefghi\u00f1\u00d1"},
    };
    for (const auto &[pattern, input] : pairs) {
        const QString p = QString::fromUtf16(pattern);
        const QString text = QString::fromUtf16(input);
        TRegExpr regex = EngineRegex(p, true);
        regex.SetInputString(text);
        ASSERT_TRUE(regex.Exec()) << p.toStdString();
        EXPECT_EQ(regex.MatchPos(0), 2) << p.toStdString();
        EXPECT_EQ(regex.MatchLen(0), text.size() - 1) << p.toStdString();
        EXPECT_EQ(FirstMatch(p, text, false), -1) << p.toStdString();
    }
    EXPECT_EQ(FirstMatch(QStringLiteral("(?i:(\u00e4)\\1)"), QStringLiteral("x\u00e4\u00c4")), 2)
        << "caseless by an inline modifier";
    // What a reference does not match stays unmatched: another letter, a
    // group that did not take part, a reference running past the end, and
    // the case-sensitive part of a pattern.
    EXPECT_FALSE(Matches(QStringLiteral("(\u00e4)\\1"), QStringLiteral("\u00e4\u00f6"), true));
    EXPECT_FALSE(Matches(QStringLiteral("(x)?a\\1"), QStringLiteral("a"), true));
    EXPECT_FALSE(Matches(QStringLiteral("(\u00e4\u00e4)\\1"), QStringLiteral("\u00e4\u00e4\u00c4"), true));
    EXPECT_FALSE(Matches(QStringLiteral("(\u00e4)(?-i)\\1"), QStringLiteral("\u00e4\u00c4"), true));
    // A reference tried at one length only: the rest of the pattern cannot
    // make it take more.
    EXPECT_EQ(
        FirstMatch(QStringLiteral("(\u00e4)\\1b"), QStringLiteral("\u00e4\u00c4xb \u00e4\u00c4b"), true), 6);
    EXPECT_EQ(ReplaceAll(QStringLiteral("(?i)(\\w)\\1"), QStringLiteral("aAbcC\u00e9\u00c9"),
                         QStringLiteral("<$1>")),
              QStringLiteral("<a>b<c>\u00e9\u00c9"));
}

// A shorthand cannot end or begin a range: the hyphen beside it is itself.
TEST(RegExprDialect, HyphenBesideAClassShorthandIsLiteral)
{
    EXPECT_TRUE(Matches(QStringLiteral("^[\\w-a]$"), QStringLiteral("-")));
    EXPECT_FALSE(Matches(QStringLiteral("^[\\w-a]$"), QStringLiteral("`")));
    EXPECT_FALSE(Matches(QStringLiteral("[\\s-x]"), QStringLiteral("A")));
    EXPECT_TRUE(Matches(QStringLiteral("^[\\s-x]+$"), QStringLiteral(" -x")));
    EXPECT_EQ(FirstMatch(QStringLiteral("[\\w-.]+"), QStringLiteral(" a-b.c")), 2);
    EXPECT_TRUE(Matches(QStringLiteral("^[%-\\d]+$"), QStringLiteral("%-5")));
    EXPECT_FALSE(Matches(QStringLiteral("[%-\\d]"), QStringLiteral("&")));
    EXPECT_TRUE(Matches(QStringLiteral("^[\\D-\\S]$"), QStringLiteral("-")));
    EXPECT_TRUE(Matches(QStringLiteral("^[\\W-]$"), QStringLiteral("-")));
    // An escaped hyphen and a range of plain characters stay as they were.
    EXPECT_TRUE(Matches(QStringLiteral("^[a\\-\\d]$"), QStringLiteral("-")));
    EXPECT_FALSE(Matches(QStringLiteral("[a-c]"), QStringLiteral("-")));
    EXPECT_TRUE(Matches(QStringLiteral("^[\\d a-c]+$"), QStringLiteral("1 b")));
}

TEST(RegExprDialect, InlineModifiersIncludingGreedy)
{
    TRegExpr regex = EngineRegex(QStringLiteral("(?-g)a+"));
    regex.SetInputString(QStringLiteral("aaa"));
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.MatchLen(0), 1);
    regex.SetExpression(QStringLiteral("(?-g)(?g:a+)"));
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.MatchLen(0), 3);

    EXPECT_TRUE(Matches(QStringLiteral("(?i)abc"), QStringLiteral("ABC")));
    EXPECT_FALSE(Matches(QStringLiteral("(?-i)abc"), QStringLiteral("ABC"), true));
    EXPECT_TRUE(Matches(QStringLiteral("(?r)abc"), QStringLiteral("abc")));
}

// The rewrite of the shorthands must not touch what only looks like one.
TEST(RegExprDialect, ShorthandsAreRecognisedOnlyWhereTheyAreShorthands)
{
    EXPECT_TRUE(Matches(QStringLiteral("\\Q\\d\\E"), QStringLiteral("\\d")));
    EXPECT_FALSE(Matches(QStringLiteral("\\Q\\d\\E"), QStringLiteral("5")));
    EXPECT_TRUE(Matches(QStringLiteral("\\\\d"), QStringLiteral("\\d")));
    EXPECT_TRUE(Matches(QStringLiteral("[\\]\\d]"), QStringLiteral("]")));
    EXPECT_TRUE(Matches(QStringLiteral("[]\\d]"), QStringLiteral("7")));
    EXPECT_TRUE(Matches(QStringLiteral("[[:alpha:]\\d]x"), QStringLiteral("5x")));
    EXPECT_TRUE(Matches(QStringLiteral("(?#[)\\d"), QStringLiteral("5")));
    // An x-mode comment ends at the separator; the [ in it opens no class.
    EXPECT_TRUE(Matches(QStringLiteral("(?x) a # note [\r \\d"), QStringLiteral("a5")));
    EXPECT_FALSE(Matches(QStringLiteral("(?x) a # note [\r \\d"), QStringLiteral("a-")));
}

TEST(RegExprDialect, LoneSurrogatesAreCharacters)
{
    const QString input = QStringLiteral("ca") + QChar(0xdce9) + QStringLiteral("f,x");
    TRegExpr regex = EngineRegex(QStringLiteral("a.f"));
    regex.SetInputString(input);
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.MatchPos(0), 2);
    EXPECT_EQ(regex.MatchLen(0), 3);
    EXPECT_EQ(ReplaceAll(QStringLiteral("[^,]+"), input, QStringLiteral("-")), QStringLiteral("-,-"));
}

// --- matches and groups ----------------------------------------------------------

TEST(RegExprMatch, PositionsAreOneBasedAndMissingGroupsMinusOne)
{
    struct tCase
    {
        const char16_t *Input;
        int Count;
        int Pos1, Len1, Pos2;
    };
    const tCase cases[] = {
        {u"x123", 2, 2, 1, 4},
        {u"x23", 2, -1, -1, 3},
        {u"x12", 1, 2, 1, -1},
        {u"x2", 0, -1, -1, -1},
    };
    TRegExpr regex(QStringLiteral("(1)?2(3)?"));
    for (const tCase &c : cases) {
        regex.SetInputString(QString::fromUtf16(c.Input));
        ASSERT_TRUE(regex.Exec());
        EXPECT_EQ(regex.SubExprMatchCount(), c.Count);
        EXPECT_EQ(regex.MatchPos(1), c.Pos1);
        EXPECT_EQ(regex.MatchLen(1), c.Len1);
        EXPECT_EQ(regex.MatchPos(2), c.Pos2);
    }
    regex.SetInputString(QStringLiteral("4"));
    EXPECT_FALSE(regex.Exec());
    EXPECT_EQ(regex.SubExprMatchCount(), -1);
    EXPECT_EQ(regex.MatchPos(0), -1);
    EXPECT_EQ(regex.MatchLen(0), -1);
}

TEST(RegExprMatch, WholeMatchAndItsText)
{
    TRegExpr regex(QStringLiteral("a(b)"));
    regex.SetInputString(QStringLiteral("xxab"));
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.MatchPos(0), 3);
    EXPECT_EQ(regex.MatchLen(0), 2);
    EXPECT_EQ(regex.Match(0), QStringLiteral("ab"));
    EXPECT_EQ(regex.Match(1), QStringLiteral("b"));
    EXPECT_EQ(regex.MatchPos(2), -1);
    EXPECT_EQ(regex.MatchPos(-1), -1);
    regex.SetInputString(QStringLiteral("xxab"));
    EXPECT_EQ(regex.MatchPos(0), -1) << "a new input forgets the match";
}

TEST(RegExprMatch, ExecPosAndExecNextWalkTheMatches)
{
    TRegExpr regex(QStringLiteral("\\d+"));
    regex.SetInputString(QStringLiteral("a1b22c333"));
    std::vector<std::pair<int, int>> found;
    for (bool ok = regex.Exec(); ok; ok = regex.ExecNext())
        found.emplace_back(regex.MatchPos(0), regex.MatchLen(0));
    EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{2, 1}, {4, 2}, {7, 3}}));

    ASSERT_TRUE(regex.ExecPos(5));
    EXPECT_EQ(regex.MatchPos(0), 5);
    EXPECT_FALSE(regex.ExecPos(0));
    EXPECT_FALSE(regex.ExecPos(11));
    EXPECT_FALSE(regex.ExecNext()) << "no current match";

    regex.SetExpression(QStringLiteral("(?<=a)b"));
    regex.SetInputString(QStringLiteral("ab"));
    ASSERT_TRUE(regex.ExecPos(2)) << "look-behind sees the text before the offset";
    EXPECT_EQ(regex.MatchPos(0), 2);
}

// A search that shows its progress tries a stretch of start places at a
// time. What it finds must be what one search of the whole text finds, for
// matches across the stretches' ends, context on either side, and the
// forms that a fresh start would change (\G, verbs that end a search).
TEST(RegExprMatch, ASearchShowingItsProgressFindsWhatAWholeSearchFinds)
{
    QString text;
    while (text.size() < 300000)
        text += QStringLiteral("filler text ");
    const auto plant = [&text](qsizetype at, const QString &what) { text.replace(at, what.size(), what); };
    for (qsizetype end = 65536; end < text.size(); end += 65536) {
        plant(end - 3, QStringLiteral("abbbc"));     // across the end
        plant(end - 40, QStringLiteral("\rline\r")); // a line of its own
        plant(end + 20, QStringLiteral("ÉéZ"));
    }
    plant(3 * 65536 - 1, QStringLiteral("xyz")); // its look-behind before the end
    // Each where the stretch after the one before begins.
    for (qsizetype at = 65536; at < text.size(); at += 65537)
        plant(at, QStringLiteral("Q"));
    plant(10, QStringLiteral("ac"));
    plant(200000, QStringLiteral("ab"));
    const std::pair<QString, bool> patterns[] = {
        {QStringLiteral("ab+c"), true},       {QStringLiteral("(?<=x)yz"), true},
        {QStringLiteral("^line$"), true},     {QStringLiteral("\\bline\\b"), true},
        {QStringLiteral("(?i)(é)\\1"), true}, {QStringLiteral("(?=Z)"), true},
        {QStringLiteral("\\Gb"), false},      {QStringLiteral("a(*COMMIT)b"), false},
        {QStringLiteral("Q"), true},          {QStringLiteral("qqq"), false},
    };
    for (const auto &[pattern, found] : patterns) {
        const auto all = [&, &pattern = pattern](bool withProgress) {
            std::optional<cProgress> progress;
            if (withProgress)
                progress.emplace(QStringLiteral("Find"), text.size());
            TRegExpr regex = EngineRegex(pattern);
            regex.SetInputString(text);
            std::vector<std::pair<int, int>> matches;
            for (bool ok = regex.Exec(); ok; ok = regex.ExecNext())
                matches.emplace_back(regex.MatchPos(0), regex.MatchLen(0));
            return matches;
        };
        const std::vector<std::pair<int, int>> whole = all(false);
        EXPECT_EQ(all(true), whole) << pattern.toStdString();
        EXPECT_EQ(!whole.empty(), found) << pattern.toStdString();
    }
}

TEST(RegExprMatch, ChangingExpressionOrModifierRecompiles)
{
    TRegExpr regex(QStringLiteral("a"));
    regex.SetInputString(QStringLiteral("AbB"));
    EXPECT_FALSE(regex.Exec());
    regex.SetModifierI(true);
    EXPECT_TRUE(regex.Exec());
    regex.SetExpression(QStringLiteral("b"));
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.MatchPos(0), 2);
}

// --- substitution templates -----------------------------------------------

TEST(RegExprTemplate, EveryEscapeAndReference)
{
    struct tCase
    {
        const char16_t *Template;
        const char16_t *Expected;
    };
    const tCase cases[] = {
        {u"$2 $1", u"world HELLO"},
        {u"$&", u"HELLO world"},
        {u"$0!", u"HELLO world!"},
        {u"${1}0", u"HELLO0"},
        {u"$10", u"HELLO0"},
        {u"\\$1", u"$1"},
        {u"\\\\", u"\\"},
        {u"\\\\$2", u"\\world"},
        {u"$", u"$"},
        {u"a$", u"a$"},
        {u"$x", u"$x"},
        {u"${x}", u"${x}"},
        {u"${}", u"${}"},
        {u"${1", u"${1"},
        {u"a\\nb", u"a\rb"},
        {u"\\t", u"t"},
        {u"end\\", u"end\\"},
        {u"\\U$2", u"WORLD"},
        {u"\\u$2 $2", u"World world"},
        {u"\\L$1 $2", u"hello world"},
        {u"\\l$1", u"hELLO"},
        {u"\\U\\l$1 $2", u"hELLO WORLD"},
        {u"\\u\u00e9", u"\u00c9"},
    };
    TRegExpr regex(QStringLiteral("(\\w+) (\\w+)"));
    regex.SetInputString(QStringLiteral("HELLO world"));
    ASSERT_TRUE(regex.Exec());
    for (const tCase &c : cases)
        EXPECT_EQ(regex.Substitute(QString::fromUtf16(c.Template)), QString::fromUtf16(c.Expected))
            << QString::fromUtf16(c.Template).toStdString();
}

TEST(RegExprTemplate, GroupsBeyondNineAndGroupsThatDidNotTakePart)
{
    TRegExpr regex(QStringLiteral("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(x)?"));
    regex.SetInputString(QStringLiteral("abcdefghijkl"));
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.Substitute(QStringLiteral("${12}")), QStringLiteral("l"));
    EXPECT_EQ(regex.Substitute(QStringLiteral("$12")), QStringLiteral("a2"));
    EXPECT_EQ(regex.Substitute(QStringLiteral("[${13}]")), QStringLiteral("[]"));
    EXPECT_EQ(regex.Substitute(QStringLiteral("\\u${13}$2")), QStringLiteral("B"))
        << "a case change waits for the next character";
}

// Every form Substitute expands passes the check; a reference to a group the
// pattern lacks fails it, and Substitute and Replace, at its template position.
TEST(RegExprTemplate, CheckAcceptsWhatTheSubstitutionAcceptsAndPlacesErrors)
{
    TRegExpr regex = EngineRegex(QStringLiteral("(\\w+) (x)?"));
    for (const char16_t *templ : {u"${1}", u"${1}0", u"\\u$1", u"\\U$1", u"\\l$1", u"\\L$1", u"$0$&$2", u"(",
                                  u"$x${x}${", u"end\\", u"\\$9"})
        EXPECT_NO_THROW(regex.CheckTemplate(QString::fromUtf16(templ)))
            << QString::fromUtf16(templ).toStdString();
    const std::pair<const char16_t *, int> faults[] = {
        {u"$3", 0}, {u"ab${3}", 2}, {u"\\u$1 $9", 5}, {u"${99999999999}", 0}};
    regex.SetInputString(QStringLiteral("ab "));
    ASSERT_TRUE(regex.Exec());
    for (const auto &[templ, offset] : faults) {
        const QString t = QString::fromUtf16(templ);
        try {
            regex.CheckTemplate(t);
            ADD_FAILURE() << "accepted: " << t.toStdString();
        } catch (const ERegExpr &e) {
            EXPECT_EQ(e.ErrorOffset(), offset) << t.toStdString();
            EXPECT_FALSE(e.Message().isEmpty());
        }
        EXPECT_THROW(regex.Substitute(t), ERegExpr) << t.toStdString();
        EXPECT_THROW(regex.Replace(QStringLiteral("ab "), t, true), ERegExpr) << t.toStdString();
    }
    EXPECT_EQ(regex.Replace(QStringLiteral("ab "), QStringLiteral("$3"), false), QStringLiteral("$3"))
        << "a literal replacement has no references";
    EXPECT_THROW(TRegExpr(QStringLiteral("a(")).CheckTemplate(QStringLiteral("x")), ERegExpr);
}

// --- replace all -----------------------------------------------------------

TEST(RegExprReplace, ReplacesEveryMatchAndCountsThem)
{
    struct tCase
    {
        const char16_t *Pattern, *Input, *Template, *Expected;
        int Count;
    };
    const tCase cases[] = {
        {u"a+", u"caaab aa", u"x", u"cxb x", 2},
        {u"x*", u"abc", u"-", u"-a-b-c-", 4},
        {u"a*", u"baaac", u"-", u"-b--c-", 4},
        {u"x*", u"", u"-", u"-", 1},
        {u"z", u"abc", u"-", u"abc", 0},
        {u"(\\w+)@(\\w+)", u"me@host, you@there", u"${2}:$1", u"host:me, there:you", 2},
        {u"^a", u"aaa\ra", u"b", u"baa\rb", 2},
        {u"\r", u"a\rb\r", u"\\n\\n", u"a\r\rb\r\r", 2},
    };
    for (const tCase &c : cases) {
        int count = -1;
        EXPECT_EQ(ReplaceAll(QString::fromUtf16(c.Pattern), QString::fromUtf16(c.Input),
                             QString::fromUtf16(c.Template), &count),
                  QString::fromUtf16(c.Expected))
            << QString::fromUtf16(c.Pattern).toStdString();
        EXPECT_EQ(count, c.Count) << QString::fromUtf16(c.Pattern).toStdString();
    }
}

TEST(RegExprReplace, WithoutSubstitutionTheTemplateIsLiteral)
{
    TRegExpr regex(QStringLiteral("(a)"));
    EXPECT_EQ(regex.Replace(QStringLiteral("aba"), QStringLiteral("$1\\n"), false),
              QStringLiteral("$1\\nb$1\\n"));
}

TEST(RegExprReplace, NeverSplitsASurrogatePair)
{
    const QString grin = QStringLiteral("\U0001F600");
    int count = 0;
    EXPECT_EQ(ReplaceAll(QStringLiteral("x*"), u'a' + grin, QStringLiteral("-"), &count),
              QStringLiteral("-a-") + grin + u'-');
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ReplaceAll(QStringLiteral("\\B"), u'a' + grin + u'b', QStringLiteral("-"), &count),
              u'a' + grin + u'b');
    EXPECT_EQ(count, 0);
}

// --- errors ------------------------------------------------------------------

TEST(RegExprErrors, CompileErrorCarriesMessageAndPosition)
{
    struct tCase
    {
        const char16_t *Pattern;
        int Code;
        int Offset;
    };
    const tCase cases[] = {
        {u"a(b", PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS, 3},
        {u"(", PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS, 1},
        {u"ab)", PCRE2_ERROR_UNMATCHED_CLOSING_PARENTHESIS, 2},
        // Positions count in the pattern as typed, not as rewritten.
        {u"\\d\\s\\b(", PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS, 7},
        {u"\\w[\\W", PCRE2_ERROR_MISSING_SQUARE_BRACKET, 5},
        {u"\\w*+*", PCRE2_ERROR_QUANTIFIER_INVALID, 4},
    };
    for (const tCase &c : cases) {
        TRegExpr regex(QString::fromUtf16(c.Pattern));
        try {
            regex.Compile();
            ADD_FAILURE() << "compiled: " << QString::fromUtf16(c.Pattern).toStdString();
        } catch (const ERegExpr &e) {
            EXPECT_EQ(e.ErrorCode(), c.Code) << QString::fromUtf16(c.Pattern).toStdString();
            EXPECT_EQ(e.ErrorOffset(), c.Offset) << QString::fromUtf16(c.Pattern).toStdString();
            EXPECT_EQ(e.CompilerErrorPos(), c.Offset + 1);
            EXPECT_FALSE(e.Message().isEmpty());
        }
    }
}

TEST(RegExprErrors, ExecCompilesAndReportsCompileErrors)
{
    TRegExpr regex(QStringLiteral("a(b"));
    regex.SetInputString(QStringLiteral("ab"));
    EXPECT_THROW(regex.Exec(), ERegExpr);
    EXPECT_THROW(regex.Replace(QStringLiteral("ab"), QStringLiteral("x"), true), ERegExpr);
}

TEST(RegExprErrors, ExecutionErrorRaisesTheEngineMessage)
{
    const QString input = QString(30, u'a') + u'!';
    TRegExpr regex(QStringLiteral("(*LIMIT_MATCH=10)(a+)+$"));
    regex.SetInputString(input);
    try {
        regex.Exec();
        ADD_FAILURE() << "no execution error";
    } catch (const ERegExpr &e) {
        EXPECT_EQ(e.ErrorCode(), PCRE2_ERROR_MATCHLIMIT);
        EXPECT_EQ(e.ErrorOffset(), -1);
        EXPECT_EQ(e.CompilerErrorPos(), 0);
        EXPECT_FALSE(e.Message().isEmpty());
    }
    EXPECT_THROW(regex.Replace(input, QStringLiteral("x"), true), ERegExpr);
}

TEST(RegExprErrors, DeepBacktrackingOutgrowsTheJitStackWithoutFailing)
{
    TRegExpr regex(QStringLiteral("(a|b)*c"));
    regex.SetInputString(QString(1000000, u'a') + u'c');
    ASSERT_TRUE(regex.Exec());
    EXPECT_EQ(regex.MatchLen(0), 1000001);
}

TEST(RegExprErrors, PatternsCannotSwitchTheEngineModes)
{
    EXPECT_THROW(TRegExpr(QStringLiteral("(*UTF)a")).Compile(), ERegExpr);
    TRegExpr regex(QStringLiteral("a"));
    regex.SetLineSeparators(QStringLiteral("\t"));
    EXPECT_THROW(regex.Compile(), ERegExpr);
}

} // namespace
