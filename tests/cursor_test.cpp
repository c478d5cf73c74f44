// Cursor and icon files: the reader on files made here (every DIB depth, PNG entries, hot spots, the
// choice among entries, animations, hostile files), and under Xvfb the X cursor a window shows and the
// icon a window manager reads, both from a plain window and through the GL window's class.
#include "nembra/platform/curfile.h"
#include "nembra/platform/win.h"
#include "curfiles.h"
#include "bmpfile.h"
#include "glwindow.h"
#include "tempdir.h"
#include "xsupport.h"

#include <nembra/nembra.h>

// gtest before Xlib-using headers: Xlib defines None, Bool and friends as macros.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

using namespace std::chrono_literals;
using testsupport::cur::Bytes;
using testsupport::cur::Dib;
using testsupport::cur::Entry;
namespace cur = testsupport::cur;
namespace curfile = win::curfile;

namespace {

std::optional<curfile::File> Decoded(const Bytes& bytes, std::string* reason = nullptr) {
    curfile::File file;
    std::string why;
    if (!curfile::Decode(bytes.data(), bytes.size(), file, why, &curfile::DecodePng)) {
        if (reason)
            *reason = why;
        return std::nullopt;
    }
    return file;
}

const curfile::Image& OnlyImage(const curfile::File& file) {
    EXPECT_EQ(file.frames.size(), 1u);
    EXPECT_EQ(file.frames.at(0).images.size(), 1u);
    return file.frames.at(0).images.at(0);
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
    const std::string path = testsupport::TempDir() / name;
    EXPECT_TRUE(testsupport::WriteFile(path, bytes));
    return path;
}

// A 3 x 2 picture (rows padded at every depth) whose third and fourth pixels are masked out.
const std::vector<std::uint8_t> kMask = {0, 0, 1, 1, 0, 0};

std::vector<std::uint32_t> Palette(int count, std::function<std::uint32_t(int)> colour) {
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < count; ++i)
        palette.push_back(colour(i));
    return palette;
}

struct DepthCase {
    const char* name;
    Dib dib;
    std::vector<std::uint32_t> expected; // straight ARGB, top row first
};

} // namespace

TEST(CursorFile, EveryDibDepthDecodesWithItsMask) {
    const auto grey16 = Palette(16, [](int i) { return static_cast<std::uint32_t>(i * 0x101010); });
    const auto ramp256 =
        Palette(256, [](int i) { return static_cast<std::uint32_t>(i << 16 | (255 - i) << 8 | 0x42); });
    const std::vector<DepthCase> cases = {
        // A masked white pixel of a monochrome image inverts the screen: it shows black, not nothing.
        {"1 bit",
         Dib{3, 2, 1, {0x000000, 0xFFFFFF}, {1, 0, 1, 0, 1, 0}, kMask},
         {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0, 0xFFFFFFFF, 0xFF000000}},
        {"4 bits",
         Dib{3, 2, 4, grey16, {15, 1, 7, 3, 9, 12}, kMask},
         {0xFFF0F0F0, 0xFF101010, 0, 0, 0xFF909090, 0xFFC0C0C0}},
        {"8 bits",
         Dib{3, 2, 8, ramp256, {0, 255, 128, 7, 200, 33}, kMask},
         {0xFF00FF42, 0xFFFF0042, 0, 0, 0xFFC83742, 0xFF21DE42}},
        // A short colour table: its size sets where the pixels start, and an index past it reads black.
        {"8 bits, 2 colours",
         Dib{3, 2, 8, {0x123456, 0xABCDEF}, {1, 0, 0, 0, 5, 1}, kMask, true, 2},
         {0xFFABCDEF, 0xFF123456, 0, 0, 0xFF000000, 0xFFABCDEF}},
        {"16 bits",
         Dib{3, 2, 16, {}, {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x4210, 0x0000}, kMask},
         {0xFFFF0000, 0xFF00FF00, 0, 0, 0xFF848484, 0xFF000000}},
        {"24 bits",
         Dib{3, 2, 24, {}, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x123456, 0xFFFFFF}, kMask},
         {0xFFFF0000, 0xFF00FF00, 0, 0, 0xFF123456, 0xFFFFFFFF}},
        {"32 bits, no alpha",
         Dib{3, 2, 32, {}, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x123456, 0xFFFFFF}, kMask},
         {0xFFFF0000, 0xFF00FF00, 0, 0, 0xFF123456, 0xFFFFFFFF}},
        // With any alpha present the alpha is the transparency, even under a mask that hides everything.
        {"32 bits, alpha",
         Dib{3,
             2,
             32,
             {},
             {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x01808080, 0x40123456, 0xFFFFFFFF},
             {1, 1, 1, 1, 1, 1}},
         {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x01808080, 0x40123456, 0xFFFFFFFF}},
        {"V5 header",
         Dib{3, 2, 24, {}, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x123456, 0xFFFFFF}, kMask, true, 0, {}, 0, 124},
         {0xFFFF0000, 0xFF00FF00, 0, 0, 0xFF123456, 0xFFFFFFFF}},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        const auto file = Decoded(cur::Directory(cur::kIcon, {Entry{c.dib.Build()}}), &reason);
        ASSERT_TRUE(file) << reason;
        EXPECT_EQ(file->kind, curfile::Kind::Icon);
        const curfile::Image& image = OnlyImage(*file);
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(image.bits, c.dib.bits);
        EXPECT_FALSE(image.cursor);
        EXPECT_EQ(image.argb, c.expected);
    }
}

