// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/TextBuffer.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <new>
#include <random>
#include <string>

namespace {} // namespace

void PrintTo(tLineBreak b, std::ostream *out)
{
    static const char *const names[] = {"None", "LF", "CR", "CRLF"};
    *out << names[int(b)];
}

namespace {

// The plain model: units with marks as CR, and one break per line.
struct tModel
{
    std::u16string Units;
    std::vector<tLineBreak> Breaks{tLineBreak::None};

    int LineOf(size_t pos) const
    {
        return int(std::count(Units.begin(), Units.begin() + std::ptrdiff_t(pos), u'\r'));
    }
    // CR LF, CR and LF each become one mark; marks take Given in order, then Fallback.
    void Insert(size_t pos, const std::u16string &text, const std::vector<tLineBreak> &given,
                tLineBreak fallback)
    {
        std::u16string units;
        std::vector<tLineBreak> breaks;
        for (size_t i = 0; i < text.size(); ++i) {
            const char16_t c = text[i];
            if (c != u'\r' && c != u'\n') {
                units += c;
                continue;
            }
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            units += u'\r';
            const size_t k = breaks.size();
            breaks.push_back(k < given.size() && given[k] != tLineBreak::None ? given[k] : fallback);
        }
        const int line = LineOf(pos);
        Units.insert(pos, units);
        Breaks.insert(Breaks.begin() + line, breaks.begin(), breaks.end());
    }
    void Delete(size_t pos, size_t length)
    {
        const int line = LineOf(pos);
        const int marks = int(std::count(Units.begin() + std::ptrdiff_t(pos),
                                         Units.begin() + std::ptrdiff_t(pos + length), u'\r'));
        Units.erase(pos, length);
        Breaks.erase(Breaks.begin() + line, Breaks.begin() + line + marks);
    }
    std::vector<int> LineStarts() const
    {
        std::vector<int> starts{0};
        for (size_t i = 0; i < Units.size(); ++i)
            if (Units[i] == u'\r')
                starts.push_back(int(i + 1));
        return starts;
    }
    std::u16string WithBreaks() const
    {
        std::u16string out;
        int line = 0;
        for (const char16_t c : Units) {
            if (c != u'\r') {
                out += c;
                continue;
            }
            switch (Breaks[size_t(line++)]) {
            case tLineBreak::CRLF:
                out += u"\r\n";
                break;
            case tLineBreak::LF:
                out += u'\n';
                break;
            default:
                out += u'\r';
                break;
            }
        }
        return out;
    }
    // The break most lines end with; on a tie the earlier of CR LF, LF, CR;
    // LF when no line has one.
    tLineBreak Dominant() const
    {
        tLineBreak best = tLineBreak::LF;
        long most = 0;
        for (const tLineBreak candidate : {tLineBreak::CRLF, tLineBreak::LF, tLineBreak::CR}) {
            const long lines = std::count(Breaks.begin(), Breaks.end(), candidate);
            if (lines > most) {
                best = candidate;
                most = lines;
            }
        }
        return best;
    }
};

// A file's text: each break as written.
tModel ModelOfFile(const std::u16string &text)
{
    tModel model;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            model.Insert(model.Units.size(), u"\r", {tLineBreak::CRLF}, tLineBreak::CRLF);
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            const tLineBreak b = c == u'\r' ? tLineBreak::CR : tLineBreak::LF;
            model.Insert(model.Units.size(), u"\r", {b}, b);
        } else {
            model.Units += c;
        }
    }
    return model;
}

QString Q(const std::u16string &s)
{
    return QString(reinterpret_cast<const QChar *>(s.data()), qsizetype(s.size()));
}

std::u16string U(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
}

