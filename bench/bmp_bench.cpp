// BMP decoding speed: 24-bit and RLE8 pictures built in memory, against a plain memcpy of the
// 24-bit pixel bytes. Both 24-bit figures run over growing sizes: the decode should stay linear,
// and a steady decode-to-memcpy ratio separates its own cost from the caches'.
#include "nembra/platform/bmp.h"

#include "bmpfile.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using testsupport::BmpFile;
using testsupport::Bytes;

// A grey-ramp palette of 256 entries.
Bytes Palette() {
    Bytes palette;
    for (std::uint32_t i = 0; i < 256; ++i)
        palette.insert(palette.end(), {static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(i * 2),
                                       static_cast<std::uint8_t>(i), 0});
    return palette;
}

Bytes Bmp24(int side) {
    const std::size_t stride = (static_cast<std::size_t>(side) * 3 + 3) & ~std::size_t{3};
    Bytes pixels(stride * side);
    std::mt19937 random(24);
    for (std::uint8_t& byte : pixels)
        byte = static_cast<std::uint8_t>(random());
    return BmpFile{.width = side, .height = side, .pixels = std::move(pixels)}.Build();
}

// Rows of a photograph-like mix: flat runs of 2..64 pixels between literal stretches of 3..40.
Bytes Bmp8Rle(int side) {
    std::mt19937 random(8);
    Bytes stream;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side;) {
            const bool run = random() % 2;
            const int left = side - x;
            if (run || left < 3) {
                const int count = std::min<int>(left, 2 + static_cast<int>(random() % 63));
                stream.push_back(static_cast<std::uint8_t>(count));
                stream.push_back(static_cast<std::uint8_t>(random()));
                x += count;
            } else {
                const int count = std::min<int>(left, 3 + static_cast<int>(random() % 38));
                stream.push_back(0);
                stream.push_back(static_cast<std::uint8_t>(count));
                for (int i = 0; i < count; ++i)
                    stream.push_back(static_cast<std::uint8_t>(random()));
                if (count & 1)
                    stream.push_back(0);
                x += count;
            }
        }
        stream.insert(stream.end(), {0, 0});
    }
    stream.insert(stream.end(), {0, 1});
    return BmpFile{.width = side,
                   .height = side,
                   .bits = 8,
                   .compression = 1,
                   .palette = Palette(),
                   .pixels = std::move(stream),
                   .colorsUsed = 256}
        .Build();
}

// Bytes read per second, and pixels per second (printed with an SI prefix: 3.5G/s is 3500 MP/s).
void Report(benchmark::State& state, int side, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["pixels"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * side * side, benchmark::Counter::kIsRate);
}

void Decode(benchmark::State& state, const Bytes& file, int side) {
    for (auto _ : state) {
        win::bmp::Image image; // fresh each time, as a program loading textures gets it
        std::string reason;
        if (!win::bmp::Decode(file.data(), file.size(), image, reason)) {
            state.SkipWithError(reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
    Report(state, side, file.size());
}

void BM_Decode24(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const Bytes file = Bmp24(side);
    Decode(state, file, side);
    state.SetComplexityN(static_cast<std::int64_t>(side) * side);
}
BENCHMARK(BM_Decode24)->RangeMultiplier(2)->Range(512, 2048)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);

void BM_DecodeRle8(benchmark::State& state) {
    const Bytes file = Bmp8Rle(2048);
    state.counters["file MB"] = static_cast<double>(file.size()) / 1e6;
    Decode(state, file, 2048);
}
BENCHMARK(BM_DecodeRle8)->Unit(benchmark::kMillisecond);

// The floor for the 24-bit decode: the same pixel bytes copied into a buffer that already exists.
void BM_Memcpy24(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const Bytes file = Bmp24(side);
    const std::size_t offset = 54;
    Bytes copy(file.size() - offset);
    for (auto _ : state) {
        std::memcpy(copy.data(), file.data() + offset, copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    Report(state, side, copy.size());
}
BENCHMARK(BM_Memcpy24)->RangeMultiplier(2)->Range(512, 2048)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