TEST(CursorFile, CursorHotSpotComesFromTheDirectory) {
    const Bytes dib = Dib{8, 8, 32}.Build();
    auto file = Decoded(cur::Directory(cur::kCursor, {Entry{dib, 5, 3}}));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->kind, curfile::Kind::Cursor);
    ASSERT_EQ(file->steps.size(), 1u);
    const curfile::Image& image = OnlyImage(*file);
    EXPECT_TRUE(image.cursor);
    EXPECT_EQ(image.hotX, 5);
    EXPECT_EQ(image.hotY, 3);
    // A hot spot past the picture is taken to its nearest edge pixel: X refuses one outside.
    file = Decoded(cur::Directory(cur::kCursor, {Entry{dib, 8, 300}}));
    ASSERT_TRUE(file);
    EXPECT_EQ(OnlyImage(*file).hotX, 7);
    EXPECT_EQ(OnlyImage(*file).hotY, 7);
}

TEST(CursorFile, PngEntriesBesideDibEntries) {
    const std::vector<std::uint32_t> argb = {0xFFFF0000, 0x8000FF00, 0x00000000, 0xC01020FF};
    const Bytes png = cur::Png(2, 2, argb);
    ASSERT_FALSE(png.empty());
    const Bytes bytes =
        cur::Directory(cur::kIcon, {Entry{Dib{4, 4, 4, Palette(16, [](int) { return 0u; })}.Build()}, Entry{png}});
    const auto file = Decoded(bytes);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->frames.at(0).images.size(), 2u);
    const curfile::Image& image = file->frames[0].images[1];
    EXPECT_TRUE(image.png);
    EXPECT_EQ(image.bits, 32);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.argb, argb);

    // The reader alone (as the fuzzer builds it) has no PNG decoder and says so.
    curfile::File none;
    std::string reason;
    EXPECT_FALSE(curfile::Decode(bytes.data(), bytes.size(), none, reason));
    EXPECT_EQ(reason, "image 2: PNG image and no PNG decoder");
}

TEST(CursorFile, ChoosesTheEntryNearestTheSize) {
    auto dib = [](int side, std::uint16_t bits) {
        return Entry{
            Dib{side, side, bits, bits <= 8 ? std::vector<std::uint32_t>(1u << bits) : std::vector<std::uint32_t>{}}
                .Build()};
    };
    const auto file = Decoded(cur::Directory(cur::kIcon, {dib(16, 4), dib(32, 4), dib(32, 32), dib(48, 8)}));
    ASSERT_TRUE(file);
    const curfile::Frame& frame = file->frames.at(0);
    ASSERT_EQ(frame.images.size(), 4u);
    struct Want {
        int size;
        std::size_t entry;
    };
    // Nearest side; at equal distance the larger; at equal size the deeper colour.
    for (const Want w : {Want{1, 0}, Want{16, 0}, Want{24, 2}, Want{32, 2}, Want{40, 3}, Want{39, 2}, Want{500, 3}}) {
        SCOPED_TRACE(w.size);
        EXPECT_EQ(curfile::Choose(frame, w.size), w.entry);
    }
}

