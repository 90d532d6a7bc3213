// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/VectorDecode.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t EscapeBase = 0xDC00; // as EscapeOfByte in AnsiCodePage.h

inline bool IsContinuation(unsigned char c) noexcept
{
    return (c & 0xC0) == 0x80;
}

// Decodes the sequence at P (strict: no overlong forms, no surrogates,
// nothing above U+10FFFF) or escapes its first byte; Out has room for two.
inline void DecodeSequence(const unsigned char *&p, const unsigned char *end, char16_t *&out) noexcept
{
    const unsigned b = p[0];
    const std::ptrdiff_t left = end - p;
    if (b < 0x80) {
        *out++ = char16_t(b);
        ++p;
        return;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        if (left >= 2 && IsContinuation(p[1])) {
            *out++ = char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
            return;
        }
    } else if (b >= 0xE0 && b <= 0xEF) {
        if (left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2]) && !(b == 0xE0 && p[1] < 0xA0) &&
            !(b == 0xED && p[1] >= 0xA0)) {
            *out++ = char16_t(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
            return;
        }
    } else if (b >= 0xF0 && b <= 0xF4) {
        if (left >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) && IsContinuation(p[3]) &&
            !(b == 0xF0 && p[1] < 0x90) && !(b == 0xF4 && p[1] >= 0x90)) {
            const char32_t cp = (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                                (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
            *out++ = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            *out++ = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
            p += 4;
            return;
        }
    }
    *out++ = char16_t(EscapeBase + b);
    ++p;
}

} // namespace

std::ptrdiff_t DecodeUtf8UnitsPlain(const unsigned char *&data, const unsigned char *stop,
                                    const unsigned char *end, char16_t *out, std::ptrdiff_t room) noexcept
{
    const unsigned char *p = data;
    char16_t *const begin = out;
    char16_t *const full = out + room;
    while (p < stop && full - out >= 2)
        DecodeSequence(p, end, out);
    data = p;
    return out - begin;
}

std::ptrdiff_t DecodeUtf8Units(const unsigned char *&data, const unsigned char *stop,
                               const unsigned char *end, char16_t *out, std::ptrdiff_t room) noexcept
{
#ifdef __SSE2__
    const unsigned char *p = data;
    char16_t *const begin = out;
    char16_t *const full = out + room;
    const __m128i zero = _mm_setzero_si128();
    while (p < stop && full - out >= 2) {
        // Sixteen bytes widened at once; where ASCII ends only the ASCII part
        // counts, the rest is written over. ASCII may run past Stop: it never
        // needs bytes beyond itself.
        while (end - p >= 16 && full - out >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 8), _mm_unpackhi_epi8(v, zero));
            const unsigned high = unsigned(_mm_movemask_epi8(v));
            if (high != 0) {
                const int ascii = __builtin_ctz(high);
                p += ascii;
                out += ascii;
                break;
            }
            p += 16;
            out += 16;
        }
        // Then sequence by sequence until a run of ASCII comes again: a
        // space between words of another script is not worth a vector step.
        while (p < stop && full - out >= 2) {
            if (*p < 0x80 && end - p >= 16 && full - out >= 16) {
                std::uint32_t word;
                std::memcpy(&word, p, sizeof word);
                if ((word & 0x80808080U) == 0)
                    break;
            }
            DecodeSequence(p, end, out);
        }
    }
    data = p;
    return out - begin;
#else
    return DecodeUtf8UnitsPlain(data, stop, end, out, room);
#endif
}

void CopyUtf16UnitsPlain(const char *bytes, std::ptrdiff_t units, bool bigEndian, char16_t *out) noexcept
{
    const auto *b = reinterpret_cast<const unsigned char *>(bytes);
    for (std::ptrdiff_t i = 0; i < units; ++i)
        out[i] =
            bigEndian ? char16_t((b[2 * i] << 8) | b[2 * i + 1]) : char16_t(b[2 * i] | (b[2 * i + 1] << 8));
}

void CopyUtf16Units(const char *bytes, std::ptrdiff_t units, bool bigEndian, char16_t *out) noexcept
{
    if (!bigEndian) {
        std::memcpy(out, bytes, size_t(units) * 2);
        return;
    }
    std::ptrdiff_t i = 0;
#ifdef __SSE2__
    for (; i + 8 <= units; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + 2 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8)));
    }
#endif
    CopyUtf16UnitsPlain(bytes + 2 * i, units - i, true, out + i);
}
