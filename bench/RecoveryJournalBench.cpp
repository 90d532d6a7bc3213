// SPDX-License-Identifier: GPL-3.0-or-later
// Typing into a 200 MB file with the recovery record kept and without it:
// what each key costs the user, what the record writes, and that nothing
// runs once the typing stops.
#include "editor/editing/Editors.h"
#include "editor/editing/RecoveryJournal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

constexpr int Keys = 5000;

// Bytes this process handed to write calls so far.
qint64 BytesWritten()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    qint64 value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return -1;
}

double CpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

const QString &LargeFile(const QTemporaryDir &dir)
{
    static QString name;
    if (!name.isEmpty())
        return name;
    name = dir.filePath(QStringLiteral("large.txt"));
    QFile file(name);
    file.open(QIODevice::WriteOnly);
    const QByteArray line =
        "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor\r\n";
    QByteArray block;
    while (block.size() < (1 << 20))
        block += line;
    for (int i = 0; i < 200; ++i)
        file.write(block);
    return name;
}

// Types Keys characters one every 2 ms, as a fast typist's burst, into the
// middle of the file; the journal argument keeps the record or not.
void BM_TypeInto200MB(benchmark::State &state)
{
    static const QTemporaryDir dir;
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
    const QString &fileName = LargeFile(dir);
    for (auto _ : state) {
        cEditor doc;
        doc.resize(800, 600);
        doc.show();
        doc.LoadFromFile(fileName);
        if (state.range(0) == 0) {
            cRecoveryJournal *journal = cRecoveryJournals::JournalOf(doc);
            doc.buffer().RemoveListener(journal);
            delete journal;
        }
        doc.SetSel(doc.GetTextLen() / 2, doc.GetTextLen() / 2);
        QCoreApplication::processEvents();
        std::vector<double> keyMs;
        const qint64 written = BytesWritten();
        for (int i = 0; i < Keys; ++i) {
            const QString text(QChar(u'a' + i % 26));
            QElapsedTimer timer;
            timer.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_A + i % 26, Qt::NoModifier, text);
            QApplication::sendEvent(&doc, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + i % 26, Qt::NoModifier, text);
            QApplication::sendEvent(&doc, &release);
            QCoreApplication::processEvents();
            keyMs.push_back(double(timer.nsecsElapsed()) / 1e6);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            QCoreApplication::processEvents();
        }
        Wait(1500); // the last write
        cRecoveryJournals::WaitForWriter();
        // Write calls of the whole process (the event loop's wake-ups among
        // them), and what the record holds: with a base file it only grows.
        state.counters["written_bytes"] = double(BytesWritten() - written);
        qint64 recorded = 0;
        for (const QFileInfo &record : QDir(cRecoveryJournals::Folder()).entryInfoList(QDir::Files))
            recorded += record.size();
        state.counters["record_bytes"] = double(recorded);
        const double cpu = CpuMs();
        Wait(3000);
        state.counters["idle_cpu_ms_per_3s"] = CpuMs() - cpu;
        std::sort(keyMs.begin(), keyMs.end());
        state.counters["key_ms_median"] = keyMs[keyMs.size() / 2];
        state.counters["key_ms_p99"] = keyMs[keyMs.size() * 99 / 100];
        state.counters["key_ms_max"] = keyMs.back();
        doc.SetModified(false);
    }
}
BENCHMARK(BM_TypeInto200MB)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