TEST(CursorFile, AnimationFramesStepsAndDelays) {
    const Bytes red = cur::Directory(cur::kCursor, {Entry{Dib{2, 2, 32, {}, {0xFFFF0000}}.Build(), 1, 1}});
    const Bytes blue = cur::Directory(cur::kIcon, {Entry{Dib{4, 4, 32, {}, {0xFF0000FF}}.Build()}});
    cur::Ani ani;
    ani.frames = {red, blue};
    ani.steps = 3;
    ani.flags = cur::kAnihIcon | cur::kAnihSequence;
    ani.seq = {{1, 0, 1}};
    ani.rate = {{10, 0, 6}};
    ani.extra = cur::Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0});
    std::string reason;
    auto file = Decoded(ani.Build(), &reason);
    ASSERT_TRUE(file) << reason;
    EXPECT_EQ(file->kind, curfile::Kind::Animated);
    ASSERT_EQ(file->frames.size(), 2u);
    EXPECT_EQ(file->frames[0].images.at(0).argb.at(0), 0xFFFF0000u);
    EXPECT_TRUE(file->frames[0].images[0].cursor);
    EXPECT_EQ(file->frames[0].images[0].hotX, 1);
    EXPECT_EQ(file->frames[1].images.at(0).width, 4);
    EXPECT_FALSE(file->frames[1].images[0].cursor);
    ASSERT_EQ(file->steps.size(), 3u);
    const std::size_t frames[] = {1, 0, 1};
    const std::uint32_t jiffies[] = {10, 1, 6}; // a zero rate would spin: one jiffy
    const std::uint32_t ms[] = {167, 17, 100};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(file->steps[i].frame, frames[i]);
        EXPECT_EQ(file->steps[i].jiffies, jiffies[i]);
        EXPECT_EQ(file->steps[i].delayMs, ms[i]);
    }

    // Without a sequence every frame shows once at the header's rate, whatever the step count says.
    cur::Ani plain;
    plain.frames = {red, blue, red};
    plain.steps = 7;
    plain.jiffies = 30;
    file = Decoded(plain.Build(), &reason);
    ASSERT_TRUE(file) << reason;
    ASSERT_EQ(file->steps.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(file->steps[i].frame, i);
        EXPECT_EQ(file->steps[i].delayMs, 500u);
    }
}

