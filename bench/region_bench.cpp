// BITMAPTOREGION on 1024 and 2048 pixel square pictures: all opaque (one rectangle), a checkerboard of
// single pixels (a rectangle for every other pixel, none of them coalescing) and random blobs. The
// region grows batch by batch; its union costs only the new batch, so four times the pixels should take
// about four times as long in every pattern.
#include <nembra/nembra.h>

#include "nembra/platform/win.h"

#include "bmpfile.h"
#include "summary.h"
#include "tempdir.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kMagenta = 0x00FF00FF;

enum Pattern { kOpaque, kChecker, kBlobs };

// The picture's colours (0xRRGGBB), top row first.
std::vector<std::uint32_t> Colours(Pattern pattern, int side) {
    std::vector<std::uint32_t> c(static_cast<std::size_t>(side) * side, 0x3070B0);
    auto at = [&](int x, int y) -> std::uint32_t& { return c[static_cast<std::size_t>(y) * side + x]; };
    if (pattern == kChecker)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                if ((x + y) % 2)
                    at(x, y) = 0xFF00FF;
    if (pattern == kBlobs) {
        // Opaque discs on a transparent ground, about one per 4,000 pixels.
        std::fill(c.begin(), c.end(), 0xFF00FF);
        std::mt19937 random(2048);
        for (int blob = 0; blob < side * side / 4000; ++blob) {
            const int cx = static_cast<int>(random() % side), cy = static_cast<int>(random() % side);
            const int r = 3 + static_cast<int>(random() % 30);
            for (int y = std::max(0, cy - r); y < std::min(side, cy + r); ++y)
                for (int x = std::max(0, cx - r); x < std::min(side, cx + r); ++x)
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
                        at(x, y) = 0x20A040;
        }
    }
    return c;
}

// The pictures, written once per process into the temporary directory removed at exit.
const std::string& PictureFile(Pattern pattern, int side) {
    static std::map<std::pair<int, int>, std::string> files;
    std::string& file = files[{pattern, side}];
    if (file.empty()) {
        const std::vector<std::uint32_t> colours = Colours(pattern, side);
        file =
            (testsupport::TempDir() / ("p" + std::to_string(pattern) + "_" + std::to_string(side) + ".bmp")).string();
        testsupport::WriteFile(
            file,
            testsupport::BmpFile{
                .width = side,
                .height = side,
                .pixels = testsupport::Rows24(
                    side, side, [&](int x, int y) { return colours[static_cast<std::size_t>(y) * side + x]; })}
                .Build());
    }
    return file;
}

void BM_BitmapToRegion(benchmark::State& state) {
    const auto pattern = static_cast<Pattern>(state.range(0));
    const int side = static_cast<int>(state.range(1));
    const std::string& file = PictureFile(pattern, side);
    std::size_t rects = 0;
    for (auto _ : state) {
        const nembra::HRGN region = nembra::BITMAPTOREGION(file.c_str(), kMagenta, 1);
        if (region == 0) {
            state.SkipWithError("no region");
            return;
        }
        state.PauseTiming();
        rects = (win::GetRegionData(region, 0, nullptr) - sizeof(win::RGNDATAHEADER)) / sizeof(win::RECT);
        win::DeleteObject(region);
        state.ResumeTiming();
    }
    state.counters["rects"] = static_cast<double>(rects);
    state.counters["pixels/s"] =
        benchmark::Counter(static_cast<double>(side) * side, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_BitmapToRegion)
    ->ArgNames({"pattern", "side"})
    ->ArgsProduct({{kOpaque, kChecker, kBlobs}, {1024, 2048}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchsupport::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // Linear means about 4 from a side of 1024 to one of 2048: four times the pixels and runs.
    const char* names[] = {"all opaque", "checkerboard", "random blobs"};
    std::printf("\n%-14s %12s %12s %8s\n", "pattern", "1024 ms", "2048 ms", "ratio");
    for (const int pattern : {kOpaque, kChecker, kBlobs}) {
        const std::string prefix = "BM_BitmapToRegion/pattern:" + std::to_string(pattern) + "/side:";
        const auto small = reporter.msPerIteration.find(prefix + "1024");
        const auto large = reporter.msPerIteration.find(prefix + "2048");
        if (small == reporter.msPerIteration.end() || large == reporter.msPerIteration.end() || small->second <= 0)
            continue;
        std::printf("%-14s %12.2f %12.2f %8.2f\n", names[pattern], small->second, large->second,
                    large->second / small->second);
    }
    return 0;
}