void ExpectSame(const cTextBuffer &buffer, const tModel &model, std::mt19937 &random)
{
    ASSERT_EQ(buffer.Length(), int(model.Units.size()));
    ASSERT_EQ(U(buffer.Text(0, buffer.Length())), model.Units);
    const std::vector<int> starts = model.LineStarts();
    ASSERT_EQ(buffer.LineCount(), int(starts.size()));
    ASSERT_EQ(model.Breaks.size(), starts.size());
    for (int line = 0; line < int(starts.size()); ++line) {
        ASSERT_EQ(buffer.LineStart(line), starts[size_t(line)]) << "line " << line;
        const int end =
            line + 1 < int(starts.size()) ? starts[size_t(line) + 1] - 1 : int(model.Units.size());
        ASSERT_EQ(buffer.LineEnd(line), end) << "line " << line;
        ASSERT_EQ(buffer.LineBreak(line), model.Breaks[size_t(line)]) << "line " << line;
    }
    for (int i = 0; i < 8; ++i) {
        const int pos = std::uniform_int_distribution<int>(0, buffer.Length())(random);
        ASSERT_EQ(buffer.LineFromPosition(pos), model.LineOf(size_t(pos))) << "position " << pos;
    }
    ASSERT_EQ(U(buffer.TextWithBreaks()), model.WithBreaks());
    ASSERT_EQ(buffer.DominantBreak(), model.Dominant());
}

// Short pieces that exercise every kind of break, and text that only looks like one.
std::u16string RandomText(std::mt19937 &random, int maxPieces)
{
    static const std::u16string pieces[] = {u"a",      u"bc",           u"word ",      u"\r",
                                            u"\n",     u"\r\n",         u"\r\r\n\n",   u"\u2029",
                                            u"\u2028", u"\uFDD0\uFDD1", u"\U0001F600", u"\t"};
    const int count = std::uniform_int_distribution<int>(0, maxPieces)(random);
    std::u16string text;
    for (int i = 0; i < count; ++i)
        text += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];
    return text;
}

tLineBreak RandomBreak(std::mt19937 &random, bool allowNone)
{
    static const tLineBreak all[] = {tLineBreak::None, tLineBreak::LF, tLineBreak::CR, tLineBreak::CRLF};
    return all[std::uniform_int_distribution<int>(allowNone ? 0 : 1, 3)(random)];
}

TEST(TextBuffer, RandomEditsMatchAPlainStringModel)
{
    for (unsigned seed = 1; seed <= 1500; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        cTextBuffer buffer;
        tModel model;
        // The last seeds edit long texts at length, so the line index's
        // pending shift travels far in both directions.
        const bool longRun = seed > 1450;
        if (seed % 3 == 0 || longRun) {
            const std::u16string initial = RandomText(random, longRun ? 2000 : 40);
            buffer.SetText(Q(initial));
            model = ModelOfFile(initial);
        }
        ASSERT_NO_FATAL_FAILURE(ExpectSame(buffer, model, random));
        for (int step = 0; step < (longRun ? 300 : 30); ++step) {
            const int length = buffer.Length();
            const int pos = std::uniform_int_distribution<int>(0, length)(random);
            // Edits cluster near the last one often, as typing does.
            const int span = std::uniform_int_distribution<int>(0, std::min(length - pos, 12))(random);
            switch (std::uniform_int_distribution<int>(0, 5)(random)) {
            case 0:
            case 1: {
                const std::u16string text = RandomText(random, 6);
                const tLineBreak b = RandomBreak(random, true);
                const tLineBreak fallback = b == tLineBreak::None ? model.Dominant() : b;
                buffer.Insert(pos, Q(text), b);
                model.Insert(size_t(pos), text, {}, fallback);
                break;
            }
            case 2:
                buffer.Delete(pos, span);
                model.Delete(size_t(pos), size_t(span));
                break;
            case 3: {
                const std::u16string text = RandomText(random, 4);
                const tLineBreak b = RandomBreak(random, true);
                // The marks take the break that dominated before the change.
                const tLineBreak fallback = b == tLineBreak::None ? model.Dominant() : b;
                buffer.Replace(pos, span, Q(text), b);
                model.Delete(size_t(pos), size_t(span));
                model.Insert(size_t(pos), text, {}, fallback);
                break;
            }
            case 4: {
                const std::u16string text = RandomText(random, 6);
                std::vector<tLineBreak> breaks;
                for (int i = std::uniform_int_distribution<int>(0, 8)(random); i > 0; --i)
                    breaks.push_back(RandomBreak(random, false));
                const tLineBreak fallback = model.Dominant();
                buffer.Restore(pos, Q(text), breaks);
                model.Insert(size_t(pos), text, breaks, fallback);
                break;
            }
            case 5: {
                const int end = std::uniform_int_distribution<int>(pos, buffer.Length())(random);
                ASSERT_EQ(U(buffer.Contiguous(pos, end).toString()),
                          model.Units.substr(size_t(pos), size_t(end - pos)));
                ASSERT_EQ(U(buffer.Contiguous().toString()), model.Units);
                break;
            }
            }
            ASSERT_NO_FATAL_FAILURE(ExpectSame(buffer, model, random));
        }
    }
}