TEST(CursorFile, HostileFilesAreRefusedWithAReason) {
    const Bytes good = Dib{4, 4, 32}.Build();
    auto icon = [](const Bytes& dib) { return cur::Directory(cur::kIcon, {Entry{dib}}); };
    auto cut = [](Bytes b, std::size_t drop) {
        b.resize(b.size() - drop);
        return b;
    };
    auto patch = [](Bytes b, std::size_t at, std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    auto ani = [&good](std::function<void(cur::Ani&)> edit) {
        cur::Ani a;
        a.frames = {cur::Directory(cur::kCursor, {Entry{good}})};
        edit(a);
        return a.Build();
    };
    // A RIFF body whose only chunk claims more bytes than the file holds.
    Bytes longChunk = {'R', 'I', 'F', 'F', 20, 0, 0, 0, 'A', 'C', 'O', 'N'};
    const Bytes anih = cur::Chunk("anih", Bytes(36, 0), 0x7FFFFFF0);
    longChunk.insert(longChunk.end(), anih.begin(), anih.end());

    // Many entries sharing one large picture: each decodes alone, together they pass the limit.
    const Bytes big = Dib{1024, 1024, 32}.Build();
    std::vector<Entry> shared(17, Entry{{}, 0, 0, 0, 0, static_cast<std::uint32_t>(big.size()), 6 + 16 * 17});
    Bytes bomb = cur::Directory(cur::kIcon, shared);
    bomb.insert(bomb.end(), big.begin(), big.end());

    struct Case {
        const char* name;
        Bytes bytes;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"empty", {}, "truncated icon directory"},
        {"truncated header", {0, 0, 1}, "truncated icon directory"},
        {"a BMP file", {'B', 'M', 0, 0, 0, 0, 0, 0}, "not an icon, cursor or animated cursor file"},
        {"zero entries", {0, 0, 1, 0, 0, 0}, "no images in the directory"},
        {"directory longer than the file", cut(icon(good), good.size() + 1), "truncated icon directory"},
        {"offset past the end", cur::Directory(cur::kIcon, {Entry{good, 0, 0, 0, 0, {}, 4000}}),
         "image data past the end of the file"},
        {"offset and size wrapping 32 bits", cur::Directory(cur::kIcon, {Entry{good, 0, 0, 0, 0, 0x20, 0xFFFFFFF0}}),
         "image data past the end of the file"},
        {"size past the end", cur::Directory(cur::kIcon, {Entry{good, 0, 0, 0, 0, 1u << 31}}),
         "image data past the end of the file"},
        {"offset inside the directory", cur::Directory(cur::kIcon, {Entry{good, 0, 0, 0, 0, {}, 2}}),
         "image data inside the directory"},
        {"huge width", icon(patch(good, 4, 0x7FFFFFFF, 4)), "more than 1024 pixels on a side"},
        {"huge height", icon(Dib{1, 1, 32, {}, {}, {}, true, 0, 0x7FFFFFFE}.Build()), "more than 1024 pixels on a side"},
        {"negative width", icon(patch(good, 4, static_cast<std::uint32_t>(-4), 4)), "image side is not positive"},
        {"top-down", icon(Dib{4, 4, 32, {}, {}, {}, true, 0, -8}.Build()), "top-down bitmap"},
        {"odd height", icon(Dib{4, 4, 32, {}, {}, {}, true, 0, 7}.Build()), "bitmap height is not doubled for the AND mask"},
        {"AND mask missing", icon(Dib{4, 4, 32, {}, {}, {}, false}.Build()), "truncated AND mask"},
        {"AND mask cut short", icon(cut(good, 1)), "truncated AND mask"},
        {"XOR image cut short", icon(cut(Dib{4, 4, 24, {}, {}, {}, false}.Build(), 1)), "truncated XOR image"},
        {"colour table cut short", icon(Dib{4, 4, 8}.Build()), "truncated colour table"},
        {"header cut short", icon(Bytes{40, 0, 0, 0, 1, 0}), "truncated bitmap header"},
        {"core header", icon(Dib{4, 4, 24, {}, {}, {}, true, 0, {}, 0, 12}.Build()), "unknown bitmap header size 12"},
        {"bit count 7", icon(patch(good, 14, 7, 2)), "unsupported bit count 7"},
        {"compressed", icon(Dib{4, 4, 8, {}, {}, {}, true, 0, {}, 1}.Build()), "compressed bitmap (compression 1)"},
        {"300 colours at 8 bits", icon(Dib{4, 4, 8, {}, {}, {}, true, 300}.Build()), "more colours than the bit count allows"},
        {"second entry broken", cur::Directory(cur::kIcon, {Entry{good}, Entry{cut(good, 1)}}), "image 2: truncated AND mask"},
        {"64 MiB in all", bomb, "image 17: images larger than 64 MiB in all"},
        {"corrupt PNG", icon(Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}),
         "bad PNG image"},
        {"PNG too wide", icon(cur::Png(1025, 1, std::vector<std::uint32_t>(1025))), "more than 1024 pixels on a side"},
        {"RIFF, not ACON", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, "RIFF file that is not an animated cursor"},
        {"RIFF length below its form type", {'R', 'I', 'F', 'F', 2, 0, 0, 0, 'A', 'C', 'O', 'N'}, "truncated RIFF header"},
        {"chunk past the end", longChunk, "chunk \"anih\" past the end of its container"},
        {"chunk header cut short", [&] {
             Bytes b = ani([](cur::Ani&) {});
             b.insert(b.end(), {'j', 'u', 'n'});
             return patch(b, 4, 0xFFFFFFFF, 4); // a RIFF length past the file reaches to its end
         }(),
         "truncated chunk header"},
        {"no anih", cur::Chunk("RIFF", Bytes{'A', 'C', 'O', 'N'}), "no anih chunk"},
        {"short anih", [] {
             Bytes body = {'A', 'C', 'O', 'N'};
             const Bytes a = cur::Chunk("anih", Bytes(20, 0));
             body.insert(body.end(), a.begin(), a.end());
             return cur::Chunk("RIFF", body);
         }(),
         "anih chunk shorter than 36 bytes"},
        {"raw bitmap frames", ani([](cur::Ani& a) { a.flags = 0; }), "frames are raw bitmaps, not icons"},
        {"more frames counted than held", ani([](cur::Ani& a) { a.frameCount = 2; }),
         "header counts 2 frames, the file holds 1"},
        {"zero frames", ani([](cur::Ani& a) { a.frames.clear(); }), "frame count 0 out of range"},
        {"sequence names a missing frame", ani([](cur::Ani& a) {
             a.flags |= cur::kAnihSequence;
             a.steps = 2;
             a.seq = {{0, 1}};
         }),
         "step 2 shows frame 1 of 1"},
        {"sequence flag, no seq", ani([](cur::Ani& a) { a.flags |= cur::kAnihSequence; }),
         "sequence flag without a seq chunk"},
        {"seq shorter than the steps", ani([](cur::Ani& a) {
             a.flags |= cur::kAnihSequence;
             a.steps = 3;
             a.seq = {{0, 0}};
         }),
         "seq chunk shorter than the step count"},
        {"rate shorter than the steps", ani([](cur::Ani& a) { a.rate = std::vector<std::uint32_t>{}; }),
         "rate chunk shorter than the step count"},
        {"broken frame", ani([&](cur::Ani& a) { a.frames = {cur::Directory(cur::kCursor, {Entry{cut(good, 4)}})}; }),
         "frame 1: truncated AND mask"},
        {"frame that is itself an animation", ani([&](cur::Ani& a) { a.frames = {ani([](cur::Ani&) {})}; }),
         "frame 1: not an icon, cursor or animated cursor file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        curfile::File file;
        file.frames.resize(1); // a refusal must not leave anything behind
        std::string reason;
        EXPECT_FALSE(curfile::Decode(c.bytes.data(), c.bytes.size(), file, reason, &curfile::DecodePng));
        EXPECT_EQ(reason.substr(0, std::string(c.reason).size()), c.reason) << reason;
        EXPECT_TRUE(file.frames.empty());
        EXPECT_TRUE(file.steps.empty());
    }
}

