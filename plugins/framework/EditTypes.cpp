// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/framework/EditTypes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <iconv.h>
#include <langinfo.h>

namespace {

bool IsAscii(std::string_view text) noexcept
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

const char *AnsiCodeSet() noexcept
{
    const char *codeSet = nl_langinfo(CODESET);
    if (codeSet == nullptr || *codeSet == 0 || std::strcmp(codeSet, "ANSI_X3.4-1968") == 0)
        return "UTF-8";
    return codeSet;
}

// Closes the conversion descriptor on every path out.
class cConverter
{
public:
    cConverter() noexcept : FHandle(iconv_open("UTF-16LE", AnsiCodeSet())) {}
    cConverter(const cConverter &) = delete;
    cConverter &operator=(const cConverter &) = delete;
    ~cConverter()
    {
        if (Valid())
            iconv_close(FHandle);
    }
    bool Valid() const noexcept { return FHandle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const noexcept { return FHandle; }

private:
    iconv_t FHandle;
};

void AppendUtf16le(std::u16string &out, const char *bytes, size_t count)
{
    for (size_t i = 0; i + 1 < count; i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

} // namespace

std::u16string AnsiToWide(std::string_view text)
{
    if (IsAscii(text))
        return std::u16string(text.begin(), text.end());
    std::u16string result;
    cConverter converter;
    if (!converter.Valid()) {
        for (char c : text)
            result += static_cast<char16_t>(static_cast<unsigned char>(c));
        return result;
    }
    char *in = const_cast<char *>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter.Handle(), &in, &inLeft, &out, &outLeft);
        AppendUtf16le(result, buffer, sizeof buffer - outLeft);
        if (done != static_cast<size_t>(-1) || errno == E2BIG)
            continue;
        // An invalid or cut sequence: one replacement character per byte.
        result += u'\uFFFD';
        ++in;
        --inLeft;
    }
    return result;
}
