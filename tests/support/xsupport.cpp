#include "xsupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace xsupport {

namespace {

using Clock = std::chrono::steady_clock;

Display* asDisplay(void* p) { return static_cast<Display*>(p); }

int millisLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// Resolved before fork(): execvp may allocate, which is not safe in the child of a threaded process.
std::string findOnPath(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::vector<char*> cArgv(std::vector<std::string>& args) {
    std::vector<char*> out;
    for (auto& a : args)
        out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

// The helpers below run between fork() and exec(), so they stick to async-signal-safe calls.
void childWrite(const char* text) {
    std::size_t len = std::strlen(text);
    while (len > 0) {
        ssize_t n = ::write(STDERR_FILENO, text, len);
        if (n <= 0)
            return;
        text += n;
        len -= static_cast<std::size_t>(n);
    }
}

void childMoveFd(int from, int to) {
    if (from == to)
        ::fcntl(to, F_SETFD, 0); // dup2 onto itself would keep close-on-exec
    else
        ::dup2(from, to);
}

// Signal state survives exec; a test runner that blocks or ignores signals must not pass that on.
void childResetSignalsAndParent(int deathSignal, pid_t parent) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    // The signal follows the forking thread's death; if the parent is already gone, do not start at all.
    ::prctl(PR_SET_PDEATHSIG, deathSignal);
    if (::getppid() != parent)
        ::_exit(127);
}

int decodeStatus(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

void reapBlocking(pid_t pid, int* status = nullptr) {
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    if (status)
        *status = st;
}

// Xlib's error handler is process-wide. While our requests are in flight we put in one that swallows
// errors for our connection (windows vanish while we look at them) and hands everything else to the
// handler that was there before, so the code under test keeps its own error handling.
// The failed call itself reports the failure (a zero status, a null image), so the error is just dropped.
Display* trapDisplay = nullptr;
XErrorHandler trapPrevious = nullptr;

int trapHandler(Display* dpy, XErrorEvent* event) {
    if (dpy == trapDisplay)
        return 0;
    return trapPrevious ? trapPrevious(dpy, event) : 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* dpy) : dpy_(dpy) {
        trapDisplay = dpy;
        trapPrevious = XSetErrorHandler(trapHandler);
    }
    ~ErrorTrap() {
        // Errors arrive asynchronously; sync first so every one of ours is seen while the trap is in place.
        XSync(dpy_, False);
        XSetErrorHandler(trapPrevious);
        trapDisplay = nullptr;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

private:
    Display* dpy_;
};

// Fault tests kill the server under a live XClient. Xlib's default reaction to a lost connection is
// exit(), so for our own connections the I/O error is only recorded; other connections in the process
// (the code under test) still get the handler that was installed before.
std::mutex clientsMutex;
std::map<Display*, bool> clientConnectionLost;
bool ioHandlerInstalled = false;
XIOErrorHandler ioPrevious = nullptr;

bool markLost(Display* dpy) {
    std::lock_guard lock(clientsMutex);
    auto it = clientConnectionLost.find(dpy);
    if (it == clientConnectionLost.end())
        return false;
    it->second = true;
    return true;
}

int clientIoHandler(Display* dpy) {
    if (markLost(dpy))
        return 0;
    return ioPrevious ? ioPrevious(dpy) : 0;
}

void clientIoExitHandler(Display* dpy, void*) { markLost(dpy); } // returning keeps the process alive

void registerClient(Display* dpy) {
    std::lock_guard lock(clientsMutex);
    if (!ioHandlerInstalled) {
        ioPrevious = XSetIOErrorHandler(clientIoHandler);
        ioHandlerInstalled = true;
    }
    clientConnectionLost[dpy] = false;
    XSetIOErrorExitHandler(dpy, clientIoExitHandler, nullptr);
}

void unregisterClient(Display* dpy) {
    std::lock_guard lock(clientsMutex);
    clientConnectionLost.erase(dpy);
}

bool connectionLost(Display* dpy) {
    std::lock_guard lock(clientsMutex);
    auto it = clientConnectionLost.find(dpy);
    return it != clientConnectionLost.end() && it->second;
}

std::string latin1ToUtf8(const unsigned char* text, std::size_t len) {
    std::string out;
    out.reserve(len);
    for (std::size_t i = 0; i < len; ++i) {
        unsigned char c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Reads an 8-bit property; `type` receives its actual type (None when absent).
bool readTextProperty(Display* dpy, Window window, Atom property, Atom& type, std::string& bytes) {
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    type = None;
    if (XGetWindowProperty(dpy, window, property, 0, 1L << 20, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success) {
        type = None;
        return false;
    }
    bool ok = type != None && format == 8;
    if (ok)
        bytes.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    return ok;
}

std::string windowTitle(Display* dpy, Window window) {
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type = None;
    std::string bytes;
    if (readTextProperty(dpy, window, XInternAtom(dpy, "_NET_WM_NAME", False), type, bytes) && type == utf8)
        return bytes;
    if (!readTextProperty(dpy, window, XA_WM_NAME, type, bytes))
        return {};
    if (type == XA_STRING)
        return latin1ToUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (type == utf8)
        return bytes;
    // COMPOUND_TEXT and friends: let Xlib convert.
    XTextProperty prop{};
    prop.value = reinterpret_cast<unsigned char*>(bytes.data());
    prop.encoding = type;
    prop.format = 8;
    prop.nitems = bytes.size();
    char** list = nullptr;
    int count = 0;
    std::string out = bytes;
    if (Xutf8TextPropertyToTextList(dpy, &prop, &list, &count) >= Success && list) {
        out.clear();
        for (int i = 0; i < count; ++i)
            out += list[i];
        XFreeStringList(list);
    }
    return out;
}

std::vector<Window> childWindows(Display* dpy, Window window) {
    Window rootReturn = 0, parent = 0;
    Window* kids = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, window, &rootReturn, &parent, &kids, &count))
        return {};
    std::vector<Window> out(kids, kids + count);
    if (kids)
        XFree(kids);
    return out;
}

// Children of an unmapped window cannot be viewable, so only viewable subtrees are searched;
// siblings are visited top of the stack first, so the window a user would see wins.
Window findViewable(Display* dpy, Window window, const std::string& title, bool isRoot) {
    if (!isRoot) {
        XWindowAttributes attrs;
        if (!XGetWindowAttributes(dpy, window, &attrs) || attrs.map_state != IsViewable)
            return 0;
        if (windowTitle(dpy, window) == title)
            return window;
    }
    std::vector<Window> kids = childWindows(dpy, window);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        if (Window found = findViewable(dpy, *it, title, false))
            return found;
    return 0;
}

Window findByTitle(Display* dpy, const std::string& title) {
    ErrorTrap trap(dpy);
    return findViewable(dpy, DefaultRootWindow(dpy), title, true);
}

KeyCode keycodeFor(Display* dpy, const std::string& name) {
    KeySym sym = XStringToKeysym(name.c_str());
    if (sym == NoSymbol)
        throw std::runtime_error("unknown keysym name \"" + name + "\"");
    KeyCode code = XKeysymToKeycode(dpy, sym);
    if (code == 0)
        throw std::runtime_error("keysym \"" + name + "\" has no keycode in the server's keymap");
    return code;
}

void requireXTest(Display* dpy) {
    if (connectionLost(dpy))
        throw std::runtime_error("the connection to the X server was lost");
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor))
        throw std::runtime_error("the X server has no XTEST extension");
}

struct Channel {
    unsigned long mask = 0;
    int shift = 0;
    unsigned long max = 0;

    explicit Channel(unsigned long m) : mask(m) {
        if (!mask)
            return;
        while (!((mask >> shift) & 1UL))
            ++shift;
        max = mask >> shift;
    }
    std::uint8_t to8(unsigned long pixel) const {
        if (!max)
            return 0;
        unsigned long v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// XvfbServer

XvfbServer::XvfbServer(int width, int height, std::vector<std::string> extraArgs) {
    std::string xvfb = findOnPath("Xvfb");
    if (xvfb.empty())
        throw std::runtime_error("Xvfb not found on PATH (install the xvfb package)");

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(errnoText("pipe2"));
    int readFd = fds[0];
    const int writeFd = fds[1];

    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {xvfb, "-displayfd", std::to_string(writeFd), "-nolisten", "tcp", "-noreset"};
    args.insert(args.end(), {"-screen", "0", screen});
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv = cArgv(args);

    const char* verbose = std::getenv("NEMBRA_XVFB_VERBOSE");
    const bool quiet = !verbose || !*verbose;
    int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        ::close(readFd);
        ::close(writeFd);
        throw std::runtime_error(errnoText("open /dev/null"));
    }

    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        int saved = errno;
        ::close(readFd);
        ::close(writeFd);
        ::close(devNull);
        errno = saved;
        throw std::runtime_error(errnoText("fork"));
    }
    if (pid == 0) {
        childResetSignalsAndParent(SIGTERM, parent);
        childMoveFd(devNull, STDIN_FILENO);
        if (quiet) {
            childMoveFd(devNull, STDOUT_FILENO);
            childMoveFd(devNull, STDERR_FILENO);
        }
        // Only the display pipe and stdio go to the server; whatever else the test has open stays here.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ::fcntl(writeFd, F_SETFD, 0);
        ::execv(argv[0], argv.data());
        childWrite("nembra tests: cannot execute Xvfb\n");
        ::_exit(127);
    }

    ::close(writeFd);
    ::close(devNull);
    pid_ = pid;

    auto fail = [&](const std::string& why) {
        if (readFd >= 0)
            ::close(readFd);
        ::kill(pid_, SIGKILL);
        int status = 0;
        reapBlocking(pid_, &status);
        pid_ = -1;
        std::string how;
        if (WIFEXITED(status))
            how = " (Xvfb exited with status " + std::to_string(WEXITSTATUS(status)) + ")";
        throw std::runtime_error("could not start Xvfb: " + why + how +
                                 (quiet ? "; set NEMBRA_XVFB_VERBOSE=1 to see its output" : ""));
    };

    std::string reply;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (reply.find('\n') == std::string::npos) {
        int left = millisLeft(deadline);
        if (left == 0)
            fail("no display number within 10 s");
        pollfd p{readFd, POLLIN, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            fail(errnoText("poll"));
        if (r <= 0)
            continue;
        char chunk[64];
        ssize_t n = ::read(readFd, chunk, sizeof chunk);
        if (n > 0)
            reply.append(chunk, static_cast<std::size_t>(n));
        else if (n == 0)
            fail("it closed the display pipe without a display number");
        else if (errno != EINTR && errno != EAGAIN)
            fail(errnoText("read"));
    }
    ::close(readFd);
    readFd = -1;

    std::string number = reply.substr(0, reply.find('\n'));
    if (number.empty() || !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        fail("unexpected display number \"" + number + "\"");
    display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    for (;;) {
        pid_t r = ::waitpid(pid_, nullptr, WNOHANG);
        if (r == pid_ || (r < 0 && errno != EINTR))
            return;
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    reapBlocking(pid_);
}

bool XvfbServer::running() const {
    if (pid_ <= 0)
        return false;
    // WNOWAIT leaves the zombie for the destructor to reap, which keeps this a pure query.
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

void XvfbServer::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    reapBlocking(pid_);
    pid_ = -1;
}

// ---------------------------------------------------------------------------------------------------------------
// XClient

XClient::XClient(const std::string& display) {
    dpy_ = XOpenDisplay(display.c_str());
    if (!dpy_)
        throw std::runtime_error("cannot connect to X display \"" + display + "\"");
    registerClient(asDisplay(dpy_));
}

XClient::~XClient() {
    XCloseDisplay(asDisplay(dpy_));
    unregisterClient(asDisplay(dpy_));
}

unsigned long XClient::waitForWindow(const std::string& titleUtf8, std::chrono::milliseconds timeout) {
    Display* dpy = asDisplay(dpy_);
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (Window found = findByTitle(dpy, titleUtf8))
            return found;
        int left = millisLeft(deadline);
        if (left == 0)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 20)));
    }
}

bool XClient::waitForWindowGone(const std::string& titleUtf8, std::chrono::milliseconds timeout) {
    Display* dpy = asDisplay(dpy_);
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (!findByTitle(dpy, titleUtf8))
            return true;
        int left = millisLeft(deadline);
        if (left == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 20)));
    }
}