TEST(CursorFile, UnreadableFilesAreRefusedBySystemReason) {
    curfile::File file;
    std::string reason;
    EXPECT_FALSE(curfile::LoadFile("/nonexistent/arrow.cur", file, reason));
    EXPECT_EQ(reason, "cannot open: No such file or directory");
    EXPECT_FALSE(curfile::LoadFile("/", file, reason));
    EXPECT_EQ(reason, "cannot read: Is a directory");
}

// --- On the X server ---

namespace {

// The pointer's shape as the X server shows it: premultiplied ARGB, top row first.
struct Shown {
    int width = 0, height = 0, xhot = 0, yhot = 0;
    std::vector<std::uint32_t> argb;
    bool operator==(const Shown&) const = default;
};

Shown ShownCursor(Display* dpy) {
    Shown shown;
    if (XFixesCursorImage* image = XFixesGetCursorImage(dpy)) {
        shown = {image->width, image->height, image->xhot, image->yhot, {}};
        for (int i = 0; i < image->width * image->height; ++i)
            shown.argb.push_back(static_cast<std::uint32_t>(image->pixels[i]));
        XFree(image);
    }
    return shown;
}

// Moves the pointer there and waits (bounded) until the cursor shown is what `want` asks for; returns
// the last shape seen.
Shown CursorAt(xsupport::XClient& x, int rootX, int rootY, const std::function<bool(const Shown&)>& want) {
    x.movePointer(rootX, rootY);
    Display* dpy = static_cast<Display*>(x.nativeDisplay());
    Shown shown;
    for (const auto end = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < end;) {
        shown = ShownCursor(dpy);
        if (want(shown))
            break;
        std::this_thread::sleep_for(20ms);
    }
    return shown;
}

// The shape once it has stopped changing (for cursors the test has no picture of).
Shown SettledCursorAt(xsupport::XClient& x, int rootX, int rootY) {
    std::this_thread::sleep_for(100ms);
    Shown last = CursorAt(x, rootX, rootY, [](const Shown&) { return true; });
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(50ms);
        Shown now = ShownCursor(static_cast<Display*>(x.nativeDisplay()));
        if (now == last)
            break;
        last = now;
    }
    return last;
}

struct IconSize {
    long width = 0, height = 0;
    std::vector<std::uint32_t> argb;
    bool operator==(const IconSize&) const = default;
};

