// Working off the GL window's messages the way the frame loop does: SETGLMSG, one message at a time.
#pragma once

#include <nembra/nembra.h>

#include "nembra/platform/win.h"

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// SETGLMSG one message at a time until `done` holds (checked before each message, so a test can stop
// right after the message it waits for); false when the time is up first.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        if (win::PeekMessageA(nullptr, 0, 0, 0, win::PM_NOREMOVE))
            nembra::SETGLMSG();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport
