// BMP decoding speed: 24-bit and RLE8 pictures built in memory, against a plain memcpy of the
// 24-bit pixel bytes. Both 24-bit figures run over growing sizes: the decode should stay linear,
// and a steady decode-to-memcpy ratio separates its own cost from the caches'.
#include "nembra/platform/bmp.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t v, int count) {
    for (int i = 0; i < count; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// File and info headers of a bottom-up picture whose palette and pixels follow directly.
Bytes Headers(int width, int height, int bits, std::uint32_t compression, std::uint32_t colours,
              std::size_t pixelBytes) {
    const std::uint32_t offset = 14 + 40 + colours * 4;
    Bytes b = {'B', 'M'};
    Put(b, static_cast<std::uint32_t>(offset + pixelBytes), 4);
    Put(b, 0, 4);
    Put(b, offset, 4);
    Put(b, 40, 4);
    Put(b, static_cast<std::uint32_t>(width), 4);
    Put(b, static_cast<std::uint32_t>(height), 4);
    Put(b, 1, 2);
    Put(b, static_cast<std::uint32_t>(bits), 2);
    Put(b, compression, 4);
    Put(b, static_cast<std::uint32_t>(pixelBytes), 4);
    Put(b, 2835, 4);
    Put(b, 2835, 4);
    Put(b, colours, 4);
    Put(b, 0, 4);
    for (std::uint32_t i = 0; i < colours; ++i)
        Put(b, i * 0x010203u, 4);
    return b;
}

Bytes Bmp24(int side) {
    const std::size_t stride = (static_cast<std::size_t>(side) * 3 + 3) & ~std::size_t{3};
    Bytes b = Headers(side, side, 24, 0, 0, stride * side);
    std::mt19937 random(24);
    for (std::size_t i = 0; i < stride * side; ++i)
        b.push_back(static_cast<std::uint8_t>(random()));
    return b;
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
    Bytes b = Headers(side, side, 8, 1, 256, stream.size());
    b.insert(b.end(), stream.begin(), stream.end());
    return b;
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
        benchmark::DoNotOptimize(image.bgr.data());
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