TEST(TextBuffer, LoadingInRandomPiecesEqualsSetText)
{
    for (unsigned seed = 1; seed <= 400; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        std::u16string text = RandomText(random, 200);
        if (seed % 5 == 0) // LF only, as most files are
            std::erase(text, u'\r');
        cTextBuffer whole;
        whole.SetText(Q(text));
        ASSERT_EQ(U(whole.TextWithBreaks()), text);

        cTextBuffer pieces;
        pieces.Insert(0, u"old text\nto be dropped");
        pieces.BeginLoad(seed % 2 ? qsizetype(text.size()) : 0);
        for (size_t at = 0; at < text.size();) {
            // Long pieces too, for the line breaks looked for many units at a time.
            const int most = seed % 3 ? 9 : 70;
            const size_t n =
                std::min(text.size() - at, size_t(std::uniform_int_distribution<int>(0, most)(random)));
            if (seed % 4 < 2) {
                pieces.AppendLoad(QStringView(text.data() + at, qsizetype(n)));
            } else {
                char16_t *room = pieces.LoadRoom(qsizetype(n) + 3);
                std::copy_n(text.data() + at, n, room);
                pieces.CommitLoad(qsizetype(n));
            }
            at += n;
            // Whole at every step: a CR at the end stands for itself until an LF follows.
            if (seed % 8 == 1) {
                ASSERT_EQ(U(pieces.TextWithBreaks()), text.substr(0, at));
            }
        }
        pieces.EndLoad();
        ASSERT_EQ(pieces.Length(), whole.Length());
        ASSERT_EQ(pieces.LineCount(), whole.LineCount());
        ASSERT_EQ(pieces.Text(0, pieces.Length()), whole.Text(0, whole.Length()));
        for (int line = 0; line < whole.LineCount(); ++line) {
            ASSERT_EQ(pieces.LineStart(line), whole.LineStart(line));
            ASSERT_EQ(pieces.LineBreak(line), whole.LineBreak(line));
        }
        ASSERT_EQ(U(pieces.TextWithBreaks()), text);
        ExpectSame(pieces, ModelOfFile(text), random);
    }
}

TEST(TextBuffer, CrAtThePieceEndPairsWithLfAtTheNextStart)
{
    cTextBuffer buffer;
    buffer.BeginLoad();
    buffer.AppendLoad(u"one\r");
    buffer.AppendLoad(u"\ntwo\r");
    buffer.AppendLoad(u"");
    buffer.AppendLoad(u"three\r");
    buffer.EndLoad();
    ASSERT_EQ(buffer.LineCount(), 4);
    EXPECT_EQ(buffer.LineBreak(0), tLineBreak::CRLF);
    EXPECT_EQ(buffer.LineBreak(1), tLineBreak::CR);
    EXPECT_EQ(buffer.LineBreak(2), tLineBreak::CR);
    EXPECT_EQ(buffer.LineBreak(3), tLineBreak::None);
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("one\r\ntwo\rthree\r"));
}

TEST(TextBuffer, ALoadTooLargeForPositionsLeavesAnEmptyText)
{
    cTextBuffer buffer;
    buffer.BeginLoad();
    buffer.AppendLoad(u"some\nlines");
    EXPECT_THROW((void)buffer.LoadRoom(qsizetype(INT_MAX) - 5), std::exception);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.LineCount(), 1);
    buffer.AppendLoad(u"next");
    buffer.EndLoad();
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("next"));
}

TEST(TextBuffer, OnlyCrAndLfBreakLines)
{
    const QString text = QStringLiteral("a\u2029b\u2028c\uFDD0d\uFDD1e\u0085f\u000Bg\u000Ch");
    cTextBuffer buffer;
    buffer.SetText(text);
    EXPECT_EQ(buffer.LineCount(), 1);
    EXPECT_EQ(buffer.TextWithBreaks(), text);
    buffer.Insert(1, u"\u2029\u2029");
    EXPECT_EQ(buffer.LineCount(), 1);
}