std::optional<XClient::Geometry> XClient::geometry(unsigned long window) {
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy, window, &attrs))
        return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child))
        return std::nullopt;
    return Geometry{x, y, attrs.width, attrs.height};
}

std::string XClient::title(unsigned long window) {
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    return windowTitle(dpy, window);
}

std::string XClient::wmClassName(unsigned long window) {
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    XClassHint hint{};
    if (!XGetClassHint(dpy, window, &hint))
        return {};
    std::string out = hint.res_class ? hint.res_class : "";
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return out;
}

std::vector<unsigned long> XClient::children(unsigned long window) {
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    std::vector<Window> kids = childWindows(dpy, window);
    return {kids.begin(), kids.end()};
}

unsigned long XClient::root() const { return DefaultRootWindow(asDisplay(dpy_)); }

int XClient::screenWidth() const {
    Display* dpy = asDisplay(dpy_);
    return DisplayWidth(dpy, DefaultScreen(dpy));
}

int XClient::screenHeight() const {
    Display* dpy = asDisplay(dpy_);
    return DisplayHeight(dpy, DefaultScreen(dpy));
}

std::vector<std::uint8_t> XClient::captureRgb(unsigned long window, int& width, int& height) {
    width = height = 0;
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy, window, &attrs) || attrs.width <= 0 || attrs.height <= 0)
        return {};
    const Visual* visual = attrs.visual;
    if (!visual || (visual->c_class != TrueColor && visual->c_class != DirectColor))
        return {};

    XImage* image = XGetImage(dpy, window, 0, 0, static_cast<unsigned>(attrs.width),
                              static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
    if (!image)
        return {};

    const Channel red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    const int w = image->width, h = image->height, bpp = image->bits_per_pixel;
    const bool byteAligned = bpp % 8 == 0 && bpp >= 8 && bpp <= 32;
    const int bytesPerPixel = bpp / 8;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    std::uint8_t* out = rgb.data();
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(image->data) + std::size_t(y) * image->bytes_per_line;
        for (int x = 0; x < w; ++x) {
            unsigned long pixel = 0;
            if (byteAligned) {
                const unsigned char* p = row + std::size_t(x) * bytesPerPixel;
                for (int i = 0; i < bytesPerPixel; ++i) {
                    int shift = image->byte_order == LSBFirst ? 8 * i : 8 * (bytesPerPixel - 1 - i);
                    pixel |= static_cast<unsigned long>(p[i]) << shift;
                }
            } else {
                pixel = XGetPixel(image, x, y);
            }
            *out++ = red.to8(pixel);
            *out++ = green.to8(pixel);
            *out++ = blue.to8(pixel);
        }
    }
    XDestroyImage(image);
    width = w;
    height = h;
    return rgb;
}

