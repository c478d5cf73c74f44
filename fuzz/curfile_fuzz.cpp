// Feeds arbitrary bytes to the cursor and icon reader, PNG entries going through libpng as in the
// stand-in; the sanitizers catch stray memory access, the checks below a decoded file that breaks the
// File contract or a refusal that leaves something behind.
#include "nembra/platform/curfile.h"

#include <cstdio>
#include <cstdlib>

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "curfile_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace win::curfile;
    File file;
    std::string reason;
    if (!Decode(data, size, file, reason, &DecodePng)) {
        if (reason.empty())
            Fail("refused without a reason");
        if (!file.frames.empty() || !file.steps.empty())
            Fail("refusal left something behind");
        return 0;
    }
    if (file.frames.empty() || file.steps.empty())
        Fail("decoded file without frames or steps");
    if (file.kind != Kind::Animated && (file.frames.size() != 1 || file.steps.size() != 1))
        Fail("still file with more than one frame or step");
    if (file.frames.size() > kMaxFrames || file.steps.size() > kMaxSteps)
        Fail("frame or step count above the limit");
    std::int64_t total = 0;
    for (const Frame& frame : file.frames) {
        if (frame.images.empty())
            Fail("frame without images");
        for (const Image& image : frame.images) {
            if (image.width <= 0 || image.width > kMaxSide || image.height <= 0 || image.height > kMaxSide)
                Fail("side out of range");
            if (image.argb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
                Fail("pixel count does not match the size");
            if (image.hotX < 0 || image.hotX >= image.width || image.hotY < 0 || image.hotY >= image.height)
                Fail("hot spot outside the image");
            total += static_cast<std::int64_t>(image.argb.size()) * 4;
        }
        for (int size : {0, 16, 32, 48, 1024})
            if (Choose(frame, size) >= frame.images.size())
                Fail("chosen entry out of range");
    }
    if (total > kMaxTotalBytes)
        Fail("images above the total limit");
    for (const Step& step : file.steps) {
        if (step.frame >= file.frames.size())
            Fail("step names a missing frame");
        if (file.kind == Kind::Animated && (step.jiffies == 0 || step.delayMs == 0))
            Fail("animation step without a delay");
    }
    return 0;
}
