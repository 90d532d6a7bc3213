// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/SingleInstances.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/Application.h"
#include "editor/platform/FileNames.h"
#include "editor/platform/Resources.h"
#include "editor/shell/CmdLinePlus.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QtEndian>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const char BlockIdentifier[] = "F720AB4A-DFAB-4AD8-BD92-A21D0B6CDF15";

// Byte ranges of the advisory locks on the shared-memory object. The owner
// holds the first for its whole life; the second serialises the short steps
// of attaching and of unlinking, so nobody attaches to a name being removed.
constexpr off_t OwnerLockByte = 0;
constexpr off_t SetupLockByte = 1;
// Held by a later start while it hands its files over: FileName has room for
// one name, so two later starts at the same moment take turns.
constexpr off_t SenderLockByte = 2;

// Asks the running instance to raise its window; answered like WM_OPENFILE.
constexpr std::uint32_t BringToFrontRequest = 0x8001;
constexpr int FrameSize = 4;

// ---- names ---------------------------------------------------------------

// The desktop session a window of this process appears on: a start on
// another display (or Wayland session) must open a window of its own there.
QByteArray DesktopSession()
{
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if (!wayland.isEmpty())
        return "wayland:" + wayland;
    QByteArray x11 = qgetenv("DISPLAY");
    // ":0" and ":0.0" are one display: the screen number does not part them.
    const qsizetype colon = x11.lastIndexOf(':');
    const qsizetype dot = x11.indexOf('.', colon < 0 ? 0 : colon);
    if (colon >= 0 && dot > colon)
        x11.truncate(dot);
    return x11.isEmpty() ? QByteArray() : "x11:" + x11;
}

// Per user and desktop session, as the shared names of a session are.
QByteArray HashedKey(const QByteArray &blockName)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(blockName);
    hash.addData(QByteArray(1, '\0'));
    hash.addData(QByteArray::number(qulonglong(::getuid())));
    hash.addData(QByteArray(1, '\0'));
    hash.addData(DesktopSession());
    return hash.result().toHex().left(32);
}

QString ServerPathOf(const QByteArray &blockName)
{
    const QString fileName = QStringLiteral("/quorvel-") + QString::fromLatin1(HashedKey(blockName));
    // A socket path must fit sockaddr_un; the runtime directory is private
    // to the user, /tmp the fallback.
    QString directory = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const qsizetype limit = qsizetype(sizeof(sockaddr_un::sun_path)) - 1;
    if (directory.isEmpty() || !QDir(directory).exists() ||
        QFile::encodeName(directory + fileName).size() > limit)
        directory = QStringLiteral("/tmp");
    return directory + fileName;
}

// ---- locks -----------------------------------------------------------------

enum class tLockResult
{
    Locked,
    Busy,
    Failed
};

// Open-file-description locks: tied to this descriptor alone, so neither
// another descriptor of the same process nor a child process (descriptors
// are close-on-exec) can release or keep them.
tLockResult LockByte(int fd, off_t offset, bool wait)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == -1) {
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EACCES ? tLockResult::Busy : tLockResult::Failed;
    }
    return tLockResult::Locked;
}

void UnlockByte(int fd, off_t offset)
{
    struct flock lock = {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    ::fcntl(fd, F_OFD_SETLK, &lock);
}

// Whether the name still leads to the object behind fd (an owner may have
// unlinked it between our open and our lock).
bool StillLinked(int fd, const QByteArray &objectName)
{
    const int probe = ::shm_open(objectName.constData(), O_RDONLY | O_CLOEXEC, 0);
    if (probe < 0)
        return false;
    struct stat ours = {};
    struct stat named = {};
    const bool same = ::fstat(fd, &ours) == 0 && ::fstat(probe, &named) == 0 && ours.st_dev == named.st_dev &&
                      ours.st_ino == named.st_ino;
    ::close(probe);
    return same;
}

// ---- the sender's side -----------------------------------------------------

// A blocking connection to the running instance. Each request waits for its
// answer without a time-out; a server that is gone ends the wait at once.
class cRequestChannel
{
public:
    cRequestChannel() = default;
    ~cRequestChannel()
    {
        if (FSocket >= 0)
            ::close(FSocket);
    }
    cRequestChannel(const cRequestChannel &) = delete;
    cRequestChannel &operator=(const cRequestChannel &) = delete;

    bool Connect(const QString &path)
    {
        const QByteArray bytes = QFile::encodeName(path);
        sockaddr_un address = {};
        if (bytes.size() >= qsizetype(sizeof(address.sun_path)))
            return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
        FSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FSocket < 0)
            return false;
        int result;
        do
            result = ::connect(FSocket, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
        while (result == -1 && errno == EINTR);
        return result == 0;
    }

    bool Send(std::uint32_t message)
    {
        char frame[FrameSize];
        qToLittleEndian(message, frame);
        return Transfer(frame, true) && Transfer(frame, false);
    }

private:
    bool Transfer(char *frame, bool writing)
    {
        size_t done = 0;
        while (done < FrameSize) {
            const ssize_t n = writing ? ::send(FSocket, frame + done, FrameSize - done, MSG_NOSIGNAL)
                                      : ::recv(FSocket, frame + done, FrameSize - done, 0);
            if (n > 0)
                done += size_t(n);
            else if (n == -1 && errno == EINTR)
                continue;
            else
                return false;
        }
        return true;
    }

    int FSocket = -1;
};

// ---- the running instance's side -------------------------------------------

void RaiseTopWindow()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    QWidget *target = QApplication::activeModalWidget();
    if (!target)
        target = ApplicationMainWindow();
    if (!target || !target->isVisible() || !target->isEnabled())
        return;
    if (target->isMinimized())
        target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    target->raise();
    target->activateWindow();
}

cApplicationSingleton::tOpenFileHandler OpenFileHandler;
cApplicationSingleton::tBringToFrontHandler BringToFrontHandler;
// While above zero, requests wait unanswered.
int Holds = 0;

// False when the request is refused: nobody opens files any more.
bool Dispatch(std::uint32_t message, const QString &fileName)
{
    try {
        if (message == WM_OPENFILE) {
            if (!OpenFileHandler)
                return false;
            OpenFileHandler(fileName);
        } else if (message == BringToFrontRequest) {
            if (BringToFrontHandler)
                BringToFrontHandler();
            else
                RaiseTopWindow();
        }
    } catch (...) {
        // Reported here rather than by the event loop, so the sender still
        // gets its answer.
        ShowCurrentException();
    }
    return true;
}

// Listens for later starts. Requests are only taken off the sockets in their
// signals and handled afterwards, from the event loop, one at a time: a
// handler may run a modal loop (an error box) in which the sender dies and
// its socket is deleted, which must not happen under the socket's own feet.
class cRequestServer : public QObject
{
public:
    explicit cRequestServer(QObject *parent) : QObject(parent), FServer(new QLocalServer(this))
    {
        FServer->setSocketOptions(QLocalServer::UserAccessOption);
        connect(FServer, &QLocalServer::newConnection, this, &cRequestServer::Accept);
    }

    bool Listen(const QString &path)
    {
        // We own the block, so a socket left at this path belongs to a dead owner.
        QLocalServer::removeServer(path);
        return FServer->listen(path);
    }

    // Closes every connection unanswered, so each sender opens its own window.
    void Stop()
    {
        FStopped = true;
        FServer->close();
        FPending.clear();
        for (QLocalSocket *socket : findChildren<QLocalSocket *>())
            socket->abort();
    }

    bool Handling() const noexcept { return FHandling; }

    void Schedule()
    {
        if (FScheduled || FPending.empty())
            return;
        FScheduled = true;
        QMetaObject::invokeMethod(this, &cRequestServer::HandleNext, Qt::QueuedConnection);
    }

private:
    struct tRequest
    {
        QPointer<QLocalSocket> Socket;
        std::uint32_t Message;
        QString FileName; // taken while its sender still waits for the answer
    };

