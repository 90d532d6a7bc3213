// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/AnsiCodePage.h"

#include "editor/platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {

// Each test picks its code page through the layer, never the environment.
class CodePage : public ::testing::Test
{
protected:
    void TearDown() override { SetAnsiCodePage({}); }
};

QByteArray AllBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

TEST_F(CodePage, Windows1252DecodesItsOwnCharacters)
{
    SetAnsiCodePage("WINDOWS-1252");
    EXPECT_EQ(AnsiDecode(QByteArray("\x80\xE9\x9F", 3)), QString::fromUtf8("€éŸ"));
    EXPECT_EQ(AnsiEncode(QString::fromUtf8("€éŸ")), QByteArray("\x80\xE9\x9F", 3));
}

TEST_F(CodePage, EveryByteSurvivesDecodeThenEncode)
{
    // 0x81, 0x8D, 0x8F, 0x90 and 0x9D are undefined in Windows-1252.
    for (const char *cp : {"WINDOWS-1252", "UTF-8", "CP1251", "ISO-8859-7"}) {
        SetAnsiCodePage(cp);
        const QByteArray bytes = AllBytes();
        EXPECT_EQ(AnsiEncode(AnsiDecode(bytes)), bytes) << cp;
    }
}

TEST_F(CodePage, UndefinedWindows1252ByteBecomesAnEscapeNotAQuestionMark)
{
    SetAnsiCodePage("WINDOWS-1252");
    const QString text = AnsiDecode(QByteArray("a\x81z", 3));
    ASSERT_EQ(text.size(), 3);
    EXPECT_TRUE(IsByteEscape(text[1].unicode()));
}

// Two byte sequences that decode to one character: only one of them can be
// written for it, so the other must not be read as that character.
TEST_F(CodePage, DuplicateMappingsKeepTheBytesTheyWereReadFrom)
{
    struct tCase
    {
        const char *CodePage;
        QByteArray Bytes;
        QString Text;
    } cases[] = {
        {"CP932", QByteArray("x\xED\x41y", 4),
         QStringView(u"x\xDCED"
                     "Ay")
             .toString()},
        {"BIG5", QByteArray("\xF9\xF9", 2), QStringView(u"\xDCF9\xDCF9").toString()},
        {"CP932", QByteArray("\xFA\x5D", 2), QStringView(u"\u891C").toString()},
        {"BIG5", QByteArray("\xA2\xA4", 2), QStringView(u"\u2550").toString()},
    };
    for (const tCase &c : cases) {
        SetAnsiCodePage(c.CodePage);
        const QString text = AnsiDecode(c.Bytes);
        EXPECT_EQ(text, c.Text) << c.CodePage << " " << c.Bytes.toHex().constData();
        EXPECT_EQ(AnsiEncode(text), c.Bytes) << c.CodePage << " " << c.Bytes.toHex().constData();
        EXPECT_FALSE(HasNonAnsiCharacters(text));
    }
}

TEST_F(CodePage, EveryPairOfBytesSurvivesDecodeThenEncodeInMultiByteCodePages)
{
    QByteArray pairs;
    for (int lead = 0x80; lead < 256; ++lead)
        for (int trail = 0; trail < 256; ++trail)
            pairs += char(lead), pairs += char(trail);
    for (const char *cp : {"CP932", "BIG5", "GB18030", "EUC-JP", "CP949", "SHIFT_JIS", "BIG5-HKSCS"}) {
        SetAnsiCodePage(cp);
        EXPECT_EQ(AnsiEncode(AnsiDecode(pairs)), pairs) << cp;
    }
}

// This converter holds a character back to see whether the next combines
// with it; the last one and one before an escape must still be written.
TEST_F(CodePage, ACharacterHeldBackByTheConverterIsWrittenInItsPlace)
{
    SetAnsiCodePage("BIG5-HKSCS");
    const QByteArray bytes("a\x88\x66\xFF\x88\x66", 6);
    const QString text = AnsiDecode(bytes);
    EXPECT_EQ(text, QStringView(u"a\u00CA\xDCFF\u00CA").toString());
    EXPECT_EQ(AnsiEncode(text), bytes);
}

