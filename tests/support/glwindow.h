// The one GL window of a test process, created on first use (a process may create it only once).
#pragma once

#include <nembra/nembra.h>

namespace testsupport {

inline void EnsureGlWindow(const char* title, int width, int height) {
    static bool created = false;
    if (!created) {
        nembra::CREATEOGLWINDOW(title, width, height, 32, false);
        created = true;
    }
}

} // namespace testsupport