    void Accept()
    {
        while (QLocalSocket *socket = FServer->nextPendingConnection()) {
            if (FStopped) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Receive(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            Receive(socket);
        }
    }

    void Receive(QLocalSocket *socket)
    {
        while (socket->bytesAvailable() >= FrameSize) {
            char frame[FrameSize];
            socket->read(frame, FrameSize);
            const auto message = qFromLittleEndian<std::uint32_t>(frame);
            FPending.push_back(
                {socket, message,
                 message == WM_OPENFILE ? cApplicationSingleton::ReceivedFileName() : QString()});
        }
        Schedule();
    }

    void HandleNext()
    {
        FScheduled = false;
        if (FHandling || Holds > 0 || FStopped || FPending.empty())
            return;
        const tRequest request = FPending.front();
        FPending.pop_front();
        const QPointer<cRequestServer> alive(this);
        FHandling = true;
        const bool handled = Dispatch(request.Message, request.FileName);
        if (!alive)
            return;
        FHandling = false;
        if (request.Socket) {
            if (handled && !FStopped) {
                const char answer[FrameSize] = {};
                request.Socket->write(answer, FrameSize);
                request.Socket->flush();
            } else {
                request.Socket->abort();
            }
        }
        Schedule();
    }

    QLocalServer *FServer;
    std::deque<tRequest> FPending;
    bool FScheduled = false;
    bool FHandling = false;
    bool FStopped = false;
};

// ---- the unit's state ------------------------------------------------------

std::unique_ptr<cSharedMem> SharedMem;
std::unique_ptr<cRequestChannel> Channel;
QPointer<cRequestServer> Server;
// Set once the window no longer opens files; until Release.
bool Withdrawn = false;

std::uint32_t ReadHandle(int offset)
{
    if (!SharedMem || !SharedMem->View())
        return 0;
    return qFromLittleEndian<std::uint32_t>(SharedMem->View() + offset);
}

void WriteHandle(int offset, std::uint32_t handle)
{
    qToLittleEndian(handle, SharedMem->View() + offset);
}

void StartServer()
{
    if (Server || Withdrawn || !QCoreApplication::instance())
        return;
    auto *server = new cRequestServer(QCoreApplication::instance());
    if (!server->Listen(ServerPathOf(SharedMem->Name()))) {
        delete server;
        return;
    }
    Server = server;
}

void StopServer()
{
    if (!Server)
        return;
    Server->Stop();
    // A handler further up the stack still runs on it.
    if (Server->Handling())
        Server->deleteLater();
    else
        delete Server.data();
}

// ---- hand-off --------------------------------------------------------------

bool FileExists(const QByteArray &name)
{
    struct stat info = {};
    return ::stat(name.constData(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// False when the running instance went away before every file was handed
// over; this process then opens its files itself.
bool SendFile(const QString &fileName)
{
    const QByteArray name = EncodeFileName(cApplicationSingleton::MakeFullName(fileName));
    if (!FileExists(name))
        return true;
    // The field keeps its terminating zero; a longer name cannot travel.
    if (name.size() >= shared_block::FileNameSize)
        return true;
    std::uint8_t *field = SharedMem->View() + shared_block::FileNameOffset;
    std::memset(field, 0, shared_block::FileNameSize);
    std::memcpy(field, name.constData(), size_t(name.size()));
    return Channel->Send(WM_OPENFILE);
}

bool HandOverCommandLine()
{
    // Released with the descriptor, by Release or by the process's end.
    if (LockByte(SharedMem->Handle(), SenderLockByte, true) != tLockResult::Locked)
        return false;
    if (!cApplicationSingleton::BringToFront(ReadHandle(shared_block::ApplicationWindowOffset)))
        return false;
    for (int index = 0; index < CommandLine.FileCount; ++index)
        if (!SendFile(CommandLine.GetFile(index)))
            return false;
    return true;
}

} // namespace

// ---- cHandledObject, cSharedMem ----------------------------------------------

cHandledObject::~cHandledObject()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

cSharedMem::cSharedMem(const QByteArray &name, int size)
    : FName(name), FObjectName(ObjectNameOf(name)), FSize(size)
{
    try {
        Open();
    } catch (...) {
        Detach();
    }
}

cSharedMem::~cSharedMem()
{
    if (FView)
        ::munmap(FView, size_t(FSize));
    if (FIsNew && FHandle >= 0 && LockByte(FHandle, SetupLockByte, true) == tLockResult::Locked &&
        StillLinked(FHandle, FObjectName))
        ::shm_unlink(FObjectName.constData());
    // Closing the descriptor (base class) releases both locks.
}

QByteArray cSharedMem::ObjectNameOf(const QByteArray &name)
{
    return "/quorvel-" + HashedKey(name);
}

void cSharedMem::Open()
{
    if (FSize <= 0)
        return;
    // A few rounds at most: a retry happens only when an owner unlinked the
    // name between our open and our lock.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::shm_open(FObjectName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0)
            return;
        if (LockByte(fd, SetupLockByte, true) != tLockResult::Locked) {
            ::close(fd);
            return;
        }
        if (!StillLinked(fd, FObjectName)) {
            ::close(fd);
            continue;
        }
        const bool attached = Attach(fd);
        UnlockByte(fd, SetupLockByte);
        if (!attached)
            Detach();
        return;
    }
}

// Under the setup lock: claims ownership when nobody holds it, and maps.
bool cSharedMem::Attach(int fd)
{
    FHandle = fd;
    const tLockResult claim = LockByte(fd, OwnerLockByte, false);
    if (claim == tLockResult::Failed)
        return false;
    FIsNew = claim == tLockResult::Locked;
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return false;
    // Never shrink: a second start of a dead owner may still have it mapped.
    if (info.st_size < FSize && (!FIsNew || ::ftruncate(fd, FSize) != 0))
        return false;
    void *view = ::mmap(nullptr, size_t(FSize), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED)
        return false;
    FView = static_cast<std::uint8_t *>(view);
    if (FIsNew)
        std::memset(FView, 0, size_t(FSize));
    return true;
}

void cSharedMem::Detach()
{
    if (FView)
        ::munmap(FView, size_t(FSize));
    FView = nullptr;
    if (FHandle >= 0)
        ::close(FHandle);
    FHandle = -1;
    FIsNew = false;
}

// ---- cApplicationSingleton ---------------------------------------------------

bool cApplicationSingleton::HandOff()
{
    if (SharedMem)
        return false;
    SharedMem = std::make_unique<cSharedMem>(BuildBlockName(), shared_block::Size);
    if (SharedMem->IsNew())
        return false; // the first instance keeps its block
    bool result = false;
    // The running instance is there when it has published its window and its
    // channel answers; otherwise this process runs on its own.
    if (ReadHandle(shared_block::MainWindowOffset) != 0) {
        Channel = std::make_unique<cRequestChannel>();
        if (Channel->Connect(ServerPathOf(SharedMem->Name())))
            result = HandOverCommandLine();
    }
    Release();
    return result;
}

void cApplicationSingleton::Release()
{
    StopServer();
    Withdrawn = false;
    Holds = 0;
    Channel.reset();
    SharedMem.reset();
}

void cApplicationSingleton::PublishWindows(std::uint32_t mainWindow, std::uint32_t applicationWindow)
{
    if (!HoldsBlock())
        return;
    // Listening first: a start that sees the handles finds the channel open.
    StartServer();
    WriteHandle(shared_block::ApplicationWindowOffset, applicationWindow);
    WriteHandle(shared_block::MainWindowOffset, mainWindow);
}

void cApplicationSingleton::HoldRequests(bool hold)
{
    Holds = qMax(0, Holds + (hold ? 1 : -1));
    if (Server)
        Server->Schedule();
}

void cApplicationSingleton::StopAnswering()
{
    Withdrawn = true;
    StopServer();
}

QString cApplicationSingleton::ReceivedFileName()
{
    if (!SharedMem || !SharedMem->View())
        return {};
    const char *field = reinterpret_cast<const char *>(SharedMem->View() + shared_block::FileNameOffset);
    return DecodeFileName(QByteArray(field, qsizetype(::strnlen(field, shared_block::FileNameSize))));
}

void cApplicationSingleton::SetOpenFileHandler(tOpenFileHandler handler)
{
    OpenFileHandler = std::move(handler);
}

void cApplicationSingleton::SetBringToFrontHandler(tBringToFrontHandler handler)
{
    BringToFrontHandler = std::move(handler);
}

QByteArray cApplicationSingleton::BuildBlockName()
{
    return BuildBlockName(ExecutablePath());
}

QByteArray cApplicationSingleton::BuildBlockName(const QString &executablePath)
{
    QByteArray path = QFile::encodeName(executablePath).replace('\\', '/');
    for (char &c : path)
        if (c >= 'a' && c <= 'z')
            c = char(c - ('a' - 'A'));
    return AnsiEncode(LoadResString(res::ProductName)) + " -- " + path + " + " + BlockIdentifier;
}

QString cApplicationSingleton::MakeFullName(const QString &name)
{
    return MakeFullName(name, CurrentDirectory());
}

QString cApplicationSingleton::MakeFullName(const QString &name, const QString &currentDirectory)
{
    if (name.startsWith(u'/'))
        return name;
    return currentDirectory.endsWith(u'/') ? currentDirectory + name : currentDirectory + u'/' + name;
}

bool cApplicationSingleton::BringToFront(std::uint32_t applicationWindow)
{
    if (applicationWindow == 0)
        return true;
    return Channel && Channel->Send(BringToFrontRequest);
}

bool cApplicationSingleton::HoldsBlock()
{
    return SharedMem && SharedMem->IsNew() && SharedMem->View();
}
