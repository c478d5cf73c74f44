// What the demo's frame costs at 800 x 600, started as nembra-demo starts: frames per second of the
// full frame, of the same frame with every effect replaced by one plain glCallList of its list, and of
// an empty frame (the loop's floor); the time from window creation to the first swapped frame; the
// frames the pump needs to work off a burst of pointer moves; and the resident memory over a long run
// of frames, which must not grow.
//
// `demo_bench --startup-only` measures the start-up alone and prints it in one line; the full run
// starts itself that way a few times for a median, since a process opens its GL window only once.
#include "scene.h"
#include "summary.h"

#include <nembra/nembra.h>

// PeekMessageA: whether a message still waits for the pump, which the public header does not tell.
#include "nembra/platform/win.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Xlib last: it defines None, Bool, Status and Success as macros.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

extern char** environ;

using namespace nembra;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kTitle = "Nembra demo benchmark";
constexpr const char* kStartupTitle = "Nembra demo benchmark (start-up)";
constexpr const char* kStartupOnly = "--startup-only";
constexpr int kStartupChildren = 4;
constexpr int kMoves = 10'000;
constexpr int kMemoryFrames = 10'000;
constexpr int kMemoryWarmUpFrames = 100;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void FullFrame() {
    glClear(GL_COLOR_BUFFER_BIT);
    SETGLMSG();
    demo::OPENGL_DRAW();
    SwapBuffers(DCWINDOW);
}

void PlainCall(float X, float Y, float Z, std::uint32_t OBJNAME) {
    glPushMatrix();
    glTranslatef(X, Y, Z);
    glCallList(OBJNAME);
    glPopMatrix();
}
void PlainBump(float X, float Y, float Z, std::uint32_t OBJNAME, std::int32_t) { PlainCall(X, Y, Z, OBJNAME); }
void PlainCartoon(float X, float Y, float Z, float, std::uint32_t OBJNAME, BYTEBOOL) { PlainCall(X, Y, Z, OBJNAME); }
constexpr demo::PARTDRAWERS PLAIN = {PlainBump, PlainCartoon};

void PlainFrame() {
    glClear(GL_COLOR_BUFFER_BIT);
    SETGLMSG();
    demo::DRAWFRAME(PLAIN);
    SwapBuffers(DCWINDOW);
}

void EmptyFrame() {
    glClear(GL_COLOR_BUFFER_BIT);
    SwapBuffers(DCWINDOW);
}

// --- Start-up ---

struct Startup {
    double window = 0; // CREATEOGLWINDOW and the GL set-up after it
    double lists = 0;  // demo::OPENGL_CREATELIST
    double frame = 0;  // the first frame, swapped and finished
    double total() const { return window + lists + frame; }
};

// The start-up of nembra-demo after its question.
Startup StartUp(const char* title) {
    OGLWINDOWSETTING(ARROW, "", GENERIC, "");
    const auto start = Clock::now();
    CREATEOGLWINDOW(title, 800, 600, 32, false);
    OPENGL_INIT(1000.0, 0.0, 0.0, 0.0, 0.0);
    SETGLREFRACTIVE();
    SETGLLIGHT(GL_LIGHT0, 0.0f, 0.0f, 0.0f, 0.1f);
    const auto window = Clock::now();
    demo::OPENGL_CREATELIST();
    const auto lists = Clock::now();
    FullFrame();
    glFinish();
    const auto frame = Clock::now();
    return {Ms(window - start), Ms(lists - window), Ms(frame - lists)};
}