void XClient::keyDown(const std::string& keysymName) {
    Display* dpy = asDisplay(dpy_);
    requireXTest(dpy);
    XTestFakeKeyEvent(dpy, keycodeFor(dpy, keysymName), True, CurrentTime);
    XSync(dpy, False);
}

void XClient::keyUp(const std::string& keysymName) {
    Display* dpy = asDisplay(dpy_);
    requireXTest(dpy);
    XTestFakeKeyEvent(dpy, keycodeFor(dpy, keysymName), False, CurrentTime);
    XSync(dpy, False);
}

void XClient::tapKey(const std::string& keysymName) {
    keyDown(keysymName);
    keyUp(keysymName);
}

void XClient::tapKeyWithModifier(const std::string& mod, const std::string& key) {
    Display* dpy = asDisplay(dpy_);
    keycodeFor(dpy, key); // fail before the modifier goes down, or it would stay held
    keyDown(mod);
    try {
        tapKey(key);
    } catch (...) {
        keyUp(mod);
        throw;
    }
    keyUp(mod);
}

void XClient::movePointer(int rootX, int rootY) {
    Display* dpy = asDisplay(dpy_);
    requireXTest(dpy);
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rootX, rootY, CurrentTime);
    XSync(dpy, False);
}

void XClient::buttonDown(int button) {
    Display* dpy = asDisplay(dpy_);
    requireXTest(dpy);
    XTestFakeButtonEvent(dpy, static_cast<unsigned>(button), True, CurrentTime);
    XSync(dpy, False);
}

