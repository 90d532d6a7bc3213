// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding file bytes into UTF-16 units many bytes at a time: runs of ASCII
// are widened sixteen bytes per step, other sequences are decoded inline.
// Each has a plain path beside it, which is what runs without SSE2 and what
// the vector path is tested against.
#include <cstddef>

// Decodes UTF-8 from Data into Out as Utf8DecodeLosslessInto documents it
// (undecodable bytes become escapes): no sequence starts at or after Stop,
// none reads past End, and it stops when fewer than two units of Room are
// left. Data moves past what was decoded; the units written.
std::ptrdiff_t DecodeUtf8Units(const unsigned char *&data, const unsigned char *stop,
                               const unsigned char *end, char16_t *out, std::ptrdiff_t room) noexcept;
std::ptrdiff_t DecodeUtf8UnitsPlain(const unsigned char *&data, const unsigned char *stop,
                                    const unsigned char *end, char16_t *out, std::ptrdiff_t room) noexcept;

// Units UTF-16 units from their bytes, in either byte order.
void CopyUtf16Units(const char *bytes, std::ptrdiff_t units, bool bigEndian, char16_t *out) noexcept;
void CopyUtf16UnitsPlain(const char *bytes, std::ptrdiff_t units, bool bigEndian, char16_t *out) noexcept;