// Runs this program with --startup-only, `extraEnv` ("NAME=value", or null) added to its environment,
// and reads its line; nothing when it fails or takes a minute.
std::optional<Startup> StartupOfChild(const char* extraEnv) {
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry)
        env.push_back(*entry);
    std::string extra = extraEnv ? extraEnv : "";
    if (extraEnv)
        env.push_back(extra.data());
    env.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char exe[] = "/proc/self/exe";
    std::string flag = kStartupOnly;
    char* argv[] = {exe, flag.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, exe, &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    const auto deadline = Clock::now() + std::chrono::minutes(1);
    while (spawned == 0 && Clock::now() < deadline) {
        pollfd fd{out[0], POLLIN, 0};
        if (poll(&fd, 1, 1000) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    if (Clock::now() >= deadline)
        kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    Startup s;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "startup %lf %lf %lf", &s.window, &s.lists, &s.frame) != 3)
        return std::nullopt;
    return s;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintStartup(const char* what, const Startup& s) {
    std::printf("%-34s %8.1f ms = window and context %.1f + OPENGL_CREATELIST %.1f + first frame %.1f\n", what,
                s.total(), s.window, s.lists, s.frame);
}

void ReportStartup(const Startup& own) {
    std::vector<Startup> runs{own};
    for (int i = 0; i < kStartupChildren; ++i)
        if (const auto child = StartupOfChild(nullptr))
            runs.push_back(*child);
    // Without Mesa's shader cache the first frame also compiles the scene's shaders (with llvmpipe,
    // most of a cold start-up).
    const auto cold = StartupOfChild("MESA_SHADER_CACHE_DISABLE=true");
    std::printf("\nstart-up, CREATEOGLWINDOW to the first swapped frame (glFinish after the swap):\n");
    PrintStartup("  this process", own);
    if (runs.size() < 2) {
        std::printf("  (no start-up of a child process could be measured)\n");
        return;
    }
    const auto median = [&runs](double Startup::*part) {
        std::vector<double> values;
        for (const Startup& s : runs)
            values.push_back(s.*part);
        return Median(values);
    };
    std::vector<double> totals;
    for (const Startup& s : runs)
        totals.push_back(s.total());
    char what[64];
    std::snprintf(what, sizeof what, "  median of %zu processes", runs.size());
    std::printf("%-34s %8.1f ms = window and context %.1f + OPENGL_CREATELIST %.1f + first frame %.1f (medians)\n",
                what, Median(totals), median(&Startup::window), median(&Startup::lists), median(&Startup::frame));
    if (cold)
        PrintStartup("  without Mesa's shader cache", *cold);
}

// --- Input backlog ---

// The window called `title` under `window`, searched depth first (a window manager reparents it).
Window FindWindow(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool match = std::strcmp(name, title) == 0;
        XFree(name);
        if (match)
            return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
        found = FindWindow(display, children[i], title);
    if (children)
        XFree(children);
    return found;
}

bool MessageWaiting() {
    MSG waiting;
    return win::PeekMessageA(&waiting, 0, 0, 0, win::PM_NOREMOVE);
}

// Moves the pointer kMoves times over the window at once, then runs full frames until the library has
// seen the last position and no message is left; prints how many frames that took.
void ReportInputBacklog() {
    std::printf("\ninput backlog, %d pointer moves injected at once (XTest):\n", kMoves);
    Display* display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::printf("  (no X connection with XTest)\n");
        if (display)
            XCloseDisplay(display);
        return;
    }
    const Window window = FindWindow(display, DefaultRootWindow(display), kTitle);
    XWindowAttributes attributes{};
    int left = 0, top = 0;
    Window child = 0;
    if (!window || !XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top, &child)) {
        std::printf("  (the GL window was not found on the display)\n");
        XCloseDisplay(display);
        return;
    }
    // Every move lands somewhere else inside the client area; the last one on a point of its own.
    const int width = attributes.width, height = attributes.height;
    const int lastX = width / 2 + 17, lastY = height / 2 - 23;
    for (int i = 0; i < kMoves - 1; ++i) {
        int x = 8 + static_cast<int>((i * 7919L) % (width - 16));
        const int y = 8 + static_cast<int>((i * 6271L) % (height - 16));
        if (x == lastX && y == lastY)
            ++x;
        XTestFakeMotionEvent(display, -1, left + x, top + y, CurrentTime);
    }
    XTestFakeMotionEvent(display, -1, left + lastX, top + lastY, CurrentTime);
    XSync(display, False);

    const auto start = Clock::now();
    const auto deadline = start + std::chrono::minutes(2);
    int frames = 0;
    bool seen = false;
    while (!seen && frames < 2 * kMoves && Clock::now() < deadline) {
        FullFrame();
        ++frames;
        seen = SETOMX == lastX && SETOMY == lastY && !MessageWaiting();
    }
    if (seen)
        std::printf("  %d frame%s until the last position (%d, %d) was seen and no message was waiting (%.1f ms)\n",
                    frames, frames == 1 ? "" : "s", lastX, lastY, Ms(Clock::now() - start));
    else
        std::printf("  NOT SEEN: after %d frames (%.1f s) SETOMX, SETOMY = (%d, %d), last position (%d, %d), "
                    "message waiting: %s\n",
                    frames, std::chrono::duration<double>(Clock::now() - start).count(), SETOMX, SETOMY, lastX, lastY,
                    MessageWaiting() ? "yes" : "no");
    XCloseDisplay(display);
}