// _NET_WM_ICON as a window manager reads it: width, height and pixels, for each size.
std::vector<IconSize> WindowIcon(xsupport::XClient& x, unsigned long window) {
    Display* dpy = static_cast<Display*>(x.nativeDisplay());
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<IconSize> sizes;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, "_NET_WM_ICON", False), 0, 1 << 20, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) != Success ||
        !data)
        return sizes;
    const long* words = reinterpret_cast<const long*>(data);
    for (unsigned long i = 0; i + 2 <= count;) {
        IconSize size{words[i], words[i + 1], {}};
        i += 2;
        const auto pixels = static_cast<unsigned long>(size.width * size.height);
        if (size.width <= 0 || size.height <= 0 || pixels > count - i) {
            sizes.push_back(IconSize{-1, -1, {}}); // malformed: fails any comparison
            break;
        }
        for (unsigned long k = 0; k < pixels; ++k)
            size.argb.push_back(static_cast<std::uint32_t>(words[i + k]));
        i += pixels;
        sizes.push_back(std::move(size));
    }
    XFree(data);
    return sizes;
}

win::LRESULT PlainProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    return win::DefWindowProcA(hwnd, message, wParam, lParam);
}

// A top-level window of this process showing `cursor`, at the given place.
win::HWND WindowWithCursor(const char* className, const char* title, win::HCURSOR cursor, int x, int y) {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = win::GetModuleHandleA(nullptr);
    wc.hCursor = cursor;
    wc.lpszClassName = className;
    if (!win::RegisterClassA(&wc))
        return 0;
    const win::HWND hwnd =
        win::CreateWindowExA(0, className, title, win::WS_POPUP, x, y, 100, 100, 0, 0, wc.hInstance, nullptr);
    if (hwnd)
        win::ShowWindow(hwnd, win::SW_SHOW);
    return hwnd;
}

// A 32 x 32 cursor picture: opaque red on the left half, half-transparent blue on the right, a
// transparent top row.
std::vector<std::uint32_t> Picture32() {
    std::vector<std::uint32_t> argb(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            argb[y * 32 + x] = y == 0 ? 0x00000000 : x < 16 ? 0xFFFF0000 : 0x800000FF;
    return argb;
}

// The same as X shows it: premultiplied.
std::vector<std::uint32_t> Picture32Premultiplied() {
    std::vector<std::uint32_t> argb = Picture32();
    for (std::uint32_t& p : argb)
        p = p == 0x800000FF ? 0x80000080 : p;
    return argb;
}

Bytes Uniform(int side, std::uint32_t argb) {
    return Dib{side, side, 32, {}, std::vector<std::uint32_t>(static_cast<std::size_t>(side * side), argb)}.Build();
}

constexpr const char* kGlTitle = "Nembra cursor test";

} // namespace

TEST(FileCursor, WindowShowsTheNearestEntryWithItsHotSpot) {
    setenv("XCURSOR_SIZE", "32", 1); // read at the process's first cursor load
    const std::string path =
        WriteTemp("pointer.cur", cur::Directory(cur::kCursor, {Entry{Uniform(16, 0xFF00FF00), 1, 1},
                                                               Entry{Dib{32, 32, 32, {}, Picture32()}.Build(), 5, 7},
                                                               Entry{Uniform(64, 0xFF00FF00), 2, 2}}));
    const win::HCURSOR cursor = win::LoadCursorFromFileA(path.c_str());
    ASSERT_NE(cursor, 0u);
    ASSERT_NE(WindowWithCursor("FileCursorWindow", "File cursor", cursor, 0, 0), 0u);
    xsupport::XClient x(std::getenv("DISPLAY"));
    ASSERT_NE(x.waitForWindow("File cursor", 5s), 0ul);

    const Shown shown = CursorAt(x, 50, 50, [](const Shown& s) { return s.width == 32; });
    EXPECT_EQ(shown.width, 32);
    EXPECT_EQ(shown.height, 32);
    EXPECT_EQ(shown.xhot, 5);
    EXPECT_EQ(shown.yhot, 7);
    EXPECT_EQ(shown.argb, Picture32Premultiplied());

    // A file cursor is the program's to free; the shared arrow is not.
    EXPECT_TRUE(win::DestroyCursor(cursor));
    EXPECT_FALSE(win::DestroyCursor(cursor));
    const win::HCURSOR arrow = win::LoadCursorA(0, win::IDC_ARROW);
    EXPECT_FALSE(win::DestroyCursor(arrow));
    EXPECT_EQ(win::LoadCursorA(0, win::IDC_ARROW), arrow);
}

