// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a file and saving it in the encoding it was read in gives back
// every byte of it, whatever the bytes and the ANSI code page. The first
// input byte chooses the code page; the rest is the file.
#include "FuzzSupport.h"

#include "editor/editing/TextFiles.h"
#include "editor/platform/AnsiCodePage.h"
#include "editor/textengine/TextBuffer.h"

#include <climits>

#include <cstddef>
#include <cstdint>

namespace {

// Bytes the reader keeps beside the text (a reader that has none keeps
// nothing); a save in the same encoding writes them after the text.
template <class tFile> QByteArray KeptBytes(const tFile &file)
{
    if constexpr (requires { file.OddByte; })
        return file.OddByte;
    else
        return {};
}

// What the document's Save writes for the text it opened, through the same
// writer.
QByteArray SavedBytes(const tTextFile &file)
{
    const std::string saved = fuzz::ScratchFile("saved.txt");
    WriteFileSafely(QString::fromStdString(saved), BomTable[file.Encoding],
                    EncodeText(file.Text, file.Encoding) + KeptBytes(file));
    return fuzz::ReadFile(saved);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const char *codePage = fuzz::CodePages[data[0] % fuzz::CodePageCount];
    SetAnsiCodePage(codePage);
    const QByteArray original(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const std::string opened = fuzz::ScratchFile("opened.txt");
    fuzz::WriteFile(opened, original.constData(), size_t(original.size()));

    const tTextFile file = ReadTextFile(QString::fromStdString(opened));
    // Read a window of 64 bytes at a time into a buffer, as documents are
    // loaded, the text and its breaks are the same.
    cTextBuffer buffer;
    const tTextFile windowed = ReadTextFileInto(QString::fromStdString(opened), buffer, INT_MAX - 1, 4);
    if (buffer.TextWithBreaks() != file.Text || windowed.OddByte != file.OddByte ||
        windowed.Encoding != file.Encoding)
        fuzz::Finding("a file read in windows differs from the file read whole",
                      "code page " + QByteArray(codePage) + "\nread:     " + fuzz::Hex(original) +
                          "\nwhole:    " + fuzz::Hex(file.Text) +
                          "\nwindowed: " + fuzz::Hex(buffer.TextWithBreaks()));
    const QByteArray saved = SavedBytes(file);
    if (saved != original)
        fuzz::Finding("a file saved in the encoding it was read in changed its bytes",
                      "code page " + QByteArray(codePage) + ", encoding " +
                          QByteArray::number(file.Encoding) + "\nread:  " + fuzz::Hex(original) +
                          "\nsaved: " + fuzz::Hex(saved) + "\ntext:  " + fuzz::Hex(file.Text));
    return 0;
}
