// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RegExpr.h"

#include "editor/editing/Progress.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <QRegularExpression>
#include <QStringView>

#include <algorithm>
#include <climits>
#include <map>
#include <new>
#include <utility>
#include <vector>

// Engine choices, each for a reason:
// - No PCRE2_UTF. The control's text may hold lone surrogates (the escapes of
//   undecodable file bytes); in UTF mode they could never be matched, not even
//   by a dot. Without it every code unit is a character, as positions are.
// - PCRE2_UCP, so that (?i) folds case by Unicode as the dialect does; the
//   shorthands it would widen (\d \w \s \b and their negations) are rewritten
//   into the dialect's ASCII sets. That rewrite also keeps VT out of \s.
//   Under (?i), [A-Za-z] also takes the Kelvin sign and the long s, the
//   Unicode case partners of k and s. PCRE2 10.42 folds a back-reference
//   by Unicode in UTF mode only; under (?i) references are rewritten into
//   callouts that compare by Unicode case (see tGroupInfo).
// - PCRE2_NEVER_UTF keeps a (*UTF) in a pattern from undoing the first point.
// - PCRE2_DOLLAR_ENDONLY: without m, $ matches at the very end only, not
//   before a final separator. PCRE2_ALT_CIRCUMFLEX: with m, ^ also matches
//   after a final separator, where the editor shows an empty last line.

namespace {

template <auto Free> struct tFreeWith
{
    template <class T> void operator()(T *object) const noexcept { Free(object); }
};

using tCodePtr = std::unique_ptr<pcre2_code, tFreeWith<&pcre2_code_free>>;
using tMatchDataPtr = std::unique_ptr<pcre2_match_data, tFreeWith<&pcre2_match_data_free>>;
using tCompileContextPtr = std::unique_ptr<pcre2_compile_context, tFreeWith<&pcre2_compile_context_free>>;
using tMatchContextPtr = std::unique_ptr<pcre2_match_context, tFreeWith<&pcre2_match_context_free>>;
using tJitStackPtr = std::unique_ptr<pcre2_jit_stack, tFreeWith<&pcre2_jit_stack_free>>;

// PCRE2_USE_OFFSET_LIMIT lets a long search go a stretch of start places at
// a time (see TRegExpr::Search).
constexpr uint32_t kBaseOptions = PCRE2_UCP | PCRE2_NEVER_UTF | PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY |
                                  PCRE2_ALT_CIRCUMFLEX | PCRE2_USE_OFFSET_LIMIT;
// Start places a search tries between looks at its progress.
constexpr qsizetype kSearchStretch = qsizetype(1) << 16;
constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 8 * 1024 * 1024;

// PCRE2 wants a valid pointer even for an empty subject.
constexpr char16_t kEmpty[] = u"";

PCRE2_SPTR Units(QStringView text) noexcept
{
    return text.isEmpty() ? reinterpret_cast<PCRE2_SPTR>(kEmpty) : reinterpret_cast<PCRE2_SPTR>(text.utf16());
}

QString EngineMessage(int errorCode)
{
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(errorCode, buffer, std::size(buffer));
    if (length < 0)
        return QStringLiteral("regular expression error %1").arg(errorCode);
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), length);
}

bool IsSameSet(QStringView a, QStringView b) noexcept
{
    const auto within = [](QStringView part, QStringView whole) {
        return std::all_of(part.begin(), part.end(), [whole](QChar c) { return whole.contains(c); });
    };
    return within(a, b) && within(b, a);
}

// The separator sets that PCRE2 has a newline convention for.
uint32_t NewlineConvention(const QString &separators, const QString &paired)
{
    if (paired.isEmpty()) {
        if (IsSameSet(separators, u"\r"))
            return PCRE2_NEWLINE_CR;
        if (IsSameSet(separators, u"\n"))
            return PCRE2_NEWLINE_LF;
    } else if (paired == u"\r\n") {
        if (separators.isEmpty())
            return PCRE2_NEWLINE_CRLF;
        if (IsSameSet(separators, u"\r\n"))
            return PCRE2_NEWLINE_ANYCRLF;
        if (IsSameSet(separators, u"\r\n\v\f\u0085\u2028\u2029"))
            return PCRE2_NEWLINE_ANY;
    }
    throw ERegExpr(QStringLiteral("unsupported line separators"), 0, 0);
}

// ---------------------------------------------------------------------------
// The pattern as PCRE2 is given it, with a map back to the user's positions.

struct tTranslation
{
    QString Pattern;
    std::vector<qsizetype> Origin; // per unit of Pattern, plus one for its end
};

