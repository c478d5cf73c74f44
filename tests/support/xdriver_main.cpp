// nembra-xdriver: lets shell scripts drive a program under Xvfb the way a user would.
#include "xsupport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char* usage =
    "usage: nembra-xdriver COMMAND ARGS...   (the display is taken from $DISPLAY)\n"
    "  wait-window TITLE [TIMEOUT_SECONDS]  wait for a viewable window (default 10 s), print its id\n"
    "  key KEYSYM                           press and release a key (X keysym name: n, Escape, F4, ...)\n"
    "  screenshot TITLE OUT.png             capture that window's contents as a PNG\n"
    "  close TITLE                          send the window manager's close request to that window\n"
    "  geometry TITLE                       print the window's root position and size: X Y W H\n"
    "  probe                                exit 0 if the display can be opened\n"
    "  count-colour IN.png RRGGBB TOLERANCE print how many pixels are within TOLERANCE of the colour\n"
    "                                       in every channel, and the picture's pixel count (no display)\n";

constexpr auto lookupTimeout = std::chrono::seconds(5);

int fail(const std::string& message) {
    std::fprintf(stderr, "nembra-xdriver: %s\n", message.c_str());
    return 1;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "nembra-xdriver: %s\n%s", message.c_str(), usage);
    return 2;
}

// Lets a script check a screenshot for what it should show without an image library of its own.
int countColour(const std::string& path, const std::string& hex, const std::string& toleranceText) {
    if (hex.size() != 6 || !std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return usageError("bad colour \"" + hex + "\" (RRGGBB in hex)");
    const unsigned long rgbValue = std::strtoul(hex.c_str(), nullptr, 16);
    char* end = nullptr;
    const long tolerance = std::strtol(toleranceText.c_str(), &end, 10);
    if (toleranceText.empty() || *end != '\0' || tolerance < 0 || tolerance > 255)
        return usageError("bad tolerance \"" + toleranceText + "\" (0 to 255)");
    std::vector<std::uint8_t> rgb;
    int width = 0, height = 0;
    if (!xsupport::readPng(path, rgb, width, height))
        return fail("cannot read " + path);
    const int wanted[3] = {static_cast<int>(rgbValue >> 16 & 0xFF), static_cast<int>(rgbValue >> 8 & 0xFF),
                           static_cast<int>(rgbValue & 0xFF)};
    long matching = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        bool near = true;
        for (int c = 0; c < 3; ++c)
            near = near && std::abs(rgb[i + c] - wanted[c]) <= tolerance;
        matching += near;
    }
    std::printf("%ld %ld\n", matching, static_cast<long>(width) * height);
    return 0;
}

int run(int argc, char** argv) {
    if (argc < 2)
        return usageError("missing command");
    const std::string command = argv[1];
    if (command == "-h" || command == "--help") {
        std::fputs(usage, stdout);
        return 0;
    }
    struct Arity {
        const char* name;
        int min, max;
    };
    static constexpr Arity commands[] = {{"wait-window", 1, 2}, {"key", 1, 1},   {"screenshot", 2, 2},  {"close", 1, 1},
                                         {"geometry", 1, 1},    {"probe", 0, 0}, {"count-colour", 3, 3}};
    const Arity* arity = nullptr;
    for (const auto& c : commands)
        if (command == c.name)
            arity = &c;
    if (!arity)
        return usageError("unknown command \"" + command + "\"");
    if (argc - 2 < arity->min || argc - 2 > arity->max)
        return usageError("wrong number of arguments for " + command);

    if (command == "count-colour")
        return countColour(argv[2], argv[3], argv[4]);

    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
        return fail("DISPLAY is not set");
    xsupport::XClient client(display); // throws when the display cannot be opened
    if (command == "probe")
        return 0;

    if (command == "key") {
        client.tapKey(argv[2]);
        return 0;
    }

    const std::string title = argv[2];
    std::chrono::milliseconds timeout = lookupTimeout;
    if (command == "wait-window") {
        double seconds = 10;
        if (argc == 4) {
            char* end = nullptr;
            seconds = std::strtod(argv[3], &end);
            if (end == argv[3] || *end != '\0' || !(seconds >= 0 && seconds < 1e6))
                return usageError("bad timeout \"" + std::string(argv[3]) + "\"");
        }
        timeout = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    }

    unsigned long window = client.waitForWindow(title, timeout);
    if (!window)
        return fail("no viewable window titled \"" + title + "\" appeared");

    if (command == "wait-window") {
        std::printf("0x%lx\n", window);
    } else if (command == "geometry") {
        auto geometry = client.geometry(window);
        if (!geometry)
            return fail("window \"" + title + "\" went away");
        std::printf("%d %d %d %d\n", geometry->x, geometry->y, geometry->width, geometry->height);
    } else if (command == "close") {
        client.sendCloseRequest(window);
    } else { // screenshot
        int width = 0, height = 0;
        auto rgb = client.captureRgb(window, width, height);
        if (rgb.empty())
            return fail("could not capture window \"" + title + "\"");
        if (!xsupport::writePng(argv[3], rgb, width, height))
            return fail(std::string("cannot write ") + argv[3]);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
