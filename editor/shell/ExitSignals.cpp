// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/ExitSignals.h"

#include "editor/editing/RecoveryJournal.h"
#include "editor/shell/SingleInstances.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace {

int TheWriteEnd = -1;
constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};

void OnSignal(int number)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(TheWriteEnd, &byte, 1);
    errno = saved;
}

} // namespace

cExitSignals::cExitSignals()
{
    if (::pipe2(FPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    TheWriteEnd = FPipe[1];
    FNotifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &cExitSignals::Received);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : Signals)
        ::sigaction(number, &action, nullptr);
}

cExitSignals::~cExitSignals()
{
    for (int number : Signals)
        ::signal(number, SIG_DFL);
    TheWriteEnd = -1;
    for (int fd : FPipe)
        if (fd >= 0)
            ::close(fd);
}

// No question is asked: whoever sent the signal wants the program gone.
// It ends by the signal itself, as its sender expects.
void cExitSignals::Received()
{
    unsigned char number = 0;
    if (::read(FPipe[0], &number, 1) != 1)
        return;
    cRecoveryJournals::FlushAllAndKeep();
    cApplicationSingleton::StopAnswering();
    cApplicationSingleton::Release();
    ::signal(number, SIG_DFL);
    ::raise(number);
    std::_Exit(128 + number);
}