// What a first compilation tells about the groups, so that back-references
// under (?i) can be compared by Unicode case (PCRE2 10.42 folds them by ASCII
// outside UTF mode). Each becomes a pair of callouts: the first compares the
// text ahead with the group and notes where the reference would end, the
// second lets the lazy run in between stop exactly there; the atomic group
// keeps it from being tried at any other length. The never-taken branch with
// the original reference keeps the engine's own checks of it.
struct tGroupInfo
{
    std::map<QString, std::vector<int>> Names;
    bool CountReliable = true; // no branch reset and no (?n): groups count in order
};

constexpr char16_t CompareCallout = u'r';
constexpr char16_t EndCallout = u'e';

class cPatternTranslator
{
public:
    cPatternTranslator(QStringView expression, bool caseless, QStringView commentEnds,
                       const tGroupInfo *groups = nullptr)
        : FIn(expression), FCommentEnds(commentEnds), FGroups(groups)
    {
        FScopes.push_back({caseless, false});
    }

    tTranslation Run()
    {
        FOut.Pattern.reserve(FIn.size() + 16);
        while (FPos < FIn.size()) {
            if (FInClass)
                ClassItem();
            else
                Item();
        }
        FOut.Origin.push_back(FIn.size());
        return std::move(FOut);
    }

private:
    struct tScope
    {
        bool Caseless;
        bool Extended;
    };

    QChar At(qsizetype i) const noexcept { return i < FIn.size() ? FIn[i] : QChar(); }
    tScope &Scope() noexcept { return FScopes.back(); }

    void Emit(QStringView text, qsizetype origin)
    {
        FOut.Pattern += text;
        FOut.Origin.insert(FOut.Origin.end(), text.size(), origin);
    }

    void Copy(qsizetype count)
    {
        count = std::min(count, FIn.size() - FPos);
        for (qsizetype k = 0; k < count; ++k)
            Emit(FIn.sliced(FPos + k, 1), FPos + k);
        FPos += count;
    }

    // Copies up to and including the first unit of Ends, or to the end.
    void CopyThrough(QStringView ends)
    {
        qsizetype end = FPos;
        while (end < FIn.size() && !ends.contains(FIn[end]))
            ++end;
        Copy(end - FPos + 1);
    }

    void Item()
    {
        const QChar c = FIn[FPos];
        if (c == u'\\')
            Escape();
        else if (c == u'[')
            OpenClass();
        else if (c == u'(')
            OpenGroup();
        else if (c == u')')
            CloseGroup();
        else if (c == u'#' && Scope().Extended)
            CopyThrough(FCommentEnds);
        else
            Copy(1);
    }

    void ClassItem()
    {
        const QChar c = FIn[FPos];
        const bool hyphen = c == u'-';
        if (c == u'\\') {
            Escape();
        } else if (c == u'[' && IsPosixClass()) {
            CopyThrough(u"]");
        } else {
            FInClass = c != u']';
            Copy(1);
        }
        FAfterClassHyphen = hyphen;
    }

    void Escape()
    {
        const QChar next = At(FPos + 1);
        if (next == u'Q') {
            Quoted();
        } else if (next == u'c') {
            Copy(3); // \c takes the next unit whatever it is, a backslash too
        } else if (const QStringView set = Shorthand(next); !set.isEmpty()) {
            ClassShorthand(set);
        } else if (!FInClass && BackReference()) {
            return;
        } else {
            Copy(2);
        }
    }

    // A shorthand cannot end a range, so a hyphen beside it is a literal, as
    // in Perl; left bare beside the rewritten set it would make a range of
    // the set's first or last character.
    void ClassShorthand(QStringView set)
    {
        if (FInClass && FAfterClassHyphen && FOut.Pattern.endsWith(u'-')) {
            FOut.Pattern.insert(FOut.Pattern.size() - 1, u'\\');
            FOut.Origin.insert(FOut.Origin.end() - 1, FOut.Origin.back());
        }
        Emit(set, FPos);
        FPos += 2;
        if (FInClass && At(FPos) == u'-') {
            Emit(u"\\-", FPos);
            ++FPos;
        }
    }

    void Quoted()
    {
        const qsizetype end = FIn.indexOf(u"\\E", FPos + 2);
        Copy(end < 0 ? FIn.size() - FPos : end + 2 - FPos);
    }

