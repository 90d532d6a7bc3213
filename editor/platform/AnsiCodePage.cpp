// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/AnsiCodePage.h"

#include "editor/platform/Exceptions.h"
#include "editor/platform/VectorDecode.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

QByteArray ChosenCodePage;

bool IsUtf8Name(const QByteArray &name)
{
    const QByteArray n = name.toUpper();
    return n == "UTF-8" || n == "UTF8";
}

QByteArray LocaleCodePage()
{
    static std::once_flag once;
    static QByteArray name;
    std::call_once(once, [] {
        std::setlocale(LC_CTYPE, "");
        const char *codeset = nl_langinfo(CODESET);
        name = codeset ? QByteArray(codeset) : QByteArray();
        // The C and POSIX locales answer ASCII; text files there are UTF-8.
        if (name.isEmpty() || name == "ANSI_X3.4-1968" || name == "ASCII" || name == "US-ASCII")
            name = "UTF-8";
    });
    return name;
}

class cIconv
{
public:
    cIconv(const char *to, const char *from) : FHandle(iconv_open(to, from)) {}
    ~cIconv()
    {
        if (Valid())
            iconv_close(FHandle);
    }
    cIconv(const cIconv &) = delete;
    cIconv &operator=(const cIconv &) = delete;
    bool Valid() const noexcept { return FHandle != iconv_t(-1); }
    iconv_t Handle() const noexcept { return FHandle; }

private:
    iconv_t FHandle;
};

bool IsUtf8Continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of a well-formed UTF-8 sequence at p (strict: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0.
int WellFormedLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char b = p[0];
    const qsizetype left = end - p;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return left >= 2 && IsUtf8Continuation(p[1]) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !IsUtf8Continuation(p[1]) || !IsUtf8Continuation(p[2]))
            return 0;
        if (b == 0xE0 && p[1] < 0xA0)
            return 0;
        if (b == 0xED && p[1] >= 0xA0)
            return 0;
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !IsUtf8Continuation(p[1]) || !IsUtf8Continuation(p[2]) || !IsUtf8Continuation(p[3]))
            return 0;
        if (b == 0xF0 && p[1] < 0x90)
            return 0;
        if (b == 0xF4 && p[1] >= 0x90)
            return 0;
        return 4;
    }
    return 0;
}

