// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/VectorDecode.h"

#include "editor/platform/AnsiCodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using tBytes = std::vector<unsigned char>;

// Text as files have it, and as they should not: long ASCII runs with
// breaks, every length of sequence, and sequences that are cut, overlong,
// surrogates, beyond U+10FFFF or stray bytes, which must become escapes.
tBytes RandomUtf8(std::mt19937 &random, size_t size)
{
    static const std::vector<tBytes> pieces = {{'a'},
                                               {'\n'},
                                               {'\r', '\n'},
                                               {'\r'},
                                               {0},
                                               {0x7F}, // ASCII
                                               {0xC3, 0xA9},
                                               {0xD0, 0x96},
                                               {0xDF, 0xBF}, // two bytes
                                               {0xE2, 0x82, 0xAC},
                                               {0xE0, 0xA0, 0x80},
                                               {0xEF, 0xBF, 0xBF}, // three
                                               {0xF0, 0x9F, 0x98, 0x80},
                                               {0xF4, 0x8F, 0xBF, 0xBF}, // four
                                               {0x80},
                                               {0xBF},
                                               {0xC0, 0xAF},
                                               {0xC1, 0x81},
                                               {0xC3},
                                               {0xE2, 0x82}, // stray, overlong, cut
                                               {0xE0, 0x9F, 0xBF},
                                               {0xED, 0xA0, 0x80},
                                               {0xF0, 0x8F, 0xBF, 0xBF}, // overlong, surrogate
                                               {0xF4, 0x90, 0x80, 0x80},
                                               {0xF5, 0x80, 0x80, 0x80},
                                               {0xFF},
                                               {0xF0, 0x9F, 0x98}};
    tBytes bytes;
    while (bytes.size() < size) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(random);
        if (kind < 5) { // an ASCII run, often past a vector's width
            const int run = std::uniform_int_distribution<int>(0, 40)(random);
            for (int i = 0; i < run; ++i)
                bytes.push_back(std::uniform_int_distribution<int>(0, 20)(random) == 0
                                    ? '\n'
                                    : (unsigned char)std::uniform_int_distribution<int>(' ', '~')(random));
        } else {
            const tBytes &p = pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
            bytes.insert(bytes.end(), p.begin(), p.end());
        }
    }
    bytes.resize(size);
    return bytes;
}

std::u16string Reference(const unsigned char *data, size_t size)
{
    const QString text = Utf8DecodeLossless(reinterpret_cast<const char *>(data), qsizetype(size));
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size()));
}

// Decodes as a file read in windows is: each window ends at a random place,
// inside sequences too; a sequence starting within four bytes of a window's
// end waits for the next, unless the bytes end there.
template <typename Decode>
std::u16string InWindows(const unsigned char *data, size_t size, std::mt19937 &random, Decode &&decode)
{
    std::u16string out;
    const unsigned char *p = data;
    const unsigned char *const all = data + size;
    while (p < all) {
        const unsigned char *end = std::min(all, p + std::uniform_int_distribution<int>(1, 70)(random));
        const unsigned char *stop = end == all ? end : std::max(p, end - 4);
        if (stop == p)
            end = stop = all;
        while (p < stop) {
            const std::ptrdiff_t room = std::uniform_int_distribution<int>(2, 40)(random);
            std::u16string piece(size_t(room) + 16, u'?');
            const std::ptrdiff_t used = decode(p, stop, end, piece.data(), room);
            EXPECT_LE(used, room);
            out.append(piece, 0, size_t(used));
        }
    }
    return out;
}

TEST(VectorDecode, Utf8GivesWhatThePlainDecoderGivesAtEveryLengthAndAlignment)
{
    std::mt19937 random(24);
    for (size_t size = 0; size <= 300; ++size) {
        for (size_t align = 0; align < 16; align += size < 40 ? 1 : 5) {
            SCOPED_TRACE(testing::Message() << "size " << size << " align " << align);
            const tBytes bytes = RandomUtf8(random, size);
            std::vector<unsigned char> store(align + size + 1);
            std::copy(bytes.begin(), bytes.end(), store.begin() + std::ptrdiff_t(align));
            const unsigned char *data = store.data() + align;
            const std::u16string expected = Reference(data, size);

            std::u16string whole(size + 2, u'?');
            const unsigned char *p = data;
            whole.resize(
                size_t(DecodeUtf8Units(p, data + size, data + size, whole.data(), qsizetype(size + 2))));
            ASSERT_EQ(p, data + size);
            ASSERT_EQ(whole, expected);

            ASSERT_EQ(InWindows(data, size, random, DecodeUtf8Units), expected);
            ASSERT_EQ(InWindows(data, size, random, DecodeUtf8UnitsPlain), expected);
        }
    }
}

TEST(VectorDecode, Utf16InBothByteOrdersGivesWhatThePlainCopyGives)
{
    std::mt19937 random(16);
    for (size_t units = 0; units <= 100; ++units) {
        for (size_t align = 0; align < 16; ++align) {
            std::vector<char> bytes(align + 2 * units);
            for (char &b : bytes)
                b = char(random());
            for (const bool big : {false, true}) {
                std::u16string vector(units, u'?'), plain(units, u'!');
                CopyUtf16Units(bytes.data() + align, qsizetype(units), big, vector.data());
                CopyUtf16UnitsPlain(bytes.data() + align, qsizetype(units), big, plain.data());
                ASSERT_EQ(vector, plain) << units << " units, align " << align << ", big " << big;
                if (units > 0) {
                    const auto *b = reinterpret_cast<const unsigned char *>(bytes.data() + align);
                    ASSERT_EQ(plain[0], big ? char16_t(b[0] << 8 | b[1]) : char16_t(b[1] << 8 | b[0]));
                }
            }
        }
    }
}

} // namespace