    QStringView Shorthand(QChar letter) const
    {
        const bool caseless = FScopes.back().Caseless;
        switch (letter.unicode()) {
        case u'd':
            return FInClass ? u"0-9" : u"[0-9]";
        case u'D':
            return FInClass ? u"\\x{0}-\\x{2f}\\x{3a}-\\x{ffff}" : u"[^0-9]";
        case u'w':
            return FInClass ? u"0-9A-Za-z_" : u"[0-9A-Za-z_]";
        case u'W':
            if (!FInClass)
                return u"[^0-9A-Za-z_]";
            // Caseless, the Kelvin sign and the long s would drag in k and s.
            return caseless ? u"\\x{0}-\\x{2f}\\x{3a}-\\x{40}\\x{5b}-\\x{5e}\\x{60}\\x{7b}-\\x{17e}"
                              u"\\x{180}-\\x{2129}\\x{212b}-\\x{ffff}"
                            : u"\\x{0}-\\x{2f}\\x{3a}-\\x{40}\\x{5b}-\\x{5e}\\x{60}\\x{7b}-\\x{ffff}";
        case u's':
            return FInClass ? u"\\t\\n\\f\\r\\x{20}" : u"[\\t\\n\\f\\r\\x{20}]";
        case u'S':
            return FInClass ? u"\\x{0}-\\x{8}\\x{b}\\x{e}-\\x{1f}\\x{21}-\\x{ffff}"
                            : u"[^\\t\\n\\f\\r\\x{20}]";
        case u'b': // in a class: backspace
            return FInClass ? QStringView()
                            : u"(?:(?<=[0-9A-Za-z_])(?![0-9A-Za-z_])|(?<![0-9A-Za-z_])(?=[0-9A-Za-z_]))";
        case u'B':
            return FInClass ? QStringView()
                            : u"(?:(?<=[0-9A-Za-z_])(?=[0-9A-Za-z_])|(?<![0-9A-Za-z_])(?![0-9A-Za-z_]))";
        default:
            return {};
        }
    }

    void OpenClass()
    {
        Copy(1);
        if (At(FPos) == u'^')
            Copy(1);
        if (At(FPos) == u']') // a ] first is a member
            Copy(1);
        FInClass = true;
    }

    // [:name:], [.x.] and [=x=] inside a class.
    bool IsPosixClass() const
    {
        const QChar kind = At(FPos + 1);
        if (kind != u':' && kind != u'.' && kind != u'=')
            return false;
        const qsizetype close = FIn.indexOf(u']', FPos + 2);
        return close > FPos + 2 && FIn[close - 1] == kind;
    }

    void OpenGroup()
    {
        if (At(FPos + 1) == u'?' && At(FPos + 2) == u'#') {
            CopyThrough(u")");
            return;
        }
        if (At(FPos + 1) == u'?' && OptionSetting())
            return;
        if (FIn.sliced(FPos).startsWith(u"(?P=") && NamedReference(FPos + 4, u')'))
            return;
        if (OpensCapture())
            ++FOpened;
        FScopes.push_back(Scope());
        Copy(1);
    }

    bool OpensCapture() const
    {
        const QChar next = At(FPos + 1);
        if (next == u'*')
            return false;
        if (next != u'?')
            return true;
        const QStringView rest = FIn.sliced(FPos + 2);
        if (rest.startsWith(u"P<") || rest.startsWith(u'\''))
            return true;
        return rest.startsWith(u'<') && !rest.startsWith(u"<=") && !rest.startsWith(u"<!");
    }

    // --- back-references under (?i) ---

    static bool IsDigit(QChar c) noexcept { return c >= u'0' && c <= u'9'; }

    qsizetype DigitsEnd(qsizetype from) const
    {
        while (from < FIn.size() && IsDigit(FIn[from]))
            ++from;
        return from;
    }

    static int Number(QStringView digits)
    {
        long long n = 0;
        for (const QChar c : digits)
            n = std::min<long long>(n * 10 + (c.unicode() - u'0'), INT_MAX);
        return int(n);
    }

    // At a backslash outside a class: \1, \g1, \g{1}, \g{-1}, \g{name},
    // \k<name>, \k'name', \k{name}.
    bool BackReference()
    {
        if (!FGroups || !Scope().Caseless)
            return false;
        const QChar next = At(FPos + 1);
        if (next >= u'1' && next <= u'9') {
            const qsizetype end = DigitsEnd(FPos + 1);
            const int number = Number(FIn.sliced(FPos + 1, end - FPos - 1));
            // Otherwise the engine reads the digits as an octal character.
            const bool reference =
                number < 10 || next >= u'8' || (FGroups->CountReliable && number <= FOpened);
            if (!reference)
                return false;
            EmitReference({number}, end);
            return true;
        }
        if (next == u'k') {
            const QChar open = At(FPos + 2);
            const QChar close = open == u'<' ? u'>' : open == u'{' ? u'}' : open == u'\'' ? u'\'' : QChar();
            return !close.isNull() && NamedReference(FPos + 3, close);
        }
        if (next != u'g')
            return false;
        const bool braced = At(FPos + 2) == u'{';
        qsizetype from = FPos + (braced ? 3 : 2);
        const bool relative = At(from) == u'-';
        if (relative)
            ++from;
        const qsizetype end = DigitsEnd(from);
        if (end > from && (!braced || At(end) == u'}')) {
            int number = Number(FIn.sliced(from, end - from));
            if (relative) {
                if (!FGroups->CountReliable)
                    return false;
                number = FOpened - number + 1;
            }
            if (number < 1)
                return false;
            EmitReference({number}, braced ? end + 1 : end);
            return true;
        }
        return braced && !relative && NamedReference(FPos + 3, u'}');
    }