TEST(TextBuffer, MixedBreaksRoundTripAndTypedMarksTakeTheDominantOne)
{
    const QString text = QStringLiteral("a\r\nb\r\nc\nd\re");
    cTextBuffer buffer;
    buffer.SetText(text);
    EXPECT_EQ(buffer.LineCount(), 5);
    EXPECT_EQ(buffer.Length(), 9);
    EXPECT_EQ(buffer.TextWithBreaks(), text);
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::CRLF);
    buffer.Insert(buffer.Length(), u"\nf");
    EXPECT_EQ(buffer.LineBreak(4), tLineBreak::CRLF);
    EXPECT_EQ(buffer.TextWithBreaks(), text + QStringLiteral("\r\nf"));
    // A pasted CR LF is one mark.
    buffer.Insert(0, u"x\r\ny", tLineBreak::LF);
    EXPECT_EQ(buffer.LineText(0), QStringLiteral("x"));
    EXPECT_EQ(buffer.LineBreak(0), tLineBreak::LF);
    EXPECT_EQ(buffer.LineText(1), QStringLiteral("ya"));
}

TEST(TextBuffer, DominantBreakPrefersCrLfThenLfOnTies)
{
    cTextBuffer buffer;
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::LF);
    buffer.SetText(u"no break");
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::LF);
    buffer.SetText(u"a\rb");
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::CR);
    buffer.SetText(u"a\rb\nc");
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::LF);
    buffer.SetText(u"a\rb\nc\r\nd");
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::CRLF);
    buffer.Delete(0, 4); // the CR and the LF line go
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::CRLF);
    buffer.Delete(0, buffer.Length());
    EXPECT_EQ(buffer.DominantBreak(), tLineBreak::LF);
}

TEST(TextBuffer, InsertingItsOwnTextIsSafe)
{
    cTextBuffer buffer;
    buffer.SetText(u"abc\ndef");
    buffer.Insert(1, buffer.Contiguous());
    EXPECT_EQ(buffer.Text(0, buffer.Length()), QStringLiteral("aabc\rdefbc\rdef"));
    buffer.Replace(0, 3, buffer.Contiguous().mid(5, 4));
    EXPECT_EQ(buffer.Text(0, buffer.Length()), QStringLiteral("defbc\rdefbc\rdef"));
}

struct cRecorder : ITextBufferListener
{
    struct tCall
    {
        tTextChange Change;
        QString Removed;
        std::vector<tLineBreak> Breaks;
    };
    std::vector<tCall> Calls;
    int Resets = 0;
    void TextChanged(const tTextChange &change, QStringView removed,
                     const std::vector<tLineBreak> &removedBreaks) override
    {
        Calls.push_back({change, removed.toString(), removedBreaks});
    }
    void TextReset() override { ++Resets; }
};

TEST(TextBuffer, EveryChangeIsReportedOnceWithWhatItRemoved)
{
    cTextBuffer buffer;
    cRecorder recorder;
    buffer.AddListener(&recorder);
    buffer.SetText(u"one\r\ntwo\nthree");
    EXPECT_EQ(recorder.Resets, 1);
    buffer.BeginLoad();
    EXPECT_EQ(recorder.Resets, 2);
    buffer.AppendLoad(u"one\r\ntwo\nthree");
    buffer.EndLoad();
    EXPECT_EQ(recorder.Resets, 3);
    buffer.Replace(2, 6, u"X\nY", tLineBreak::CR);
    ASSERT_EQ(recorder.Calls.size(), 1u);
    const auto &call = recorder.Calls[0];
    EXPECT_EQ(call.Change.Position, 2);
    EXPECT_EQ(call.Change.RemovedLength, 6);
    EXPECT_EQ(call.Change.InsertedLength, 3);
    EXPECT_EQ(call.Change.FirstLine, 0);
    EXPECT_EQ(call.Change.LinesRemoved, 2);
    EXPECT_EQ(call.Change.LinesInserted, 1);
    EXPECT_EQ(call.Removed, QStringLiteral("e\rtwo\r"));
    EXPECT_EQ(call.Breaks, (std::vector<tLineBreak>{tLineBreak::CRLF, tLineBreak::LF}));
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("onX\rYthree"));

    buffer.Delete(3, 0); // nothing changes, nothing is reported
    buffer.Insert(0, u"");
    EXPECT_EQ(recorder.Calls.size(), 1u);
    buffer.RemoveListener(&recorder);
    buffer.Insert(0, u"z");
    EXPECT_EQ(recorder.Calls.size(), 1u);
}