void XClient::buttonUp(int button) {
    Display* dpy = asDisplay(dpy_);
    requireXTest(dpy);
    XTestFakeButtonEvent(dpy, static_cast<unsigned>(button), False, CurrentTime);
    XSync(dpy, False);
}

void XClient::click(int rootX, int rootY, int button) {
    movePointer(rootX, rootY);
    buttonDown(button);
    buttonUp(button);
}

void XClient::setInputFocus(unsigned long window) {
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    XSetInputFocus(dpy, window, RevertToPointerRoot, CurrentTime);
}

void XClient::sendCloseRequest(unsigned long window) {
    Display* dpy = asDisplay(dpy_);
    ErrorTrap trap(dpy);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    // An empty mask delivers to the window's creator, exactly as a window manager's close does.
    XSendEvent(dpy, window, False, NoEventMask, &event);
    XFlush(dpy);
}

void XClient::sync() { XSync(asDisplay(dpy_), False); }

// ---------------------------------------------------------------------------------------------------------------
// writePng

namespace {

// Kept apart from C++ objects: libpng reports errors by longjmp.
bool writePngRows(FILE* file, const std::uint8_t* rgb, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb + stride * static_cast<std::size_t>(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const std::string& path, const std::vector<std::uint8_t>& rgb, int width, int height) {
    if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3)
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = writePngRows(file, rgb.data(), width, height);
    if (std::fclose(file) != 0)
        ok = false;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

namespace {

// Like writePngRows, no C++ object of its own lives across libpng's longjmp.
bool readPngRows(FILE* file, std::vector<std::uint8_t>& rgb, int& width, int& height) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    // Whatever the file's colour type: 8-bit RGB without alpha.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    width = static_cast<int>(png_get_image_width(png, info));
    height = static_cast<int>(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 3) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    rgb.assign(static_cast<std::size_t>(width) * height * 3, 0);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y)
            png_read_row(png, rgb.data() + static_cast<std::size_t>(y) * width * 3, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool readPng(const std::string& path, std::vector<std::uint8_t>& rgb, int& width, int& height) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    const bool ok = readPngRows(file, rgb, width, height);
    std::fclose(file);
    return ok;
}

// ---------------------------------------------------------------------------------------------------------------
// ChildProcess

namespace {

std::vector<std::string> childEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; entry && *entry; ++entry)
        result.emplace_back(*entry);
    for (const auto& change : changes) {
        const std::size_t eq = change.find('=');
        const std::string name = change.substr(0, eq);
        std::erase_if(result, [&](const std::string& e) {
            return e.size() > name.size() && e[name.size()] == '=' && e.compare(0, name.size(), name) == 0;
        });
        if (eq != std::string::npos)
            result.push_back(change);
    }
    return result;
}

// Reads until the pipe is empty; at end of file the descriptor is closed and set to -1.
void readAvailable(int& fd, std::string& sink) {
    if (fd < 0)
        return;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            sink.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                ::close(fd);
                fd = -1;
            }
            return;
        }
    }
}

} // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, std::vector<std::string> env, std::string workdir) {
    if (argv.empty())
        throw std::invalid_argument("ChildProcess needs a program");
    std::string resolved = findOnPath(argv[0]);
    if (!resolved.empty())
        argv[0] = resolved;
    std::vector<char*> cargv = cArgv(argv);
    std::vector<std::string> envStrings = childEnvironment(env);
    std::vector<char*> cenv = cArgv(envStrings);
    const std::string execFailed = "cannot execute " + argv[0] + "\n";
    const std::string chdirFailed = "cannot change directory to " + workdir + "\n";

    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        throw std::runtime_error(errnoText("pipe2"));
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        int saved = errno;
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        errno = saved;
        throw std::runtime_error(errnoText("pipe2"));
    }
    int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    auto closeAll = [&] {
        for (int fd : {outPipe[0], outPipe[1], errPipe[0], errPipe[1], devNull})
            if (fd >= 0)
                ::close(fd);
    };
    if (devNull < 0) {
        int saved = errno;
        closeAll();
        errno = saved;
        throw std::runtime_error(errnoText("open /dev/null"));
    }

    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        int saved = errno;
        closeAll();
        errno = saved;
        throw std::runtime_error(errnoText("fork"));
    }
    if (pid == 0) {
        childResetSignalsAndParent(SIGKILL, parent);
        childMoveFd(devNull, STDIN_FILENO);
        childMoveFd(outPipe[1], STDOUT_FILENO);
        childMoveFd(errPipe[1], STDERR_FILENO);
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        if (!workdir.empty() && ::chdir(workdir.c_str()) != 0) {
            childWrite(chdirFailed.c_str());
            ::_exit(127);
        }
        ::execve(cargv[0], cargv.data(), cenv.data());
        childWrite(execFailed.c_str());
        ::_exit(127);
    }

    ::close(outPipe[1]);
    ::close(errPipe[1]);
    ::close(devNull);
    pid_ = pid;
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    // Non-blocking so draining never stalls on a pipe a grandchild keeps open.
    ::fcntl(outFd_, F_SETFL, ::fcntl(outFd_, F_GETFL) | O_NONBLOCK);
    ::fcntl(errFd_, F_SETFL, ::fcntl(errFd_, F_GETFL) | O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        reapBlocking(pid_);
    }
    if (outFd_ >= 0)
        ::close(outFd_);
    if (errFd_ >= 0)
        ::close(errFd_);
}

