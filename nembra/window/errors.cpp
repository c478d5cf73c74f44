// The library's two ways of stopping the program: the fatal message and the fatal bound check.
#include "nembra/platform/win.h"
#include "nembra/window/internal.h"

#include <cstdio>
#include <cstdlib>

namespace nembra {

void detail::RangeCheckFailed(const char* name, long long index) {
    std::fprintf(stderr, "range check error: %s[%lld]\n", name, index);
    std::fflush(stderr);
    std::_Exit(201);
}

void THROWERROR(const char* PCERRORMESSAGE) {
    // Standard error first: the message must survive a user who never dismisses the box, and with no
    // display the box itself writes nothing else.
    std::fprintf(stderr, "Error: %s\n", win::Latin1ToUtf8(PCERRORMESSAGE).c_str());
    std::fflush(stderr);
    if (win::HaveDisplay())
        win::MessageBoxA(0, PCERRORMESSAGE, "Error", MB_OK);
    // A failure ends with a failure status; the window and contexts go with the process.
    std::exit(1);
}

// Desktop services a calling program uses directly.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    return win::MessageBoxA(owner, text, caption, type);
}

BOOL SwapBuffers(HDC dc) { return win::SwapBuffers(dc); }

} // namespace nembra
