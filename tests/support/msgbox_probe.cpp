// nembra-msgbox-probe TEXT CAPTION TYPE: shows one message box and prints the answer's number.
// Arguments may carry \xNN escapes, so a test can hand over Latin-1 bytes whatever its own locale.
#include "nembra/platform/win.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Unescape(const char* arg) {
    std::string out;
    for (const char* c = arg; *c; ++c) {
        if (c[0] == '\\' && c[1] == 'x' && std::isxdigit(static_cast<unsigned char>(c[2])) &&
            std::isxdigit(static_cast<unsigned char>(c[3]))) {
            out += static_cast<char>(std::strtoul(std::string(c + 2, 2).c_str(), nullptr, 16));
            c += 3;
        } else {
            out += *c;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s TEXT CAPTION TYPE\n", argv[0]);
        return 2;
    }
    const std::string text = Unescape(argv[1]);
    const std::string caption = Unescape(argv[2]);
    const auto type = static_cast<win::UINT>(std::strtoul(argv[3], nullptr, 0));
    std::printf("%d\n", win::MessageBoxA(0, text.c_str(), caption.c_str(), type));
    return 0;
}