TEST(FileCursor, AnimatedCursorStepsThroughItsFrames) {
    cur::Ani ani;
    ani.frames = {cur::Directory(cur::kCursor, {Entry{Uniform(8, 0xFFFF0000), 1, 2}}),
                  cur::Directory(cur::kCursor, {Entry{Uniform(8, 0xFF0000FF), 3, 4}})};
    ani.jiffies = 6; // 100 ms
    const win::HCURSOR cursor = win::LoadCursorFromFileA(WriteTemp("busy.ani", ani.Build()).c_str());
    ASSERT_NE(cursor, 0u);
    ASSERT_NE(WindowWithCursor("AnimatedCursorWindow", "Animated cursor", cursor, 0, 0), 0u);
    xsupport::XClient x(std::getenv("DISPLAY"));
    ASSERT_NE(x.waitForWindow("Animated cursor", 5s), 0ul);

    bool red = false, blue = false;
    CursorAt(x, 50, 50, [&](const Shown& s) {
        if (s.width == 8 && s.argb == std::vector<std::uint32_t>(64, 0xFFFF0000) && s.xhot == 1 && s.yhot == 2)
            red = true;
        if (s.width == 8 && s.argb == std::vector<std::uint32_t>(64, 0xFF0000FF) && s.xhot == 3 && s.yhot == 4)
            blue = true;
        return red && blue;
    });
    EXPECT_TRUE(red);
    EXPECT_TRUE(blue);
}

TEST(GlWindowFiles, FileCursorAndFileIconReachTheWindow) {
    setenv("XCURSOR_SIZE", "32", 1);
    const std::string cursorPath =
        WriteTemp("gl.cur", cur::Directory(cur::kCursor, {Entry{Dib{32, 32, 32, {}, Picture32()}.Build(), 9, 4}}));
    std::vector<std::uint32_t> gradient(32 * 32);
    for (std::size_t i = 0; i < gradient.size(); ++i)
        gradient[i] =
            0xFF000000u | static_cast<std::uint32_t>(i % 32 * 8) << 16 | static_cast<std::uint32_t>(i / 32 * 8);
    const std::vector<std::uint32_t> translucent(16 * 16, 0x80336699);
    // Two entries of 16 pixels (the deeper one is offered), a PNG one of 32, and one too large for a
    // window manager's icon.
    const std::string iconPath = WriteTemp(
        "gl.ico", cur::Directory(cur::kIcon, {Entry{Dib{16, 16, 4, std::vector<std::uint32_t>(16, 0xFFFFFF)}.Build()},
                                              Entry{Dib{16, 16, 32, {}, translucent}.Build()},
                                              Entry{cur::Png(32, 32, gradient)}, Entry{Uniform(260, 0xFF00FF00)}}));
    nembra::OGLWINDOWSETTING(nembra::FILECURSOR, cursorPath.c_str(), nembra::FILEICON, iconPath.c_str());
    testing::internal::CaptureStderr();
    testsupport::EnsureGlWindow(kGlTitle, 200, 150);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("nembra:"), std::string::npos) << err;

    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long window = x.waitForWindow(kGlTitle, 5s);
    ASSERT_NE(window, 0ul);
    const std::vector<IconSize> expected = {{16, 16, translucent}, {32, 32, gradient}};
    EXPECT_EQ(WindowIcon(x, window), expected);

    const Shown shown = CursorAt(x, 100, 75, [](const Shown& s) { return s.width == 32; });
    EXPECT_EQ(shown.xhot, 9);
    EXPECT_EQ(shown.yhot, 4);
    EXPECT_EQ(shown.argb, Picture32Premultiplied());
}