    // A reference by the name from NameStart up to Close.
    bool NamedReference(qsizetype nameStart, QChar close)
    {
        if (!FGroups || !Scope().Caseless)
            return false;
        const qsizetype end = FIn.indexOf(close, nameStart);
        if (end <= nameStart)
            return false;
        const auto found = FGroups->Names.find(FIn.sliced(nameStart, end - nameStart).toString());
        if (found == FGroups->Names.end())
            return false;
        EmitReference(found->second, end + 1);
        return true;
    }

    void EmitReference(const std::vector<int> &groups, qsizetype end)
    {
        QString compare = QStringLiteral("(?C{") + CompareCallout;
        for (std::size_t i = 0; i < groups.size(); ++i)
            compare += (i ? QStringLiteral(",") : QString()) + QString::number(groups[i]);
        compare += QStringLiteral("})");
        Emit(u"(?>(?!)", FPos);
        Copy(end - FPos);
        Emit(QStringLiteral("|") + compare + QStringLiteral("[\\s\\S]*?(?C{") + EndCallout +
                 QStringLiteral("}))"),
             end - 1);
    }

    void CloseGroup()
    {
        if (FScopes.size() > 1)
            FScopes.pop_back();
        Copy(1);
    }

    // (?imsx-imsx) and (?imsx-imsx: ...). The dialect's g (greedy) is the
    // opposite of PCRE2's U; its r (Russian ranges) has no counterpart and
    // is dropped.
    bool OptionSetting()
    {
        qsizetype end = FPos + 2;
        while (end < FIn.size() && QStringView(u"imnsxUJgr^-").contains(FIn[end]))
            ++end;
        if (end >= FIn.size() || (FIn[end] != u')' && FIn[end] != u':'))
            return false;

        tScope scope = Scope();
        QString set, unset;
        bool on = true;
        for (const QChar letter : FIn.sliced(FPos + 2, end - FPos - 2)) {
            QString &own = on ? set : unset;
            switch (letter.unicode()) {
            case u'-':
                on = false;
                break;
            case u'^':
                scope = {false, false};
                own += letter;
                break;
            case u'g':
                (on ? unset : set) += u'U';
                break;
            case u'r':
                break;
            case u'i':
                scope.Caseless = on;
                own += letter;
                break;
            case u'x':
                scope.Extended = on;
                own += letter;
                break;
            default:
                own += letter;
            }
        }
        const bool opensGroup = FIn[end] == u':';
        QString group = QStringLiteral("(?") + set;
        if (!unset.isEmpty())
            group += QLatin1Char('-') + unset;
        group += FIn[end];
        Emit(group, FPos);
        FPos = end + 1;
        if (opensGroup)
            FScopes.push_back(scope);
        else
            Scope() = scope;
        return true;
    }

    QStringView FIn;
    QStringView FCommentEnds;
    const tGroupInfo *FGroups;
    qsizetype FPos = 0;
    bool FInClass = false;
    bool FAfterClassHyphen = false; // the last class item was a bare hyphen
    int FOpened = 0;                // capture groups opened so far
    std::vector<tScope> FScopes;    // innermost last
    tTranslation FOut;
};

tGroupInfo GroupInfo(const pcre2_code *code, QStringView expression)
{
    tGroupInfo info;
    uint32_t count = 0, entrySize = 0;
    PCRE2_SPTR table = nullptr;
    pcre2_pattern_info(code, PCRE2_INFO_NAMECOUNT, &count);
    pcre2_pattern_info(code, PCRE2_INFO_NAMEENTRYSIZE, &entrySize);
    pcre2_pattern_info(code, PCRE2_INFO_NAMETABLE, &table);
    for (uint32_t i = 0; i < count && table; ++i) {
        // Each entry: the group number, then the name, ended by a zero.
        const PCRE2_SPTR entry = table + std::size_t(i) * entrySize;
        const auto *name = reinterpret_cast<const char16_t *>(entry + 1);
        info.Names[QString::fromUtf16(name)].push_back(int(entry[0]));
    }
    // Branch resets and (?n) number groups other than by their order.
    static const QRegularExpression noAutoCapture(QStringLiteral("\\(\\?[a-zA-Z^]*n[a-zA-Z^-]*[:)]"));
    info.CountReliable = !expression.contains(u"(?|") && !noAutoCapture.match(expression).hasMatch();
    return info;
}

