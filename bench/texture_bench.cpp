// Time to load a 2048 x 2048 24-bit BMP file into a texture slot: file read, decode, colour swap, upload.
#include <nembra/nembra.h>

#include "bmpfile.h"
#include "tempdir.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

using namespace nembra;

namespace {

std::string WriteBmp24(int side) {
    const std::string path = testsupport::TempDir() / "texture.bmp";
    const auto noise = [](int x, int y) { return static_cast<std::uint32_t>((x * 2048 + y) * 2654435761u >> 8); };
    testsupport::WriteFile(
        path,
        testsupport::BmpFile{.width = side, .height = side, .pixels = testsupport::Rows24(side, side, noise)}.Build());
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
