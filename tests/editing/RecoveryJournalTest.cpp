// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/editing/RecoveryJournal.h"

#include "editor/editing/Editors.h"
#include "editor/editing/TextFiles.h"
#include "editor/platform/MessageBox.h"
#include "editor/textengine/TextBuffer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// What a record rebuilds to: the text with every line's break, or the reason.
std::string Rebuilt(const QByteArray &record, const QByteArray &fileName)
{
    cTextBuffer text;
    QString reason;
    const auto loadBase = [&fileName](const tJournalBase &base, cTextBuffer &into, QString &why) {
        return LoadJournalBase(fileName, base, into, why);
    };
    if (!RebuildJournalText(record, text, loadBase, reason))
        return QStringLiteral("<refused: %1>").arg(reason).toStdString();
    return text.TextWithBreaks().toStdString();
}

class RecoveryJournal : public ::testing::Test
{
protected:
    RecoveryJournal()
    {
        FFile = FDir.filePath(QStringLiteral("base.txt"));
        WriteAll(FFile, QByteArray("\xEF\xBB\xBF") + "one\r\ntwo\nthree\rf\xC3\xBCnf\r\n");
    }

    cRecoveryJournal &Journal() { return *cRecoveryJournals::JournalOf(FDoc); }
    // Writes what is pending and returns the record as it is on disk.
    QByteArray Written()
    {
        cRecoveryJournals::FlushAll();
        return ReadAll(Journal().RecordPath());
    }
    // A random edit as the document's commands make them, through the buffer.
    void RandomEdit(std::mt19937 &random)
    {
        cTextBuffer &text = FDoc.buffer();
        const auto pick = [&random](int n) { return int(random() % unsigned(n + 1)); };
        static const QString pieces[] = {QStringLiteral("x"),           QStringLiteral("\u00e9\u03a9"),
                                         QStringLiteral("\r\n"),        QStringLiteral("ab\ncd"),
                                         QStringLiteral("\r"),          QStringLiteral("\U0001F600"),
                                         QStringLiteral("\u0436\u044f")};
        const QString piece = pieces[random() % std::size(pieces)];
        const tLineBreak breaks[] = {tLineBreak::None, tLineBreak::LF, tLineBreak::CR, tLineBreak::CRLF};
        const tLineBreak newBreak = breaks[random() % 4];
        const int pos = pick(text.Length());
        const int length = std::min(pick(3), text.Length() - pos);
        switch (random() % 6) {
        case 0:
        case 1: // typing: runs of keys at the caret
            for (int i = 0, n = pick(5); i < n; ++i)
                text.Insert(std::min(pos + i, text.Length()), QStringLiteral("k"));
            break;
        case 2:
            text.Delete(pos, length);
            break;
        case 3:
            text.Replace(pos, length, piece, newBreak);
            break;
        case 4:
            text.Insert(pos, piece, newBreak);
            // A key taken back, or the one before it.
            if (const int back = int(piece.size()) - 1 - int(random() % 2); back >= 0 && random() % 2)
                text.Delete(pos + back, 1);
            break;
        default:
            if (text.Length() >= 4)
                text.ReplaceMany({{0, 1, QStringLiteral("[")}, {text.Length() - 1, 1, QStringLiteral("]\n")}},
                                 newBreak);
        }
        FDoc.SetModified(true);
    }

    QTemporaryDir FDir;
    QString FFile;
    cEditor FDoc;
};