TEST(GlWindowFiles, BrokenOrMissingFilesFallBackWithAMessage) {
    Bytes broken = cur::Directory(cur::kCursor, {Entry{Uniform(32, 0xFF00FF00), 3, 3}});
    broken.resize(broken.size() - 1); // a file cut short
    const std::string cursorPath = WriteTemp("broken.cur", broken);
    const std::string iconPath = "/nonexistent/nembra.ico";
    nembra::OGLWINDOWSETTING(nembra::FILECURSOR, cursorPath.c_str(), nembra::FILEICON, iconPath.c_str());
    testing::internal::CaptureStderr();
    testsupport::EnsureGlWindow(kGlTitle, 200, 150);
    const std::string err = testing::internal::GetCapturedStderr();
    for (const std::string& line :
         {"nembra: cannot load cursor \"" + cursorPath + "\": image data past the end of the file\n",
          "nembra: using the arrow cursor instead of \"" + cursorPath + "\"\n",
          "nembra: cannot load cursor \"" + iconPath + "\": cannot open: No such file or directory\n",
          "nembra: using the generic icon instead of \"" + iconPath + "\"\n"})
        EXPECT_NE(err.find(line), std::string::npos) << "missing: " << line << "in:\n" << err;

    win::WNDCLASSEXA info{};
    ASSERT_TRUE(win::GetClassInfoExA(0, "GLWindow", &info));
    EXPECT_EQ(info.hCursor, win::LoadCursorA(0, win::IDC_ARROW));
    EXPECT_EQ(info.hIcon, win::LoadIconA(0, win::IDI_APPLICATION));

    // As the user sees it: the GL window's pointer is the arrow of a window that asked for it, not the
    // root window's cursor that a window without one would show.
    xsupport::XClient x(std::getenv("DISPLAY"));
    const unsigned long window = x.waitForWindow(kGlTitle, 5s);
    ASSERT_NE(window, 0ul);
    const auto icon = WindowIcon(x, window);
    ASSERT_EQ(icon.size(), 1u);
    EXPECT_EQ(icon[0].width, 32); // the generic icon
    ASSERT_NE(WindowWithCursor("ArrowWindow", "Arrow", win::LoadCursorA(0, win::IDC_ARROW), 500, 500), 0u);
    ASSERT_NE(x.waitForWindow("Arrow", 5s), 0ul);
    const Shown arrow = SettledCursorAt(x, 550, 550);
    const Shown root = SettledCursorAt(x, 1000, 300);
    const Shown gl = SettledCursorAt(x, 100, 75);
    EXPECT_GT(arrow.width, 0);
    EXPECT_EQ(gl, arrow);
    EXPECT_NE(gl, root);
}

TEST(GlWindowFiles, NilFileNamesFallBack) {
    nembra::OGLWINDOWSETTING(nembra::FILECURSOR, nullptr, nembra::FILEICON, nullptr);
    testing::internal::CaptureStderr();
    testsupport::EnsureGlWindow(kGlTitle, 200, 150);
    const std::string err = testing::internal::GetCapturedStderr();
    for (const char* line :
         {"nembra: cannot load cursor: no file name\n", "nembra: using the arrow cursor instead of (no file name)\n",
          "nembra: using the generic icon instead of (no file name)\n"})
        EXPECT_NE(err.find(line), std::string::npos) << "missing: " << line << "in:\n" << err;
    win::WNDCLASSEXA info{};
    ASSERT_TRUE(win::GetClassInfoExA(0, "GLWindow", &info));
    EXPECT_EQ(info.hCursor, win::LoadCursorA(0, win::IDC_ARROW));
    EXPECT_EQ(info.hIcon, win::LoadIconA(0, win::IDI_APPLICATION));
}

TEST(FileCursor, LongSequenceOfOneLargeFrameLoads) {
    // Four thousand steps of one 1024-pixel frame: the server holds the picture once, not per step.
    cur::Ani ani;
    ani.frames = {
        cur::Directory(cur::kIcon, {Entry{cur::Png(1024, 1024, std::vector<std::uint32_t>(1024 * 1024, 0xFF204060))}})};
    ani.flags |= cur::kAnihSequence;
    ani.steps = curfile::kMaxSteps;
    ani.seq = std::vector<std::uint32_t>(curfile::kMaxSteps, 0);
    const win::HCURSOR cursor = win::LoadCursorFromFileA(WriteTemp("long.ani", ani.Build()).c_str());
    ASSERT_NE(cursor, 0u);
    ASSERT_NE(WindowWithCursor("LongAnimationWindow", "Long animation", cursor, 0, 0), 0u);
    xsupport::XClient x(std::getenv("DISPLAY"));
    ASSERT_NE(x.waitForWindow("Long animation", 5s), 0ul);
    const Shown shown = CursorAt(x, 50, 50, [](const Shown& s) { return s.width == 1024; });
    EXPECT_EQ(shown.width, 1024);
    EXPECT_EQ(shown.xhot, 512); // an icon points with its centre
    EXPECT_EQ(shown.yhot, 512);
}
