// Test-side helpers that talk to a real X server the way a user or a window
// manager would: start Xvfb, find windows, read their geometry and pixels,
// inject input with XTest, and run programs as child processes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace xsupport {

// A private Xvfb server, started with -displayfd so no display number is guessed.
// The destructor kills it. Extra arguments go after the screen option
// (for example {"-extension", "GLX"} for a server without GLX).
class XvfbServer {
public:
    XvfbServer(int width, int height, std::vector<std::string> extraArgs = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& display() const { return display_; } // ":N"
    bool running() const;                                   // false once the server process ended
    void kill();                                            // SIGKILL now (for fault tests)

private:
    int pid_ = -1;
    std::string display_;
};

// A client connection of the test itself (not of the code under test).
// All window handles here are X window ids (unsigned long, as Xlib's Window).
class XClient {
public:
    explicit XClient(const std::string& display); // throws std::runtime_error if it cannot connect
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    struct Geometry {
        int x = 0, y = 0;          // position of the window relative to the root window
        int width = 0, height = 0; // size of the window itself (no border)
    };

    // Searches the whole tree under the root for a mapped (viewable) window whose
    // _NET_WM_NAME (UTF-8) or WM_NAME equals `title`; polls until the timeout.
    // Returns 0 when none appeared in time.
    unsigned long waitForWindow(const std::string& titleUtf8, std::chrono::milliseconds timeout);
    // True once no viewable window of that title exists (polls until the timeout).
    bool waitForWindowGone(const std::string& titleUtf8, std::chrono::milliseconds timeout);

    std::optional<Geometry> geometry(unsigned long window);
    // _NET_WM_NAME if set (UTF-8), else WM_NAME converted from Latin-1 to UTF-8.
    std::string title(unsigned long window);
    std::string wmClassName(unsigned long window); // the class part of WM_CLASS
    std::vector<unsigned long> children(unsigned long window);
    unsigned long root() const;
    int screenWidth() const;
    int screenHeight() const;

    // Pixels of the window's contents as read from the server (XGetImage),
    // tightly packed RGB rows, top row first. Empty on failure.
    std::vector<std::uint8_t> captureRgb(unsigned long window, int& width, int& height);

    // XTest input. Key names are X keysym names ("n", "Escape", "Return", "Tab", "space", "F4").
    void keyDown(const std::string& keysymName);
    void keyUp(const std::string& keysymName);
    void tapKey(const std::string& keysymName);                              // down + up
    void tapKeyWithModifier(const std::string& mod, const std::string& key); // e.g. ("Alt_L", "F4")
    void movePointer(int rootX, int rootY);
    void buttonDown(int button); // 1 left, 2 middle, 3 right
    void buttonUp(int button);
    void click(int rootX, int rootY, int button = 1);
    void setInputFocus(unsigned long window);

    // Sends the WM_PROTOCOLS / WM_DELETE_WINDOW client message a window manager sends for the close box.
    void sendCloseRequest(unsigned long window);

    void sync();                                 // XSync(display, False)
    void* nativeDisplay() const { return dpy_; } // Display*

private:
    void* dpy_ = nullptr;
};

// Writes an RGB image (top row first, tightly packed) as a PNG file. Returns false on failure.
bool writePng(const std::string& path, const std::vector<std::uint8_t>& rgb, int width, int height);
// Reads a PNG file of any colour type as 8-bit RGB (alpha dropped), top row first. False on failure.
bool readPng(const std::string& path, std::vector<std::uint8_t>& rgb, int& width, int& height);

// A program run as a child process with stdout and stderr captured.
class ChildProcess {
public:
    // argv[0] is the program path. `env` entries ("NAME=value") are added to or replace the
    // parent's environment; an entry "NAME" without '=' removes NAME. `workdir` empty = inherit.
    // stdin is /dev/null.
    ChildProcess(std::vector<std::string> argv, std::vector<std::string> env = {}, std::string workdir = {});
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child to end. Returns its exit code, or 128+signal if it was killed by a
    // signal, or std::nullopt on timeout (the child keeps running).
    std::optional<int> wait(std::chrono::milliseconds timeout);
    bool running();
    void kill(int signal = 9);
    int pid() const { return pid_; }

    std::string stdoutText(); // everything read so far (wait() drains both pipes)
    std::string stderrText();

private:
    void drain(int timeoutMs);
    int pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    std::string out_, err_;
    std::optional<int> status_;
};

// The directory of the test executable's build tree, where targets are placed
// (taken from /proc/self/exe), so tests can find nembra-demo and helper programs.
std::string buildDir();

} // namespace xsupport