// The process's address space capped a little above what it uses now, so a
// large allocation fails as it does on a machine out of memory.
class cMemoryCap
{
public:
    explicit cMemoryCap(rlim_t headroom)
    {
        getrlimit(RLIMIT_AS, &FOld);
        std::ifstream statm("/proc/self/statm");
        rlim_t pages = 0;
        statm >> pages;
        rlimit capped = FOld;
        capped.rlim_cur = std::min(FOld.rlim_max, pages * rlim_t(sysconf(_SC_PAGESIZE)) + headroom);
        FCapped = pages > 0 && setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~cMemoryCap() { setrlimit(RLIMIT_AS, &FOld); }
    cMemoryCap(const cMemoryCap &) = delete;
    cMemoryCap &operator=(const cMemoryCap &) = delete;
    [[nodiscard]] bool Capped() const noexcept { return FCapped; }

private:
    rlimit FOld{};
    bool FCapped = false;
};

// A change that runs out of memory, for its units or for its lines, happens
// not at all: the text, its lines and breaks stay, and no listener is told.
TEST(TextBuffer, AChangeThatRunsOutOfMemoryChangesNothing)
{
    constexpr rlim_t Headroom = rlim_t(64) << 20;
    const QString longLine(qsizetype(Headroom), u'x');
    const QString manyLines(qsizetype(Headroom / 8), u'\n');
    cTextBuffer buffer;
    buffer.SetText(u"one\r\ntwo\nthree\rfour");
    cRecorder recorder;
    buffer.AddListener(&recorder);
    const QString text = buffer.TextWithBreaks();
    for (const QString *insert : {&longLine, &manyLines}) {
        SCOPED_TRACE(insert == &longLine ? "long line" : "many lines");
        {
            const cMemoryCap cap(Headroom);
            if (!cap.Capped())
                GTEST_SKIP() << "the address space cannot be capped here";
            EXPECT_THROW(buffer.Replace(4, 5, *insert), std::bad_alloc);
            EXPECT_THROW(buffer.Restore(2, 9, *insert, {tLineBreak::CR}), std::bad_alloc);
            EXPECT_THROW(buffer.ReplaceMany({{1, 2, u"x\n"}, {5, 3, *insert}}), std::bad_alloc);
        }
        EXPECT_TRUE(recorder.Calls.empty());
        EXPECT_EQ(buffer.TextWithBreaks(), text);
        ASSERT_EQ(buffer.LineCount(), 4);
        EXPECT_EQ(buffer.LineStart(3), 14);
        EXPECT_EQ(buffer.LineFromPosition(9), 2);
    }
    buffer.Replace(4, 5, u"2\n3");
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("one\r\n2\r\n3hree\rfour"));
    EXPECT_EQ(recorder.Calls.size(), 1u);
}

// A listener that changes the text while being told of a change is refused:
// the text holds the first change only and every listener hears of it once.
TEST(TextBuffer, AChangeFromInsideAListenerIsRefused)
{
    struct cMeddler : ITextBufferListener
    {
        explicit cMeddler(cTextBuffer &buffer) : Buffer(buffer) {}
        void TextChanged(const tTextChange &, QStringView, const std::vector<tLineBreak> &) override
        {
            ++Told;
            Buffer.Insert(0, u"nested\n");
            Buffer.ReplaceMany({{0, 1, u"z"}});
        }
        void TextReset() override { Buffer.Delete(0, 1); }
        cTextBuffer &Buffer;
        int Told = 0;
    };
    cTextBuffer buffer;
    cMeddler meddler(buffer);
    cRecorder recorder;
    buffer.AddListener(&meddler);
    buffer.AddListener(&recorder);
#ifndef QT_NO_DEBUG
    EXPECT_DEATH(buffer.Insert(0, u"abc"), "while being told");
#else
    buffer.Insert(0, u"abc");
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("abc"));
    EXPECT_EQ(meddler.Told, 1);
    ASSERT_EQ(recorder.Calls.size(), 1u);
    EXPECT_EQ(recorder.Calls[0].Change.InsertedLength, 3);
    buffer.SetText(u"x\ny");
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("x\ny"));
    EXPECT_EQ(recorder.Resets, 1);
    // Once told, the listener may change the text again.
    buffer.RemoveListener(&meddler);
    buffer.Insert(3, u"!");
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("x\ny!"));
#endif
}

