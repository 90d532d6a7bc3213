#include "editor/editing/RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <QStringView>

#include <algorithm>
#include <climits>
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
//   by Unicode in UTF mode only, so there it folds ASCII.
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

constexpr uint32_t kBaseOptions =
    PCRE2_UCP | PCRE2_NEVER_UTF | PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX;
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

class cPatternTranslator
{
public:
    cPatternTranslator(QStringView expression, bool caseless, QStringView commentEnds)
        : FIn(expression), FCommentEnds(commentEnds)
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
        if (c == u'\\') {
            Escape();
        } else if (c == u'[' && IsPosixClass()) {
            CopyThrough(u"]");
        } else {
            FInClass = c != u']';
            Copy(1);
        }
    }

    void Escape()
    {
        const QChar next = At(FPos + 1);
        if (next == u'Q') {
            Quoted();
        } else if (next == u'c') {
            Copy(3); // \c takes the next unit whatever it is, a backslash too
        } else if (const QStringView set = Shorthand(next); !set.isEmpty()) {
            Emit(set, FPos);
            FPos += 2;
        } else {
            Copy(2);
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
        FScopes.push_back(Scope());
        Copy(1);
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
    qsizetype FPos = 0;
    bool FInClass = false;
    std::vector<tScope> FScopes; // innermost last
    tTranslation FOut;
};

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
            if (const int group = ParseGroupReference(templ, pos); group >= 0) {
                flush();
                parts.push_back({tTemplatePart::Group, {}, group});
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
        FJit = pcre2_jit_compile(FCode.get(), PCRE2_JIT_COMPLETE) == 0;
        if (FJit) {
            FJitStack.reset(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
            if (FJitStack)
                pcre2_jit_stack_assign(FContext.get(), nullptr, FJitStack.get());
        }
    }

    // The number of groups set (the whole match counting as one), or PCRE2's
    // negative error code.
    int Match(QStringView subject, qsizetype from)
    {
        const int rc = Run(subject, from);
        // 0: the ovector was too small, which a block sized from the pattern
        // never is; count it as full all the same.
        return rc == 0 ? int(pcre2_get_ovector_count(FMatchData.get())) : rc;
    }

    const PCRE2_SIZE *Ovector() const noexcept { return pcre2_get_ovector_pointer(FMatchData.get()); }

private:
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
    const tTranslation translation =
        cPatternTranslator(FExpression, FModifierI, FLineSeparators + FLinePairedSeparator).Run();

    tCompileContextPtr context(pcre2_compile_context_create(nullptr));
    if (!context)
        throw std::bad_alloc();
    pcre2_set_newline(context.get(), newline);

    uint32_t options = kBaseOptions;
    if (FModifierI)
        options |= PCRE2_CASELESS;
    if (FModifierM)
        options |= PCRE2_MULTILINE;
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    tCodePtr code(pcre2_compile(Units(translation.Pattern), translation.Pattern.size(), options, &errorCode,
                                &errorOffset, context.get()));
    if (!code) {
        const size_t at = std::min<size_t>(errorOffset, translation.Origin.size() - 1);
        throw ERegExpr(EngineMessage(errorCode), errorCode, int(translation.Origin[at]));
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
    while (from <= FInputString.size()) {
        const int rc = FProgram->Match(FInputString, from);
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

QString TRegExpr::Substitute(const QString &templ) const
{
    QString out;
    Expand(ParseTemplate(templ, FReplaceLineEnd), *this, out);
    return out;
}

QString TRegExpr::Replace(const QString &input, const QString &templ, bool useSubstitution, int *count)
{
    SetInputString(input);
    const tTemplate parts =
        useSubstitution ? ParseTemplate(templ, FReplaceLineEnd) : tTemplate{{tTemplatePart::Text, templ}};
    const QStringView source(FInputString);
    QString out;
    out.reserve(source.size());
    qsizetype copied = 0;
    int replaced = 0;
    for (bool found = Search(0); found; found = Search(NextSearchStart())) {
        const PCRE2_SIZE *ovector = FProgram->Ovector();
        out += source.sliced(copied, qsizetype(ovector[0]) - copied);
        Expand(parts, *this, out);
        copied = qsizetype(ovector[1]);
        ++replaced;
    }
    out += source.sliced(copied);
    if (count)
        *count = replaced;
    return out;
}