bool IsWellFormedUtf8(const unsigned char *p, const unsigned char *end)
{
    while (p < end) {
        // Skip plain ASCII eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const int n = WellFormedLength(p, end);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

QString DecodeSlowly(const unsigned char *p, const unsigned char *end)
{
    QString out;
    out.reserve(end - p);
    while (p < end) {
        const int n = WellFormedLength(p, end);
        char32_t cp;
        switch (n) {
        case 1:
            cp = p[0];
            break;
        case 2:
            cp = (char32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
            break;
        case 3:
            cp = (char32_t(p[0] & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            break;
        case 4:
            cp = (char32_t(p[0] & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                 (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
            break;
        default:
            out += QChar(EscapeOfByte(p[0]));
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        p += n;
    }
    return out;
}

void AppendUtf8(QByteArray &out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool HasSurrogates(const QString &text)
{
    for (QChar c : text)
        if (c.isSurrogate())
            return true;
    return false;
}

// Decodes the whole input in one go; an undecodable byte becomes its escape.
// Used for code pages whose characters depend on what came before them.
QString IconvDecodeInOneGo(const QByteArray &codePage, const QByteArray &bytes)
{
    cIconv cd("UTF-16LE", codePage.constData());
    if (!cd.Valid())
        throw EConvertError(QStringLiteral("Unknown code page %1").arg(QString::fromLatin1(codePage)));
    QString out(bytes.size(), Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    qsizetype used = 0;
    while (inLeft > 0) {
        if (out.size() - used < 8)
            out.resize(out.size() * 2 + 16);
        char *dst = reinterpret_cast<char *>(out.data() + used);
        size_t dstLeft = size_t(out.size() - used) * 2;
        const size_t dstStart = dstLeft;
        const size_t r = iconv(cd.Handle(), &in, &inLeft, &dst, &dstLeft);
        used += qsizetype((dstStart - dstLeft) / 2);
        if (r != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // An undecodable (or cut) byte: keep it as its escape.
        out[used++] = QChar(EscapeOfByte(static_cast<unsigned char>(*in)));
        ++in;
        --inLeft;
        iconv(cd.Handle(), nullptr, nullptr, nullptr, nullptr);
    }
    out.truncate(used);
    return out;
}

// What one byte sequence of a code page is.
struct tSequence
{
    enum tKind : quint8
    {
        Unknown,   // not looked at yet
        Character, // decodes to Units and encodes back to the same bytes
        Lead,      // the start of a longer sequence
        Invalid,   // no character of the code page
        Ambiguous, // a character that encodes to other bytes (duplicate mappings)
        Stateful,  // changes a shift state: the code page cannot be read piecewise
    };
    tKind Kind = Unknown;
    quint8 Count = 0; // UTF-16 units, at most two
    char16_t Units[2] = {};
};

// The sequences of one stateless code page, each decoded and encoded back
// once through iconv, then looked up: characters that do not come back as
// the bytes they were read from can be recognised without converting the
// whole text twice.
class cCodePageTable
{
public:
    explicit cCodePageTable(const QByteArray &codePage)
        : FDecoder("UTF-16LE", codePage.constData()), FEncoder(codePage.constData(), "UTF-16LE")
    {
        if (!FDecoder.Valid() || !FEncoder.Valid())
            throw EConvertError(QStringLiteral("Unknown code page %1").arg(QString::fromLatin1(codePage)));
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            FSingle[b] = Look(&byte, 1);
            if (FSingle[b].Kind == tSequence::Stateful)
                FStateful = true;
        }
    }

    bool Stateful() const noexcept { return FStateful; }

    // For a code page read byte by byte, without shift states or characters
    // combined with the next: the byte of each unit that is one character of
    // it and comes back as that unit, else -1; empty for any other.
    const std::vector<qint16> &ByteOfUnit()
    {
        if (!FByteOfUnitKnown) {
            FByteOfUnitKnown = true;
            bool byteByByte = !FStateful && !FHoldsBack;
            for (const tSequence &s : FSingle)
                byteByByte &= s.Kind != tSequence::Lead && s.Kind != tSequence::Stateful;
            if (byteByByte) {
                FByteOfUnit.assign(0x10000, -1);
                for (int b = 0; b < 256; ++b)
                    if (FSingle[b].Kind == tSequence::Character && FSingle[b].Count == 1)
                        FByteOfUnit[FSingle[b].Units[0]] = qint16(b);
            }
        }
        return FByteOfUnit;
    }

    // For the same code pages: the byte iconv writes for each unit on its
    // own ("?" for a unit it has none for), -1 for a surrogate or where it
    // writes more than one byte. Nothing is held back between units there,
    // so a text is written unit by unit as iconv writes it whole.
    const std::vector<qint16> &WrittenByteOfUnit()
    {
        if (!FWrittenKnown) {
            FWrittenKnown = true;
            if (!ByteOfUnit().empty()) {
                FWritten.assign(0x10000, -1);
                for (char32_t u = 0; u < 0x10000; ++u)
                    if (!QChar::isSurrogate(u))
                        FWritten[u] = WrittenByte(char16_t(u));
            }
        }
        return FWritten;
    }

    // Decodes whole sequences from P into Out while Room allows (at least
    // MinRoom), moving P past them; -1 at a sequence that changes a shift
    // state, where the text must be read as a whole.
    qsizetype DecodeInto(const unsigned char *&p, const unsigned char *stop, const unsigned char *end,
                         char16_t *out, qsizetype room)
    {
        qsizetype used = 0;
        while (p < stop && room - used >= MinRoom) {
            const tSequence *s = &FSingle[*p];
            qsizetype length = 1;
            while (s->Kind == tSequence::Lead) {
                if (length >= 4 || p + length >= end)
                    break;
                ++length;
                s = &Sequence(p, length);
            }
            switch (s->Kind) {
            case tSequence::Character:
                for (int i = 0; i < s->Count; ++i)
                    out[used++] = s->Units[i];
                p += length;
                continue;
            case tSequence::Stateful:
                return -1;
            case tSequence::Ambiguous:
                // Every byte that has an escape is kept as one; a byte below
                // 0x80 is read again on its own.
                out[used++] = EscapeOfByte(*p++);
                for (qsizetype i = 1; i < length && *p >= 0x80; ++i)
                    out[used++] = EscapeOfByte(*p++);
                continue;
            default:
                // Invalid or cut off: the first byte is kept, the rest read again.
                out[used++] = EscapeOfByte(*p++);
                continue;
            }
        }
        return used;
    }

    // Null when the text holds a sequence that changes a shift state.
    std::optional<QString> Decode(const unsigned char *p, qsizetype size)
    {
        const unsigned char *end = p + size;
        QString out(size + MinRoom, Qt::Uninitialized);
        qsizetype used = 0;
        while (p < end) {
            if (out.size() - used < MinRoom)
                out.resize(out.size() * 2);
            const qsizetype n =
                DecodeInto(p, end, end, reinterpret_cast<char16_t *>(out.data()) + used, out.size() - used);
            if (n < 0)
                return std::nullopt;
            used += n;
        }
        out.truncate(used);
        return out;
    }

    // Units of the decoded text, without keeping it; -1 as for DecodeInto.
    qsizetype DecodedLength(const unsigned char *p, qsizetype size)
    {
        const unsigned char *end = p + size;
        char16_t scratch[4096];
        qsizetype total = 0;
        while (p < end) {
            const qsizetype n = DecodeInto(p, end, end, scratch, std::size(scratch));
            if (n < 0)
                return -1;
            total += n;
        }
        return total;
    }

    // The most one sequence writes: an escape for each of up to four bytes.
    static constexpr qsizetype MinRoom = 4;

private:
    const tSequence &Sequence(const unsigned char *p, qsizetype length)
    {
        if (length == 2) {
            if (FDouble.empty())
                FDouble.resize(0x10000);
            tSequence &s = FDouble[(p[0] << 8) | p[1]];
            if (s.Kind == tSequence::Unknown)
                s = Look(reinterpret_cast<const char *>(p), 2);
            return s;
        }
        quint64 key = quint64(length) << 32;
        for (qsizetype i = 0; i < length; ++i)
            key |= quint64(p[i]) << (8 * i);
        auto found = FLonger.find(key);
        if (found == FLonger.end())
            found = FLonger.insert(key, Look(reinterpret_cast<const char *>(p), length));
        return *found;
    }

    tSequence Look(const char *bytes, qsizetype length)
    {
        tSequence s;
        iconv(FDecoder.Handle(), nullptr, nullptr, nullptr, nullptr);
        char *in = const_cast<char *>(bytes);
        size_t inLeft = size_t(length);
        char16_t units[8];
        char *dst = reinterpret_cast<char *>(units);
        size_t dstLeft = sizeof units;
        if (iconv(FDecoder.Handle(), &in, &inLeft, &dst, &dstLeft) == size_t(-1)) {
            s.Kind = errno == EINVAL ? tSequence::Lead : tSequence::Invalid;
            return s;
        }
        if (dstLeft == sizeof units)
            FHoldsBack = true;
        // A converter may hold a character back to combine it with the next.
        if (iconv(FDecoder.Handle(), nullptr, nullptr, &dst, &dstLeft) == size_t(-1)) {
            s.Kind = tSequence::Invalid;
            return s;
        }
        const size_t count = (sizeof units - dstLeft) / 2;
        if (count == 0) {
            s.Kind = tSequence::Stateful;
            return s;
        }
        if (count > 2 || !EncodesBackTo(units, count, bytes, length)) {
            s.Kind = tSequence::Ambiguous;
            return s;
        }
        s.Kind = tSequence::Character;
        s.Count = quint8(count);
        s.Units[0] = units[0];
        s.Units[1] = count > 1 ? units[1] : 0;
        return s;
    }

    qint16 WrittenByte(char16_t unit)
    {
        iconv(FEncoder.Handle(), nullptr, nullptr, nullptr, nullptr);
        char *in = reinterpret_cast<char *>(&unit);
        size_t inLeft = 2;
        char out[8];
        char *dst = out;
        size_t dstLeft = sizeof out;
        if (iconv(FEncoder.Handle(), &in, &inLeft, &dst, &dstLeft) == size_t(-1))
            return errno == EILSEQ ? qint16('?') : qint16(-1);
        if (iconv(FEncoder.Handle(), nullptr, nullptr, &dst, &dstLeft) == size_t(-1) ||
            sizeof out - dstLeft != 1)
            return -1;
        return qint16(static_cast<unsigned char>(out[0]));
    }

    bool EncodesBackTo(const char16_t *units, size_t count, const char *bytes, qsizetype length)
    {
        iconv(FEncoder.Handle(), nullptr, nullptr, nullptr, nullptr);
        char *in = reinterpret_cast<char *>(const_cast<char16_t *>(units));
        size_t inLeft = count * 2;
        char back[32];
        char *dst = back;
        size_t dstLeft = sizeof back;
        if (iconv(FEncoder.Handle(), &in, &inLeft, &dst, &dstLeft) == size_t(-1) ||
            iconv(FEncoder.Handle(), nullptr, nullptr, &dst, &dstLeft) == size_t(-1))
            return false;
        return qsizetype(sizeof back - dstLeft) == length && std::memcmp(back, bytes, size_t(length)) == 0;
    }

    cIconv FDecoder;
    cIconv FEncoder;
    bool FStateful = false;
    bool FHoldsBack = false;
    bool FByteOfUnitKnown = false;
    std::vector<qint16> FByteOfUnit;
    bool FWrittenKnown = false;
    std::vector<qint16> FWritten;
    tSequence FSingle[256];
    std::vector<tSequence> FDouble; // filled on first use, by both bytes
    QHash<quint64, tSequence> FLonger;
};

std::mutex TablesLock;

// The table of a code page; call with TablesLock held.
cCodePageTable &TableOf(const QByteArray &codePage)
{
    static std::map<QByteArray, std::unique_ptr<cCodePageTable>> tables;
    std::unique_ptr<cCodePageTable> &table = tables[codePage];
    if (!table)
        table = std::make_unique<cCodePageTable>(codePage);
    return *table;
}

QString IconvDecode(const QByteArray &codePage, const QByteArray &bytes)
{
    {
        const std::lock_guard<std::mutex> lock(TablesLock);
        cCodePageTable *table = &TableOf(codePage);
        if (!table->Stateful()) {
            std::optional<QString> text =
                table->Decode(reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size());
            if (text)
                return std::move(*text);
        }
    }
    return IconvDecodeInOneGo(codePage, bytes);
}

} // namespace

// Encodes a text given in pieces as one text: the converter's state and a
// high surrogate at the end of a piece carry over to the next, so the bytes
// are those of the whole text converted at once.
class cIconvEncoder
{
public:
    explicit cIconvEncoder(const QByteArray &codePage) : FIconv(codePage.constData(), "UTF-16LE")
    {
        if (!FIconv.Valid())
            throw EConvertError(QStringLiteral("Unknown code page %1").arg(QString::fromLatin1(codePage)));
        const std::lock_guard<std::mutex> lock(TablesLock);
        // Tables live as long as the program.
        const std::vector<qint16> &byteOf = TableOf(codePage).WrittenByteOfUnit();
        if (!byteOf.empty()) {
            FByteOfUnit = byteOf.data();
            FAsciiSame = true;
            for (char16_t u = 0; u < 0x80; ++u)
                FAsciiSame = FAsciiSame && byteOf[u] == qint16(u);
        }
    }

    void Encode(const char16_t *units, qsizetype count, bool last, std::string &out)
    {
        FOut = &out;
        FUsed = out.size();
        out.resize(std::max(out.size(), FUsed + size_t(count) + 16));
        if (FCarry) {
            const char16_t pair[2] = {FCarry, count > 0 ? units[0] : char16_t(0)};
            FCarry = 0;
            const qsizetype taken = count > 0 && QChar::isLowSurrogate(units[0]) ? 1 : 0;
            Units(pair, 1 + taken, count == 0 && !last);
            units += taken;
            count -= taken;
        }
        Units(units, count, !last);
        if (last)
            Flush();
        out.resize(FUsed);
    }

private:
    void Reserve(size_t room)
    {
        if (FOut->size() - FUsed < room)
            FOut->resize(FOut->size() * 2 + room);
    }
    // Converts as far as iconv can; false at a unit it cannot.
    bool Convert(char *&in, size_t &inLeft)
    {
        while (inLeft > 0) {
            Reserve(16);
            char *dst = FOut->data() + FUsed;
            size_t dstLeft = FOut->size() - FUsed;
            const size_t dstStart = dstLeft;
            const size_t r = iconv(FIconv.Handle(), &in, &inLeft, &dst, &dstLeft);
            FUsed += dstStart - dstLeft;
            if (r == size_t(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }
    // A converter may still hold a character (to combine it with the next) or
    // a shift state: both are written out before bytes are put in directly.
    void Flush()
    {
        for (;;) {
            Reserve(16);
            char *dst = FOut->data() + FUsed;
            size_t dstLeft = FOut->size() - FUsed;
            const size_t dstStart = dstLeft;
            const size_t r = iconv(FIconv.Handle(), nullptr, nullptr, &dst, &dstLeft);
            FUsed += dstStart - dstLeft;
            if (r != size_t(-1) || errno != E2BIG)
                return;
        }
    }
    void PutByte(char byte)
    {
        Flush();
        Reserve(1);
        (*FOut)[FUsed++] = byte;
    }
    // Writes the bytes of units the table knows, from Pos on, until one it
    // does not (surrogates among them); returns where that one is.
    qsizetype Mapped(const char16_t *units, qsizetype pos, qsizetype count)
    {
        Reserve(size_t(count - pos));
        char *out = FOut->data() + FUsed;
        char *const start = out;
        const qint16 *const byteOf = FByteOfUnit;
        while (pos < count) {
#ifdef __SSE2__
            // ASCII sixteen units at a time, where the code page keeps it as it is.
            if (FAsciiSame) {
                const __m128i high = _mm_set1_epi16(qint16(0xFF80));
                while (count - pos >= 16) {
                    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + pos));
                    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + pos + 8));
                    const __m128i over = _mm_and_si128(_mm_or_si128(a, b), high);
                    if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, _mm_setzero_si128())) != 0xFFFF)
                        break;
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(a, b));
                    out += 16;
                    pos += 16;
                }
            }
#endif
            // Then through the table for a while before ASCII is looked for again.
            const qsizetype stop = std::min(count, pos + 16);
            for (; pos < stop; ++pos) {
                const qint16 byte = byteOf[units[pos]];
                if (byte < 0) {
                    FUsed += size_t(out - start);
                    return pos;
                }
                *out++ = char(byte);
            }
        }
        FUsed += size_t(out - start);
        return pos;
    }

    // Units without surrogates that the table does not know (all of them
    // without a table) go through the converter, "?" for what it cannot take.
    void Converted(const char16_t *units, qsizetype count)
    {
        char *in = reinterpret_cast<char *>(const_cast<char16_t *>(units));
        size_t inLeft = size_t(count) * 2;
        while (!Convert(in, inLeft)) {
            PutByte('?');
            in += 2;
            inLeft -= 2;
        }
    }

    void Units(const char16_t *units, qsizetype count, bool mayCarry)
    {
        qsizetype pos = 0;
        while (pos < count) {
            if (FByteOfUnit)
                pos = Mapped(units, pos, count);
            if (pos >= count)
                break;
            const char16_t u = units[pos];
            if (!QChar::isSurrogate(u)) {
                // A code page with a table holds nothing back, so what comes
                // next may go through the table again.
                qsizetype runEnd = pos + 1;
                while (runEnd < count && !QChar::isSurrogate(units[runEnd]) &&
                       (!FByteOfUnit || FByteOfUnit[units[runEnd]] < 0))
                    ++runEnd;
                Converted(units + pos, runEnd - pos);
                pos = runEnd;
                continue;
            }
            // Surrogates are handled here so escapes come back as their bytes.
            if (IsByteEscape(u)) {
                PutByte(char(u - 0xDC00));
                ++pos;
            } else if (QChar::isHighSurrogate(u) && pos + 1 == count && mayCarry) {
                FCarry = u; // its pair may start the next piece
                ++pos;
            } else if (QChar::isHighSurrogate(u) && pos + 1 < count &&
                       QChar::isLowSurrogate(units[pos + 1])) {
                // A character outside the BMP: let iconv decide whether it maps.
                char *pin = reinterpret_cast<char *>(const_cast<char16_t *>(units + pos));
                size_t pinLeft = 4;
                if (!Convert(pin, pinLeft))
                    PutByte('?');
                pos += 2;
            } else {
                PutByte('?');
                ++pos;
            }
        }
    }

    cIconv FIconv;
    const qint16 *FByteOfUnit = nullptr; // a unit's byte or -1; none for other code pages
    bool FAsciiSame = false;
    std::string *FOut = nullptr;
    size_t FUsed = 0;
    char16_t FCarry = 0;
};

namespace {

QByteArray IconvEncode(const QByteArray &codePage, const QString &text)
{
    cIconvEncoder encoder(codePage);
    std::string out;
    encoder.Encode(reinterpret_cast<const char16_t *>(text.utf16()), text.size(), true, out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace

QByteArray AnsiCodePageName()
{
    return ChosenCodePage.isEmpty() ? LocaleCodePage() : ChosenCodePage;
}

void SetAnsiCodePage(const QByteArray &name)
{
    if (!name.isEmpty() && !IsUtf8Name(name)) {
        cIconv probe("UTF-16LE", name.constData());
        if (!probe.Valid())
            throw EConvertError(QStringLiteral("Unknown code page %1").arg(QString::fromLatin1(name)));
    }
    ChosenCodePage = name;
}

QByteArray AnsiEncode(const QString &text)
{
    const QByteArray codePage = AnsiCodePageName();
    if (IsUtf8Name(codePage))
        return Utf8EncodeLossless(text);
    return IconvEncode(codePage, text);
}

QString AnsiDecode(const QByteArray &bytes)
{
    const QByteArray codePage = AnsiCodePageName();
    if (IsUtf8Name(codePage))
        return Utf8DecodeLossless(bytes);
    return IconvDecode(codePage, bytes);
}

qsizetype AnsiDecodeInto(const char *&data, const char *stop, const char *end, char16_t *out, qsizetype room)
{
    const QByteArray codePage = AnsiCodePageName();
    if (IsUtf8Name(codePage))
        return Utf8DecodeLosslessInto(data, stop, end, out, room);
    const std::lock_guard<std::mutex> lock(TablesLock);
    cCodePageTable &table = TableOf(codePage);
    if (table.Stateful())
        return -1;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(data);
    const qsizetype used = table.DecodeInto(p, reinterpret_cast<const unsigned char *>(stop),
                                            reinterpret_cast<const unsigned char *>(end), out, room);
    if (used >= 0)
        data = reinterpret_cast<const char *>(p);
    return used;
}

qsizetype AnsiDecodedLength(const char *data, qsizetype size)
{
    const QByteArray codePage = AnsiCodePageName();
    if (IsUtf8Name(codePage))
        return Utf8LosslessLength(data, size);
    {
        const std::lock_guard<std::mutex> lock(TablesLock);
        cCodePageTable &table = TableOf(codePage);
        if (!table.Stateful()) {
            const qsizetype length = table.DecodedLength(reinterpret_cast<const unsigned char *>(data), size);
            if (length >= 0)
                return length;
        }
    }
    return IconvDecodeInOneGo(codePage, QByteArray::fromRawData(data, size)).size();
}

bool HasNonAnsiCharacters(const QString &text)
{
    return AnsiDecode(AnsiEncode(text)) != text;
}

QString Utf8DecodeLossless(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    if (IsWellFormedUtf8(p, p + size)) {
        // QString::fromUtf8 would drop a leading U+FEFF, which is text here:
        // the mark has been taken off already.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(QByteArrayView(data, size));
    }
    return DecodeSlowly(p, p + size);
}

qsizetype Utf8DecodeLosslessInto(const char *&data, const char *stop, const char *end, char16_t *out,
                                 qsizetype room)
{
    auto *p = reinterpret_cast<const unsigned char *>(data);
    const qsizetype used = DecodeUtf8Units(p, reinterpret_cast<const unsigned char *>(stop),
                                           reinterpret_cast<const unsigned char *>(end), out, room);
    data = reinterpret_cast<const char *>(p);
    return used;
}

qsizetype Utf8LosslessLength(const char *data, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const auto *end = p + size;
    qsizetype units = 0;
    while (p < end) {
        const int n = p[0] < 0x80 ? 1 : WellFormedLength(p, end);
        units += n == 4 ? 2 : 1;
        p += n == 0 ? 1 : n;
    }
    return units;
}

QByteArray Utf8EncodeLossless(const QString &text)
{
    if (!HasSurrogates(text))
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size() * 3);
    const qsizetype count = text.size();
    const char16_t *units = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t u = units[i];
        if (QChar::isHighSurrogate(u) && i + 1 < count && QChar::isLowSurrogate(units[i + 1])) {
            AppendUtf8(out, QChar::surrogateToUcs4(u, units[i + 1]));
            ++i;
        } else if (IsByteEscape(u)) {
            out += char(u - 0xDC00);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

namespace {

// Writes Units as UTF-8 at Out, which has room for three bytes a unit;
// escapes as their bytes, pairs as one character, other surrogates as three
// bytes. A high surrogate that ends the units is left for the next piece when
// MayCarry. Returns the end of what was written; Used gets the units taken.
char *Utf8LosslessInto(const char16_t *units, qsizetype count, bool mayCarry, char *out, qsizetype &used)
{
    qsizetype i = 0;
    while (i < count) {
        // Plain ASCII many units at a time, looked for after ASCII only: text
        // of another script does not pay for the look at every unit.
        if (units[i] < 0x80) {
#ifdef __SSE2__
            const __m128i high = _mm_set1_epi16(qint16(0xFF80));
            while (count - i >= 16) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + i + 8));
                const __m128i over = _mm_and_si128(_mm_or_si128(a, b), high);
                if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, _mm_setzero_si128())) != 0xFFFF)
                    break;
                _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(a, b));
                out += 16;
                i += 16;
            }
#endif
            while (count - i >= 4) {
                quint64 word;
                std::memcpy(&word, units + i, 8);
                if (word & 0xFF80FF80FF80FF80ULL)
                    break;
                out[0] = char(units[i]);
                out[1] = char(units[i + 1]);
                out[2] = char(units[i + 2]);
                out[3] = char(units[i + 3]);
                out += 4;
                i += 4;
            }
            if (i == count)
                break;
        }
        const char16_t u = units[i];
        if (u < 0x80) {
            *out++ = char(u);
        } else if (u < 0x800) {
            *out++ = char(0xC0 | (u >> 6));
            *out++ = char(0x80 | (u & 0x3F));
        } else if (IsByteEscape(u)) {
            *out++ = char(u - 0xDC00);
        } else if (QChar::isHighSurrogate(u) && i + 1 == count && mayCarry) {
            break;
        } else if (QChar::isHighSurrogate(u) && i + 1 < count && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t cp = QChar::surrogateToUcs4(u, units[i + 1]);
            *out++ = char(0xF0 | (cp >> 18));
            *out++ = char(0x80 | ((cp >> 12) & 0x3F));
            *out++ = char(0x80 | ((cp >> 6) & 0x3F));
            *out++ = char(0x80 | (cp & 0x3F));
            ++i;
        } else {
            *out++ = char(0xE0 | (u >> 12));
            *out++ = char(0x80 | ((u >> 6) & 0x3F));
            *out++ = char(0x80 | (u & 0x3F));
        }
        ++i;
    }
    used = i;
    return out;
}

} // namespace

cPieceEncoder::cPieceEncoder(bool ansi)
{
    const QByteArray codePage = AnsiCodePageName();
    if (ansi && !IsUtf8Name(codePage))
        FIconv = std::make_unique<cIconvEncoder>(codePage);
}

cPieceEncoder::~cPieceEncoder() = default;

void cPieceEncoder::Encode(QStringView piece, bool last, std::string &out)
{
    const auto *units = reinterpret_cast<const char16_t *>(piece.utf16());
    if (FIconv) {
        FIconv->Encode(units, piece.size(), last, out);
        return;
    }
    const size_t start = out.size();
    out.resize(start + 3 * size_t(piece.size() + 2));
    char *p = out.data() + start;
    qsizetype used;
    if (FCarry) {
        const char16_t pair[2] = {FCarry, piece.isEmpty() ? char16_t(0) : units[0]};
        const qsizetype count = !piece.isEmpty() && QChar::isLowSurrogate(units[0]) ? 2 : 1;
        p = Utf8LosslessInto(pair, count, piece.isEmpty() && !last, p, used);
        FCarry = used == 0 ? pair[0] : 0;
        units += count - 1;
    }
    const qsizetype count = piece.size() - (units - reinterpret_cast<const char16_t *>(piece.utf16()));
    p = Utf8LosslessInto(units, count, !last, p, used);
    if (used < count)
        FCarry = units[used];
    out.resize(size_t(p - out.data()));
}

bool AnsiKeepsAll(QStringView units)
{
    const QByteArray codePage = AnsiCodePageName();
    if (IsUtf8Name(codePage))
        return false;
    const std::lock_guard<std::mutex> lock(TablesLock);
    const std::vector<qint16> &byteOf = TableOf(codePage).ByteOfUnit();
    if (byteOf.empty())
        return false;
    qint16 all = 0;
    for (char16_t u = 0; u < 0x80; ++u)
        all |= byteOf[u];
    const auto *p = reinterpret_cast<const char16_t *>(units.utf16());
    const char16_t *const end = p + units.size();
#ifdef __SSE2__
    // ASCII, which the code page holds, eight units at a time.
    if (all >= 0) {
        const __m128i high = _mm_set1_epi16(qint16(0xFF80));
        for (; end - p >= 8; p += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())) != 0xFFFF)
                for (int i = 0; i < 8; ++i)
                    all |= byteOf[p[i]];
        }
    }
#endif
    for (; p < end; ++p)
        all |= byteOf[*p];
    return all >= 0;
}