TEST(TextBuffer, PositionsOutsideTheTextAreClamped)
{
    cTextBuffer buffer;
    buffer.SetText(u"ab\ncd");
    buffer.Insert(99, u"e");
    buffer.Delete(-5, 1);
    EXPECT_EQ(buffer.Text(-1, 99), QStringLiteral("b\rcde"));
    EXPECT_EQ(buffer.LineFromPosition(99), 1);
    EXPECT_EQ(buffer.LineFromPosition(-1), 0);
    EXPECT_EQ(buffer.LineStart(7), buffer.Length());
    EXPECT_EQ(buffer.At(99), u'\0');
    EXPECT_EQ(buffer.LineBreak(9), tLineBreak::None);
}

// Long runs of edits at one place and then far away keep the line index right.
TEST(TextBuffer, ManyLinesEditedInOnePlaceThenElsewhere)
{
    std::u16string text;
    for (int i = 0; i < 3000; ++i)
        text += i % 3 ? u"line\n" : u"other\r\n";
    cTextBuffer buffer;
    buffer.SetText(Q(text));
    tModel model = ModelOfFile(text);
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        const int pos = std::uniform_int_distribution<int>(0, buffer.Length())(random);
        for (int k = 0; k < 50; ++k) {
            buffer.Insert(pos + k, u"x");
            model.Insert(size_t(pos + k), u"x", {}, tLineBreak::LF);
        }
        buffer.Insert(pos, u"\n", tLineBreak::LF);
        model.Insert(size_t(pos), u"\n", {}, tLineBreak::LF);
        buffer.Delete(pos / 2, 7);
        model.Delete(size_t(pos / 2), 7);
        ASSERT_NO_FATAL_FAILURE(ExpectSame(buffer, model, random));
    }
}

// Many replacements as one change equal the same replacements made one at a
// time from the last to the first, and are reported once.
TEST(TextBuffer, ManyReplacementsAtOnceMatchTheModel)
{
    struct tCounter : ITextBufferListener
    {
        void TextChanged(const tTextChange &change, QStringView removed,
                         const std::vector<tLineBreak> &breaks) override
        {
            Changes.push_back(change);
            Removed = removed.toString();
            RemovedBreaks = breaks;
        }
        void TextReset() override {}
        std::vector<tTextChange> Changes;
        QString Removed;
        std::vector<tLineBreak> RemovedBreaks;
    };
    for (unsigned seed = 1; seed <= 600; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const std::u16string initial = RandomText(random, seed > 580 ? 3000 : 60);
        cTextBuffer buffer;
        buffer.SetText(Q(initial));
        tModel model = ModelOfFile(initial);
        // Edits far away first, so the gap and the line index's pending shift
        // sit anywhere when the replacements start.
        const int edit = std::uniform_int_distribution<int>(0, buffer.Length())(random);
        buffer.Insert(edit, u"q\n", tLineBreak::CR);
        model.Insert(size_t(edit), u"q\n", {}, tLineBreak::CR);

        std::vector<std::u16string> texts;
        std::vector<std::pair<int, int>> places;
        for (int at = 0;;) {
            at += std::uniform_int_distribution<int>(0, 12)(random);
            const int length = std::uniform_int_distribution<int>(0, 5)(random);
            if (at + length > buffer.Length())
                break;
            places.emplace_back(at, length);
            // Some texts grow the range a lot, to push the writing ahead of the reading.
            texts.push_back(seed % 5 == 0 ? RandomText(random, 30) : RandomText(random, 3));
            at += length;
        }
        std::vector<QString> kept;
        std::vector<tReplacement> replacements;
        for (const std::u16string &text : texts)
            kept.push_back(Q(text));
        for (size_t i = 0; i < places.size(); ++i)
            replacements.push_back({places[i].first, places[i].second, kept[i]});
        const tModel before = model;
        const tLineBreak newBreak = seed % 2 ? tLineBreak::None : RandomBreak(random, false);
        const tLineBreak fallback = newBreak == tLineBreak::None ? model.Dominant() : newBreak;
        for (size_t i = places.size(); i-- > 0;) {
            model.Delete(size_t(places[i].first), size_t(places[i].second));
            model.Insert(size_t(places[i].first), texts[i], {}, fallback);
        }
        tCounter counter;
        buffer.AddListener(&counter);
        buffer.ReplaceMany(replacements, newBreak);
        ASSERT_NO_FATAL_FAILURE(ExpectSame(buffer, model, random));
        if (places.empty()) {
            EXPECT_TRUE(counter.Changes.empty());
            continue;
        }
        ASSERT_EQ(counter.Changes.size(), 1u);
        const tTextChange &change = counter.Changes[0];
        const int from = places.front().first, to = places.back().first + places.back().second;
        EXPECT_EQ(change.Position, from);
        EXPECT_EQ(change.RemovedLength, to - from);
        EXPECT_EQ(change.FirstLine, before.LineOf(size_t(from)));
        EXPECT_EQ(U(counter.Removed), before.Units.substr(size_t(from), size_t(to - from)));
        EXPECT_EQ(int(counter.RemovedBreaks.size()), change.LinesRemoved);
        EXPECT_EQ(change.InsertedLength - change.RemovedLength, buffer.Length() - int(before.Units.size()));
        EXPECT_EQ(change.LinesInserted - change.LinesRemoved, buffer.LineCount() - int(before.Breaks.size()));
        buffer.RemoveListener(&counter);
    }
}