// The record rebuilds the document exactly after every write, whether it is
// a log against the file or was compacted into a snapshot; a last entry cut
// short at any byte gives the text as of the write before it. Recovered, the
// document saves the bytes the lost one would have, in the coding it was read
// in: a code page other than the locale's, UTF-8 or UTF-16 without a mark
// (with an odd last byte).
TEST_F(RecoveryJournal, RecordRebuildsEveryStateAndIgnoresATornLastEntry)
{
    const cCodePageScope locale("WINDOWS-1252");
    // Characters the code page has not: both documents are saved alike.
    const cMessageBoxAnswerer enforceAnsi([](const tMessageBoxCall &call) {
        EXPECT_TRUE(call.Text.contains(QStringLiteral("enforce ANSI"))) << call.Text.toStdString();
        return IDOK;
    });
    const QString start = QStringLiteral("\u043e\u0434\u043d\u043e\r\ntwo\nthree\rf\u00fcnf\r\n");
    const QByteArray utf16 = QByteArray(reinterpret_cast<const char *>(start.utf16()), start.size() * 2);
    const struct
    {
        tFileCoding Coding;
        QByteArray Bytes;
    } files[] = {{{teUTF8, {}, true}, "\xEF\xBB\xBF" + start.toUtf8()},
                 {{teAnsi, "WINDOWS-1251", false}, "\xEE\xE4\xED\xEE\r\ntwo\nthree\rf?nf\r\n"},
                 {{teUTF8, {}, false}, start.toUtf8()},
                 {{teUnicode, {}, false}, utf16 + "\x41"}};
    const QString other = FDir.filePath(QStringLiteral("recovered.txt"));
    const QByteArray name = QFile::encodeName(FFile);
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const auto &file = files[seed % std::size(files)];
        WriteAll(FFile, file.Bytes);
        FDoc.LoadFromFileAs(FFile, file.Coding);
        std::mt19937 random(seed);
        std::string before = FDoc.buffer().TextWithBreaks().toStdString();
        QByteArray record;
        for (int step = 0; step < 40; ++step) {
            // Every fifth write holds one change, to be cut short below.
            const bool single = step % 5 == 0;
            if (single) {
                const int pos = int(random() % unsigned(FDoc.buffer().Length() + 1));
                FDoc.buffer().Replace(pos, std::min(2, FDoc.buffer().Length() - pos),
                                      QStringLiteral("\u00e9\r\nz"));
                FDoc.SetModified(true);
            } else {
                for (int i = 0, n = int(random() % 4) + 1; i < n; ++i)
                    RandomEdit(random);
            }
            if (!single && random() % 7 == 0)
                Journal().Compact();
            const QByteArray previous = record;
            record = Written();
            const std::string now = FDoc.buffer().TextWithBreaks().toStdString();
            ASSERT_EQ(Rebuilt(record, name), now) << "seed " << seed << " step " << step;
            // A write that appended: cut it at every byte.
            if (!previous.isEmpty() && record.startsWith(previous) && record.size() > previous.size() &&
                single) {
                bool reachedNow = false;
                for (qsizetype cut = previous.size(); cut < record.size(); ++cut) {
                    const std::string got = Rebuilt(record.left(cut), name);
                    ASSERT_TRUE(got == before || got == now) << "cut at " << cut;
                    ASSERT_FALSE(reachedNow && got == before) << "cut at " << cut;
                    reachedNow = got == now;
                }
                ASSERT_EQ(Rebuilt(record.left(previous.size() + 12), name), before);
            }
            before = now;
        }
        {
            cEditor recovered;
            QString reason;
            ASSERT_TRUE(RecoverDocument(
                record, ReadJournal(record), [&]() -> cEditor & { return recovered; }, reason))
                << reason.toStdString();
            recovered.SaveToFile(other, recovered.Encoding());
            FDoc.SaveToFile(FFile, FDoc.Encoding());
            EXPECT_EQ(ReadAll(other).toHex().toStdString(), ReadAll(FFile).toHex().toStdString())
                << "seed " << seed;
        }
        // Saved: the record goes.
        cRecoveryJournals::WaitForWriter();
        EXPECT_TRUE(QDir(cRecoveryJournals::Folder()).entryList(QDir::Files).isEmpty());
        QCoreApplication::processEvents();
    }
}

// A log is never applied to a file other than the one it was written against,
// even one of the same size and time.
TEST_F(RecoveryJournal, ALogIsRefusedWhenItsFileChanged)
{
    FDoc.LoadFromFile(FFile);
    FDoc.buffer().Insert(3, QStringLiteral("!"));
    FDoc.SetModified(true);
    const QByteArray record = Written();
    const QByteArray name = QFile::encodeName(FFile);
    ASSERT_EQ(Rebuilt(record, name), "one!\r\ntwo\nthree\rf\u00fcnf\r\n");

    struct stat st;
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    QByteArray other = ReadAll(FFile);
    other[5] = 'X'; // same size
    {
        // Rewritten in place, its time put back: only the content tells.
        QFile file(FFile);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(other);
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
    EXPECT_TRUE(Rebuilt(record, name).starts_with("<refused: "));

    WriteAll(FFile, "one\r\n");
    EXPECT_TRUE(Rebuilt(record, name).starts_with("<refused: "));
    // A damaged entry ends the record before it; a foreign file is no record.
    EXPECT_TRUE(Rebuilt("not a record", name).starts_with("<refused: "));

    // A record from before the coding was kept (its meta ends at the time of
    // the change) recovers as it did then.
    tJournalMeta meta;
    meta.Encoding = teUnicode;
    meta.ChangedAt = 1;
    QByteArray entry;
    journal::AppendMeta(entry, meta);
    // Its type and body, less the code page's length and the mark flag.
    const QByteArray typed = entry.mid(8, entry.size() - 8 - 4 - 5);
    const std::uint64_t length = std::uint64_t(typed.size() - 1);
    const auto check = std::uint32_t(Hash64(typed.constData(), typed.size()));
    QByteArray old = journal::Header() + QByteArray(reinterpret_cast<const char *>(&length), 8) + typed +
                     QByteArray(reinterpret_cast<const char *>(&check), 4);
    cTextBuffer text;
    text.SetText(QStringLiteral("old"));
    journal::AppendSnapshot(old, text);
    const tJournalRecord read = ReadJournal(old);
    ASSERT_TRUE(read.Problem.isEmpty()) << read.Problem.toStdString();
    EXPECT_EQ(read.Meta->Coding(), (tFileCoding{teUnicode, {}, true}));
    EXPECT_EQ(Rebuilt(old, {}), "old");
}

} // namespace