void ChildProcess::drain(int timeoutMs) {
    pollfd fds[2];
    nfds_t count = 0;
    if (outFd_ >= 0)
        fds[count++] = {outFd_, POLLIN, 0};
    if (errFd_ >= 0)
        fds[count++] = {errFd_, POLLIN, 0};
    if (count == 0) {
        if (timeoutMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    if (::poll(fds, count, timeoutMs) <= 0)
        return;
    readAvailable(outFd_, out_);
    readAvailable(errFd_, err_);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (!running()) {
            drain(0); // whatever the child wrote just before it ended
            return status_;
        }
        int left = millisLeft(deadline);
        if (left == 0)
            return std::nullopt;
        // Short slices: the child's exit does not wake poll() while a grandchild holds the pipes.
        drain(std::min(left, 10));
    }
}

bool ChildProcess::running() {
    if (status_)
        return false;
    if (pid_ <= 0)
        return false;
    drain(0);
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        status_ = decodeStatus(status);
        return false;
    }
    if (r < 0 && errno == ECHILD) { // reaped elsewhere, e.g. SIGCHLD set to SIG_IGN
        status_ = -1;
        return false;
    }
    return true;
}

void ChildProcess::kill(int signal) {
    if (pid_ > 0 && !status_)
        ::kill(pid_, signal);
}

std::string ChildProcess::stdoutText() {
    drain(0);
    return out_;
}

std::string ChildProcess::stderrText() {
    drain(0);
    return err_;
}

// ---------------------------------------------------------------------------------------------------------------

std::string buildDir() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw std::runtime_error("cannot read /proc/self/exe: " + error.message());
    return exe.parent_path().string();
}

} // namespace xsupport