// --- Memory per frame ---

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Bytes the process has allocated and not yet freed, by malloc's own count.
long long HeapInUse() { return static_cast<long long>(mallinfo2().uordblks); }

// Each reading waits for the GL to finish; readings along the run tell memory that swings from memory
// that grows.
void ReportMemory() {
    struct Reading {
        int after;
        long resident = 0;
        long long heap = 0;
    };
    const auto start = Clock::now();
    std::array<Reading, 5> readings{
        {{kMemoryWarmUpFrames}, {kMemoryFrames / 4}, {kMemoryFrames / 2}, {kMemoryFrames * 3 / 4}, {kMemoryFrames}}};
    int frames = 0;
    for (Reading& reading : readings) {
        for (; frames < reading.after; ++frames)
            FullFrame();
        glFinish();
        reading.resident = ResidentKb();
        reading.heap = HeapInUse();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("\nmemory over %d full frames (%.1f s, %.2f ms a frame):\n", kMemoryFrames, seconds,
                seconds * 1e3 / kMemoryFrames);
    for (const Reading& reading : readings)
        std::printf("  after %6d frames: resident (VmRSS) %8ld kB, heap in use %12lld bytes\n", reading.after,
                    reading.resident, reading.heap);
    std::printf("  from frame %d to %d: resident %+ld kB, heap %+lld bytes\n", kMemoryWarmUpFrames, kMemoryFrames,
                readings.back().resident - readings.front().resident, readings.back().heap - readings.front().heap);
    std::printf("  (llvmpipe's scene buffers move both by about 1 MB between readings; memory taken per frame\n"
                "   would show as a steady climb from reading to reading)\n");
}

// --- Frames per second ---

// Wall-clock time: llvmpipe rasterises on threads of its own.
void Frames(benchmark::State& state, void (*frame)()) {
    for (auto _ : state)
        frame();
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(Frames, full, FullFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Frames, plain, PlainFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Frames, empty, EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReportFrames(const benchsupport::SummaryReporter& reporter) {
    const auto ms = [&reporter](const char* name) {
        const auto found = reporter.msPerIteration.find(name);
        return found == reporter.msPerIteration.end() ? 0.0 : found->second;
    };
    const double full = ms("Frames/full"), plain = ms("Frames/plain"), empty = ms("Frames/empty");
    if (full <= 0 || plain <= 0 || empty <= 0)
        return;
    std::printf("\n%-28s %10s %10s %10s\n", "per frame", "ms", "frames/s", "x empty");
    const std::array<std::pair<const char*, double>, 3> rows{
        {{"full (effects)", full}, {"plain glCallList per effect", plain}, {"empty (glClear + swap)", empty}}};
    for (const auto& [name, value] : rows)
        std::printf("%-28s %10.3f %10.1f %10.2f\n", name, value, 1e3 / value, value / empty);
    std::printf("the effects cost %.3f ms a frame: the full frame takes %.2f x the plain one\n", full - plain,
                full / plain);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kStartupOnly) == 0) {
        const Startup s = StartUp(kStartupTitle);
        std::printf("startup %.3f %.3f %.3f\n", s.window, s.lists, s.frame);
        DELETEGLTEXT();
        DELETEOGLWINDOW();
        return 0;
    }
    const Startup own = StartUp(kTitle);

    benchmark::Initialize(&argc, argv);
    benchsupport::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    ReportFrames(reporter);
    ReportInputBacklog();
    ReportMemory();
    ReportStartup(own);

    DELETEGLTEXT();
    DELETEOGLWINDOW();
    return 0;
}