// ---------------------------------------------------------------------------
// Substitution templates, parsed once per Replace.

enum class tCaseChange
{
    None,
    Lower,
    Upper
};

struct tTemplatePart
{
    enum tKind
    {
        Text,
        Group,
        CaseOfNext,
        CaseOfRest
    };
    tKind Kind;
    QString Literal;
    int GroupNo = 0;
    tCaseChange Case = tCaseChange::None;
    qsizetype Position = 0; // of a group reference in the template
};

using tTemplate = std::vector<tTemplatePart>;

bool IsAsciiDigit(QChar c) noexcept
{
    return c >= u'0' && c <= u'9';
}

// The group a $ at Pos names, and where the reference ends; -1 for none.
int ParseGroupReference(QStringView templ, qsizetype &pos)
{
    const QChar next = pos + 1 < templ.size() ? templ[pos + 1] : QChar();
    if (IsAsciiDigit(next)) {
        pos += 2;
        return next.unicode() - u'0';
    }
    if (next == u'&') {
        pos += 2;
        return 0;
    }
    if (next != u'{')
        return -1;
    qsizetype end = pos + 2;
    long long number = 0;
    while (end < templ.size() && IsAsciiDigit(templ[end]))
        number = std::min<long long>(number * 10 + (templ[end++].unicode() - u'0'), INT_MAX);
    if (end == pos + 2 || end >= templ.size() || templ[end] != u'}')
        return -1;
    pos = end + 1;
    return int(number);
}

tTemplate ParseTemplate(QStringView templ, const QString &lineEnd)
{
    tTemplate parts;
    QString text;
    const auto flush = [&] {
        if (!text.isEmpty())
            parts.push_back({tTemplatePart::Text, std::exchange(text, {})});
    };
    const auto caseChange = [&](tTemplatePart::tKind kind, tCaseChange change) {
        flush();
        parts.push_back({kind, {}, 0, change});
    };
    qsizetype pos = 0;
    while (pos < templ.size()) {
        const QChar c = templ[pos];
        if (c == u'$') {
            const qsizetype at = pos;
            if (const int group = ParseGroupReference(templ, pos); group >= 0) {
                flush();
                parts.push_back({tTemplatePart::Group, {}, group, tCaseChange::None, at});
                continue;
            }
        } else if (c == u'\\' && pos + 1 < templ.size()) {
            const QChar escaped = templ[pos + 1];
            pos += 2;
            switch (escaped.unicode()) {
            case u'n':
                text += lineEnd;
                break;
            case u'l':
                caseChange(tTemplatePart::CaseOfNext, tCaseChange::Lower);
                break;
            case u'u':
                caseChange(tTemplatePart::CaseOfNext, tCaseChange::Upper);
                break;
            case u'L':
                caseChange(tTemplatePart::CaseOfRest, tCaseChange::Lower);
                break;
            case u'U':
                caseChange(tTemplatePart::CaseOfRest, tCaseChange::Upper);
                break;
            default:
                text += escaped;
            }
            continue;
        }
        text += c;
        ++pos;
    }
    flush();
    return parts;
}

// Appends text with the case changes in force.
class cCaseWriter
{
public:
    explicit cCaseWriter(QString &out) : FOut(out) {}

    void SetNext(tCaseChange change) noexcept { FNext = change; }
    void SetRest(tCaseChange change) noexcept { FRest = change; }

    void Write(QStringView text)
    {
        if (FNext == tCaseChange::None && FRest == tCaseChange::None) {
            FOut += text;
            return;
        }
        for (const QChar c : text) {
            FOut += Changed(c, FNext != tCaseChange::None ? FNext : FRest);
            FNext = tCaseChange::None;
        }
    }

private:
    static QChar Changed(QChar c, tCaseChange change) noexcept
    {
        switch (change) {
        case tCaseChange::Lower:
            return c.toLower();
        case tCaseChange::Upper:
            return c.toUpper();
        default:
            return c;
        }
    }

    QString &FOut;
    tCaseChange FNext = tCaseChange::None;
    tCaseChange FRest = tCaseChange::None;
};

void Expand(const tTemplate &parts, const TRegExpr &regex, QString &out)
{
    cCaseWriter writer(out);
    for (const tTemplatePart &part : parts) {
        switch (part.Kind) {
        case tTemplatePart::Text:
            writer.Write(part.Literal);
            break;
        case tTemplatePart::Group:
            if (const int pos = regex.MatchPos(part.GroupNo); pos > 0)
                writer.Write(QStringView(regex.InputString()).sliced(pos - 1, regex.MatchLen(part.GroupNo)));
            break;
        case tTemplatePart::CaseOfNext:
            writer.SetNext(part.Case);
            break;
        case tTemplatePart::CaseOfRest:
            writer.SetRest(part.Case);
            break;
        }
    }
}

