// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One running instance per installed copy of the program: a later start of
// the same executable hands its files to the running one and ends.
//
// The running instance owns a small shared block (a POSIX shared-memory
// object) and holds an advisory lock on it for as long as it lives, so a
// crashed owner never keeps later starts from taking over. Requests travel
// over a local socket and are answered only after they have been handled.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

inline constexpr unsigned WM_USER = 0x0400;
// "Open the file named in the block's FileName"; answered once it is open.
inline constexpr unsigned WM_OPENFILE = WM_USER + 1;

// The shared block: two window handles, then one zero-terminated ANSI name.
namespace shared_block {
inline constexpr int ApplicationWindowOffset = 0;
inline constexpr int MainWindowOffset = 4;
inline constexpr int FileNameOffset = 8;
inline constexpr int FileNameSize = 262;
inline constexpr int Size = 270;
} // namespace shared_block

// Owns a file descriptor and closes it.
class cHandledObject
{
public:
    cHandledObject() = default;
    virtual ~cHandledObject();
    cHandledObject(const cHandledObject &) = delete;
    cHandledObject &operator=(const cHandledObject &) = delete;

    // -1 when there is none (0 is a valid descriptor).
    int Handle() const noexcept { return FHandle; }

protected:
    int FHandle = -1;
};

// A named block of shared memory. The process that finds nobody holding its
// owner lock (because the block is new or its owner died) becomes the owner:
// IsNew, the block zero-filled. The owner unlinks the name when it is
// destroyed. Failures leave View null and IsNew false; nothing is thrown.
class cSharedMem : public cHandledObject
{
public:
    cSharedMem(const QByteArray &name, int size);
    ~cSharedMem() override;

    const QByteArray &Name() const noexcept { return FName; }
    int Size() const noexcept { return FSize; }
    bool IsNew() const noexcept { return FIsNew; }
    std::uint8_t *View() const noexcept { return FView; }

    // The name of the shared-memory object, derived from Name and the user.
    const QByteArray &ObjectName() const noexcept { return FObjectName; }
    static QByteArray ObjectNameOf(const QByteArray &name);

private:
    void Open();
    bool Attach(int fd);
    void Detach();

    QByteArray FName;
    QByteArray FObjectName;
    int FSize;
    bool FIsNew = false;
    std::uint8_t *FView = nullptr;
};

class cApplicationSingleton
{
public:
    cApplicationSingleton() = delete;

    using tOpenFileHandler = std::function<void(const QString &fileName)>;
    using tBringToFrontHandler = std::function<void()>;

    // Before any window exists (no application object needed). True: a
    // running instance took the file arguments over and this process ends.
    static bool HandOff();
    // Destroys the block; after the message loop.
    static void Release();
    // At the main window's first activation: starts answering later starts
    // and stores the handles (non-zero, or later starts run on their own).
    // Does nothing when this process holds no block.
    static void PublishWindows(std::uint32_t mainWindow, std::uint32_t applicationWindow);
    // FileName of the block up to its first zero; empty without a block.
    static QString ReceivedFileName();

    // Run in the running instance for each request of a later start, one at
    // a time, from the event loop; an exception is shown in the standard
    // error box and the request is still answered. Without a handler a file
    // request is refused (its sender opens its own window), and a
    // bring-to-front request raises the active modal window or the main one.
    static void SetOpenFileHandler(tOpenFileHandler handler);
    static void SetBringToFrontHandler(tBringToFrontHandler handler);

    // While held (calls nest), requests wait unanswered: the window is asking
    // whether it may close, and a file opened now would close with it.
    static void HoldRequests(bool hold);
    // The window no longer opens files: waiting and later requests are
    // refused, so their senders open their own windows. Until Release.
    static void StopAnswering();

    // "Zelmar -- <PATH, "\" as "/", ASCII upper-cased> + <identifier>"
    static QByteArray BuildBlockName();
    static QByteArray BuildBlockName(const QString &executablePath);
    // A relative name gets the current directory in front; absolute names
    // are left alone.
    static QString MakeFullName(const QString &name);
    static QString MakeFullName(const QString &name, const QString &currentDirectory);
    // Asks the running instance to come to the front when the handle is not
    // zero; false when the running instance has gone.
    static bool BringToFront(std::uint32_t applicationWindow);

    // True while this process is the first instance and keeps the block.
    static bool HoldsBlock();
};

// Holds the requests of later starts for its lifetime.
class cRequestHold
{
public:
    cRequestHold() { cApplicationSingleton::HoldRequests(true); }
    ~cRequestHold() { cApplicationSingleton::HoldRequests(false); }
    cRequestHold(const cRequestHold &) = delete;
    cRequestHold &operator=(const cRequestHold &) = delete;
};
