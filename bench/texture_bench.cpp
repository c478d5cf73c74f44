// Time to load a 2048 x 2048 24-bit BMP file into a texture slot: file read, decode, colour swap, upload.
#include <nembra/nembra.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace nembra;

namespace {

std::string WriteBmp24(int side) {
    const std::uint32_t stride = (side * 3 + 3) & ~3u, pixels = stride * side;
    std::vector<std::uint8_t> file(54 + pixels);
    auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put(2, 54 + pixels, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, side, 4);
    put(22, side, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, pixels, 4);
    for (std::size_t i = 54; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    const std::string path = "/tmp/nembra-bench-" + std::to_string(getpid()) + ".bmp";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    return path;
}

void TextureLoad2048(benchmark::State& state) {
    const std::string path = WriteBmp24(2048);
    for (auto _ : state) {
        TEXTURELOADID(path.c_str(), 0);
        glFinish();
        state.PauseTiming();
        glDeleteTextures(1, &TEXTUREID2[0]); // the library keeps every texture; a benchmark must not
        state.ResumeTiming();
    }
    state.counters["MPixel/s"] =
        benchmark::Counter(2048.0 * 2048.0 * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    std::remove(path.c_str());
}
BENCHMARK(TextureLoad2048)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    CREATEOGLWINDOW("Nembra texture benchmark", 64, 64, 32, false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DELETEOGLWINDOW();
    return 0;
}
