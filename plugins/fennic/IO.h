// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File access and the encodings of the formats without a byte-order mark.
#include <stdexcept>
#include <string>

// A file that could not be opened, read, created or written.
class eStreamError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// File names are passed to the system as the bytes they arrived as.
// Every operation throws eStreamError on failure.
class cIO
{
public:
    cIO() = delete;

    // Exactly the file's bytes.
    static std::string ReadBytes(const std::string &fileName);
    // Code units low byte first; a last odd byte is ignored.
    static std::u16string ReadUTF16(const std::string &fileName);
    // Nothing at all for empty bytes: no file is created or changed.
    static void WriteBytes(const std::string &fileName, const std::string &bytes);
    // Low byte first; nothing at all for an empty text.
    static void WriteUTF16(const std::string &fileName, const std::u16string &text);
    // Malformed input gives the empty text.
    static std::u16string ReadUTF8(const std::string &fileName);
    // Each code unit on its own, surrogates included; no mark.
    static void WriteUTF8(const std::string &fileName, const std::u16string &text);
    static void SwapBytes(std::u16string &text);
};
