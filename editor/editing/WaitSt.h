// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Nested busy scopes: the hourglass shows while any busy token lives.
#include <memory>

class cWaitStateSingleton;

// One busy scope; it lives exactly as long as the last token holding it.
class cWaitState
{
public:
    ~cWaitState();
    cWaitState(const cWaitState &) = delete;
    cWaitState &operator=(const cWaitState &) = delete;

private:
    cWaitState();
    friend class cWaitStateSingleton;
};

// A counted reference to a busy scope; dropping the last copy ends it, on
// every path out of the scope that holds it.
using tBusyToken = std::shared_ptr<cWaitState>;

class cWaitStateSingleton
{
public:
    // Keep the result in a local for the duration of the long operation.
    [[nodiscard]] static tBusyToken NewBusyToken();
    // Living busy scopes.
    int BusyCount() const noexcept { return FBusyCount; }

private:
    friend class cWaitState;
    int FBusyCount = 0;
    bool FCursorSet = false; // the override cursor that the outermost scope pushed
};

// The one instance, for the whole run.
cWaitStateSingleton &WaitStateSingleton();