TEST_F(CodePage, MultiByteAndShiftedTextDecodesToItsCharacters)
{
    const QString text = QString::fromUtf8("日本語のテキスト, ASCII 123");
    for (const char *cp : {"CP932", "EUC-JP", "GB18030", "ISO-2022-JP"}) {
        SetAnsiCodePage(cp);
        const QByteArray bytes = AnsiEncode(text);
        EXPECT_EQ(AnsiDecode(bytes), text) << cp;
    }
    // A character outside the BMP in a four-byte sequence.
    SetAnsiCodePage("GB18030");
    const QString emoji = QString::fromUtf8("a😀b");
    EXPECT_EQ(AnsiDecode(AnsiEncode(emoji)), emoji);
}

TEST_F(CodePage, UnmappableCharactersBecomeQuestionMarks)
{
    SetAnsiCodePage("WINDOWS-1252");
    EXPECT_EQ(AnsiEncode(QString::fromUtf8("aЖb😀c")), QByteArray("a?b?c"));
}

TEST_F(CodePage, LossIsDetectedOnlyForCharactersTheCodePageLacks)
{
    SetAnsiCodePage("WINDOWS-1252");
    EXPECT_TRUE(HasNonAnsiCharacters(QString::fromUtf8("Привет")));
    EXPECT_TRUE(HasNonAnsiCharacters(QString::fromUtf8("x😀")));
    EXPECT_FALSE(HasNonAnsiCharacters(QString::fromUtf8("café – “quoted” €")));
    EXPECT_FALSE(HasNonAnsiCharacters(QString()));
}

TEST_F(CodePage, Utf8CodePageLosesNothingButLoneSurrogates)
{
    SetAnsiCodePage("UTF-8");
    EXPECT_FALSE(HasNonAnsiCharacters(QString::fromUtf8("Привет 😀")));
    EXPECT_EQ(AnsiEncode(QString::fromUtf8("é")), QByteArray("\xC3\xA9"));
}

TEST_F(CodePage, UnknownCodePageIsRefused)
{
    EXPECT_THROW(SetAnsiCodePage("NO-SUCH-CODEPAGE-42"), EConvertError);
    EXPECT_FALSE(AnsiCodePageName().isEmpty());
}

TEST(Utf8Lossless, WellFormedTextDecodesAsUsual)
{
    const QByteArray bytes = QString::fromUtf8("aé中😀").toUtf8();
    EXPECT_EQ(Utf8DecodeLossless(bytes), QString::fromUtf8("aé中😀"));
}

TEST(Utf8Lossless, ALeadingZeroWidthNoBreakSpaceIsText)
{
    const QByteArray bytes("\xEF\xBB\xBF\xEF\xBB\xBF"
                           "A",
                           7);
    EXPECT_EQ(Utf8DecodeLossless(bytes), QStringView(u"\uFEFF\uFEFF"
                                                     "A")
                                             .toString());
    EXPECT_EQ(Utf8EncodeLossless(Utf8DecodeLossless(bytes)), bytes);
}

TEST(Utf8Lossless, MalformedBytesComeBackUnchanged)
{
    const QByteArray cases[] = {
        QByteArray("\xC3", 1),             // cut two-byte form
        QByteArray("ab\xE4\xB8", 4),       // cut three-byte form at the end
        QByteArray("\xC0\x80", 2),         // overlong NUL
        QByteArray("\xED\xA0\x80", 3),     // encoded surrogate
        QByteArray("\xF5\x80\x80\x80", 4), // beyond U+10FFFF
        QByteArray("x\x80y\xFF\xFEz", 6),  // stray continuation and invalid leads
        QByteArray("\xF0\x9F\x98", 3),     // cut four-byte form
    };
    for (const QByteArray &bytes : cases) {
        const QString text = Utf8DecodeLossless(bytes);
        EXPECT_FALSE(text.isEmpty());
        EXPECT_EQ(Utf8EncodeLossless(text), bytes) << bytes.toHex().constData();
    }
}

TEST(Utf8Lossless, ValidPartsAroundABadByteStayReadable)
{
    const QString text = Utf8DecodeLossless(QByteArray("caf\xC3\xA9 \xFF ok", 10));
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("café ")));
    EXPECT_TRUE(text.endsWith(QStringLiteral(" ok")));
}

TEST(Utf8Lossless, NulAndLongLinesPass)
{
    QByteArray bytes(3'000'000, 'x');
    bytes[1'500'000] = '\0';
    const QString text = Utf8DecodeLossless(bytes);
    ASSERT_EQ(text.size(), bytes.size());
    EXPECT_EQ(text[1'500'000], QChar(u'\0'));
    EXPECT_EQ(Utf8EncodeLossless(text), bytes);
}

} // namespace