// A reference to a group the expression does not have would silently give
// nothing; it is refused, at its place in the template.
void CheckGroups(const tTemplate &parts, int captureCount)
{
    for (const tTemplatePart &part : parts)
        if (part.Kind == tTemplatePart::Group && part.GroupNo > captureCount)
            throw ERegExpr(QStringLiteral("reference to non-existent group %1 in the replacement")
                               .arg(QString::number(part.GroupNo)),
                           0, int(part.Position));
}

bool IsInsideSurrogatePair(QStringView text, qsizetype pos) noexcept
{
    return pos > 0 && pos < text.size() && text[pos - 1].isHighSurrogate() && text[pos].isLowSurrogate();
}

} // namespace

// ---------------------------------------------------------------------------

ERegExpr::ERegExpr(QString message, int errorCode, int errorOffset)
    : eException(std::move(message)), FErrorCode(errorCode), FErrorOffset(errorOffset)
{}

// One compiled pattern with what matching it needs, reused for every match.
class TRegExpr::cProgram
{
public:
    explicit cProgram(tCodePtr code)
        : FCode(std::move(code)), FMatchData(pcre2_match_data_create_from_pattern(FCode.get(), nullptr)),
          FContext(pcre2_match_context_create(nullptr))
    {
        if (!FMatchData || !FContext)
            throw std::bad_alloc();
        uint32_t captures = 0;
        pcre2_pattern_info(FCode.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
        FCaptureCount = int(captures);
        pcre2_set_callout(FContext.get(), &cProgram::Callout, this);
        FJit = pcre2_jit_compile(FCode.get(), PCRE2_JIT_COMPLETE) == 0;
        if (FJit) {
            FJitStack.reset(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
            if (FJitStack)
                pcre2_jit_stack_assign(FContext.get(), nullptr, FJitStack.get());
        }
    }

    // The number of groups set (the whole match counting as one), or PCRE2's
    // negative error code.
    // No match starts after Limit (-1: anywhere).
    int Match(QStringView subject, qsizetype from, qsizetype limit = -1)
    {
        if (limit != FLimit) {
            pcre2_set_offset_limit(FContext.get(), limit < 0 ? PCRE2_UNSET : PCRE2_SIZE(limit));
            FLimit = limit;
        }
        const int rc = Run(subject, from);
        // 0: the ovector was too small, which a block sized from the pattern
        // never is; count it as full all the same.
        return rc == 0 ? int(pcre2_get_ovector_count(FMatchData.get())) : rc;
    }

    const PCRE2_SIZE *Ovector() const noexcept { return pcre2_get_ovector_pointer(FMatchData.get()); }
    int CaptureCount() const noexcept { return FCaptureCount; }

private:
    // The callouts of a back-reference under (?i); 0 goes on, 1 fails here.
    static int Callout(pcre2_callout_block *block, void *data)
    {
        auto *self = static_cast<cProgram *>(data);
        const QStringView name(reinterpret_cast<const char16_t *>(block->callout_string),
                               qsizetype(block->callout_string_length));
        if (name.isEmpty())
            return 0;
        const auto position = qsizetype(block->current_position);
        if (name[0] == EndCallout)
            return position == self->FReferenceEnd ? 0 : 1;
        if (name[0] != CompareCallout)
            return 0;
        // The first group of the list that took part, as for a duplicate name.
        for (const QStringView number : name.sliced(1).split(u',')) {
            const uint32_t group = number.toUInt();
            if (group >= block->capture_top || block->offset_vector[2 * group] == PCRE2_UNSET)
                continue;
            const auto start = qsizetype(block->offset_vector[2 * group]);
            const auto length = qsizetype(block->offset_vector[2 * group + 1]) - start;
            if (position + length > qsizetype(block->subject_length))
                return 1;
            const auto *subject = reinterpret_cast<const char16_t *>(block->subject);
            for (qsizetype i = 0; i < length; ++i)
                if (QChar::toCaseFolded(subject[start + i]) != QChar::toCaseFolded(subject[position + i]))
                    return 1;
            self->FReferenceEnd = position + length;
            return 0;
        }
        return 1; // a reference to a group that did not take part matches nothing
    }

    int Run(QStringView subject, qsizetype from)
    {
        if (FJit) {
            const int rc = pcre2_jit_match(FCode.get(), Units(subject), subject.size(), from, 0,
                                           FMatchData.get(), FContext.get());
            if (rc != PCRE2_ERROR_JIT_STACKLIMIT)
                return rc;
        }
        // The interpreter keeps its backtracking on the heap, so it goes on
        // where the JIT stack ran out.
        return pcre2_match(FCode.get(), Units(subject), subject.size(), from, FJit ? PCRE2_NO_JIT : 0,
                           FMatchData.get(), FContext.get());
    }

    tCodePtr FCode;
    tMatchDataPtr FMatchData;
    tMatchContextPtr FContext;
    tJitStackPtr FJitStack;
    bool FJit = false;
    int FCaptureCount = 0;
    qsizetype FReferenceEnd = 0; // where the back-reference being matched ends
    qsizetype FLimit = -1;
};

TRegExpr::TRegExpr()
    : FLineSeparators(QStringLiteral("\r\n\v\f\u0085\u2028\u2029")),
      FLinePairedSeparator(QStringLiteral("\r\n")), FReplaceLineEnd(QStringLiteral("\r"))
{}

TRegExpr::TRegExpr(const QString &expression) : TRegExpr()
{
    FExpression = expression;
}

TRegExpr::~TRegExpr() = default;
TRegExpr::TRegExpr(TRegExpr &&) noexcept = default;
TRegExpr &TRegExpr::operator=(TRegExpr &&) noexcept = default;

void TRegExpr::Invalidate() noexcept
{
    FProgram.reset();
    FMatchCount = 0;
}

void TRegExpr::SetExpression(const QString &expression)
{
    if (expression != FExpression) {
        FExpression = expression;
        Invalidate();
    }
}

void TRegExpr::SetModifierI(bool on)
{
    if (on != FModifierI) {
        FModifierI = on;
        Invalidate();
    }
}

void TRegExpr::SetModifierM(bool on)
{
    if (on != FModifierM) {
        FModifierM = on;
        Invalidate();
    }
}

void TRegExpr::SetLineSeparators(const QString &separators)
{
    FLineSeparators = separators;
    Invalidate();
}

void TRegExpr::SetLinePairedSeparator(const QString &separator)
{
    FLinePairedSeparator = separator;
    Invalidate();
}

void TRegExpr::SetInputString(const QString &input)
{
    FInputString = input;
    FMatchCount = 0;
}

void TRegExpr::Compile()
{
    Invalidate();
    const uint32_t newline = NewlineConvention(FLineSeparators, FLinePairedSeparator);
    const QString commentEnds = FLineSeparators + FLinePairedSeparator;
    tTranslation translation = cPatternTranslator(FExpression, FModifierI, commentEnds).Run();

    tCompileContextPtr context(pcre2_compile_context_create(nullptr));
    if (!context)
        throw std::bad_alloc();
    pcre2_set_newline(context.get(), newline);

    uint32_t options = kBaseOptions;
    if (FModifierI)
        options |= PCRE2_CASELESS;
    if (FModifierM)
        options |= PCRE2_MULTILINE;
    const auto compile = [&](const QString &pattern, int &errorCode, PCRE2_SIZE &errorOffset) {
        return tCodePtr(
            pcre2_compile(Units(pattern), pattern.size(), options, &errorCode, &errorOffset, context.get()));
    };
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    tCodePtr code = compile(translation.Pattern, errorCode, errorOffset);
    if (!code) {
        const size_t at = std::min<size_t>(errorOffset, translation.Origin.size() - 1);
        throw ERegExpr(EngineMessage(errorCode), errorCode, int(translation.Origin[at]));
    }

    uint32_t backReferences = 0;
    pcre2_pattern_info(code.get(), PCRE2_INFO_BACKREFMAX, &backReferences);
    if (backReferences > 0) {
        const tGroupInfo groups = GroupInfo(code.get(), FExpression);
        const tTranslation folding = cPatternTranslator(FExpression, FModifierI, commentEnds, &groups).Run();
        // A form the engine refuses (a reference in a lookbehind) keeps the
        // first program, which the engine accepted.
        if (folding.Pattern != translation.Pattern)
            if (tCodePtr folded = compile(folding.Pattern, errorCode, errorOffset))
                code = std::move(folded);
    }
    FProgram = std::make_unique<cProgram>(std::move(code));
}

void TRegExpr::EnsureCompiled()
{
    if (!FProgram)
        Compile();
}

bool TRegExpr::Search(qsizetype from)
{
    EnsureCompiled();
    FMatchCount = 0;
    // A long search that shows its progress tries a stretch of start places
    // at a time; the match found is the same, as the text around each
    // stretch is still seen. Not so for \G, which would match at each
    // stretch, nor for verbs such as (*COMMIT), which end a search.
    cProgress *const progress = cProgress::Current();
    const bool stretched = progress && FInputString.size() - from > kSearchStretch &&
                           !FExpression.contains(QLatin1String("\\G")) &&
                           !FExpression.contains(QLatin1String("(*"));
    while (from <= FInputString.size()) {
        const qsizetype limit =
            stretched && FInputString.size() - from > kSearchStretch ? from + kSearchStretch - 1 : -1;
        const int rc = FProgram->Match(FInputString, from, limit);
        if (rc == PCRE2_ERROR_NOMATCH && limit >= 0) {
            progress->Step(limit);
            from = limit + 1;
            continue;
        }
        if (rc == PCRE2_ERROR_NOMATCH)
            return false;
        if (rc < 0)
            throw ERegExpr(EngineMessage(rc), rc);
        const PCRE2_SIZE *ovector = FProgram->Ovector();
        // Text put between the halves of a pair would break the character.
        if (ovector[0] == ovector[1] && IsInsideSurrogatePair(FInputString, qsizetype(ovector[0]))) {
            from = qsizetype(ovector[0]) + 1;
            continue;
        }
        FMatchCount = rc;
        return true;
    }
    return false;
}

qsizetype TRegExpr::NextSearchStart() const noexcept
{
    const PCRE2_SIZE *ovector = FProgram->Ovector();
    const auto start = qsizetype(ovector[0]);
    const auto end = qsizetype(ovector[1]);
    if (end > start)
        return end;
    // After an empty match one character further; a surrogate pair is one.
    return IsInsideSurrogatePair(FInputString, start + 1) ? start + 2 : start + 1;
}

bool TRegExpr::Exec()
{
    return Search(0);
}

bool TRegExpr::ExecPos(int offset)
{
    if (offset < 1 || offset > FInputString.size() + 1) {
        FMatchCount = 0;
        return false;
    }
    return Search(offset - 1);
}

bool TRegExpr::ExecNext()
{
    return FMatchCount > 0 && Search(NextSearchStart());
}

int TRegExpr::SubExprMatchCount() const noexcept
{
    return FMatchCount - 1;
}

int TRegExpr::MatchPos(int i) const noexcept
{
    if (i < 0 || i >= FMatchCount)
        return -1;
    const PCRE2_SIZE start = FProgram->Ovector()[2 * i];
    return start == PCRE2_UNSET ? -1 : int(start) + 1;
}

int TRegExpr::MatchLen(int i) const noexcept
{
    if (MatchPos(i) < 0)
        return -1;
    const PCRE2_SIZE *ovector = FProgram->Ovector();
    return int(ovector[2 * i + 1] - ovector[2 * i]);
}

QString TRegExpr::Match(int i) const
{
    const int pos = MatchPos(i);
    return pos < 0 ? QString() : FInputString.sliced(pos - 1, MatchLen(i));
}

void TRegExpr::CheckTemplate(const QString &templ)
{
    EnsureCompiled();
    CheckGroups(ParseTemplate(templ, FReplaceLineEnd), FProgram->CaptureCount());
}

QString TRegExpr::Substitute(const QString &templ) const
{
    const tTemplate parts = ParseTemplate(templ, FReplaceLineEnd);
    if (FProgram)
        CheckGroups(parts, FProgram->CaptureCount());
    QString out;
    Expand(parts, *this, out);
    return out;
}

QString TRegExpr::Replace(const QString &input, const QString &templ, bool useSubstitution, int *count,
                          std::vector<tReplacedMatch> *matches)
{
    return ReplaceIn(input, templ, useSubstitution, count, matches, true);
}

QString TRegExpr::Replacements(const QString &input, const QString &templ, bool useSubstitution,
                               std::vector<tReplacedMatch> &matches)
{
    return ReplaceIn(input, templ, useSubstitution, nullptr, &matches, false);
}

QString TRegExpr::ReplaceIn(const QString &input, const QString &templ, bool useSubstitution, int *count,
                            std::vector<tReplacedMatch> *matches, bool keepText)
{
    SetInputString(input);
    EnsureCompiled();
    const tTemplate parts =
        useSubstitution ? ParseTemplate(templ, FReplaceLineEnd) : tTemplate{{tTemplatePart::Text, templ}};
    CheckGroups(parts, FProgram->CaptureCount());
    const QStringView source(FInputString);
    QString out;
    if (keepText)
        out.reserve(source.size());
    qsizetype copied = 0;
    int replaced = 0;
    cProgress *const progress = cProgress::Current();
    for (bool found = Search(0); found; found = Search(NextSearchStart())) {
        const PCRE2_SIZE *ovector = FProgram->Ovector();
        if (progress)
            progress->Step(qint64(ovector[0]));
        if (keepText)
            out += source.sliced(copied, qsizetype(ovector[0]) - copied);
        const qsizetype outStart = out.size();
        Expand(parts, *this, out);
        if (matches)
            matches->push_back(
                {qsizetype(ovector[0]), qsizetype(ovector[1] - ovector[0]), outStart, out.size() - outStart});
        copied = qsizetype(ovector[1]);
        ++replaced;
    }
    if (keepText)
        out += source.sliced(copied);
    if (count)
        *count = replaced;
    return out;
}