TEST(TextBuffer, ManyReplacementsRefuseMisplacedOnesAndKeepTheText)
{
    cTextBuffer buffer;
    buffer.SetText(u"one\ntwo\r\nthree");
    const QString text = buffer.TextWithBreaks();
    EXPECT_ANY_THROW(buffer.ReplaceMany({{4, 3, u"x"}, {2, 1, u"y"}})); // out of order
    EXPECT_ANY_THROW(buffer.ReplaceMany({{0, 2, u"x"}, {1, 1, u"y"}})); // overlapping
    EXPECT_ANY_THROW(buffer.ReplaceMany({{10, 5, u"x"}}));              // past the end
    EXPECT_EQ(buffer.TextWithBreaks(), text);
    // A replacement may take its text from the buffer itself.
    const QStringView own = buffer.Contiguous(0, 3);
    buffer.ReplaceMany({{4, 3, own}, {8, 5, own}});
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("one\none\r\none"));
}

// An earlier state put back exactly, and a program's new text that keeps
// the breaks of the lines it shares with the old one.
TEST(TextBuffer, WholeTextsWithTheirBreaks)
{
    cTextBuffer buffer;
    buffer.SetText(u"a\r\nb\nc\rd\n");
    const QString units = buffer.Text(0, buffer.Length());
    const std::vector<tLineBreak> breaks = buffer.Breaks();
    EXPECT_EQ(breaks,
              (std::vector<tLineBreak>{tLineBreak::CRLF, tLineBreak::LF, tLineBreak::CR, tLineBreak::LF}));
    buffer.SetText(u"other");
    buffer.SetText(units, breaks);
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("a\r\nb\nc\rd\n"));
    // A mark with a CR break, then an empty line with an LF break: written
    // out they read back as one CR LF, but the state itself comes back.
    buffer.SetText(u"x\r\ny", {tLineBreak::CR});
    EXPECT_EQ(buffer.LineCount(), 2);
    EXPECT_EQ(buffer.LineBreak(0), tLineBreak::CR);

    // Mostly LF: the changed middle takes LF for its lone CRs; the shared
    // start and end keep CR LF and CR; given CR LF and LF stay.
    buffer.SetText(u"keep\r\nx\ny\nz\nw\nend\rlast");
    buffer.SetTextKeepingBreaks(u"keep\rX\rY\r\nZ\nW\rend\rlast");
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("keep\r\nX\nY\r\nZ\nW\nend\rlast"));
    // The same text again changes nothing.
    const QString same = buffer.Text(0, buffer.Length());
    buffer.SetTextKeepingBreaks(same);
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("keep\r\nX\nY\r\nZ\nW\nend\rlast"));
    // A CR the old text ends its shared start with pairs with the LF given after it.
    buffer.SetText(u"a\nb");
    buffer.SetTextKeepingBreaks(u"a\r\nb");
    EXPECT_EQ(buffer.TextWithBreaks(), QStringLiteral("a\r\nb"));
    EXPECT_EQ(buffer.LineCount(), 2);
}

} // namespace
