// What the effects cost: FX_TEXTUREBUMPMAP and FX_CARTOON on a 2,000-triangle torus at 800 x 600,
// beside one plain glCallList of the same list. Every call is followed by glFinish, so the time is
// the GL's work and not only the time to queue it. The summary prints each effect as a multiple of
// the plain pass.
#include <nembra/nembra.h>

#include "bmpfile.h"
#include "summary.h"
#include "tempdir.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace nembra;

namespace {

GLuint torus = 0;

std::string WriteNoiseBmp(const char* name, std::uint32_t seed) {
    const std::string path = testsupport::TempDir() / (std::string(name) + ".bmp");
    const auto noise = [seed](int x, int y) {
        return static_cast<std::uint32_t>((static_cast<std::uint32_t>(x * 256 + y) ^ seed) * 2654435761u >> 8);
    };
    testsupport::WriteFile(
        path,
        testsupport::BmpFile{.width = 256, .height = 256, .pixels = testsupport::Rows24(256, 256, noise)}.Build());
    return path;
}

// The demo's set-up: perspective view, culling, a light, texturing on; the torus tilted towards the eye.
void SetUpScene() {
    OPENGL_INIT(100, 1, 0.5, 0.5, 0.5);
    SETGLREFRACTIVE();
    SETGLLIGHT(GL_LIGHT0, 0, 2, 2, 1);
    const std::string bump = WriteNoiseBmp("bump", 1);
    const std::string colour = WriteNoiseBmp("colour", 2);
    TEXTURELOADID(colour.c_str(), 0);
    INITFX_TEXTUREBUMPMAP(bump.c_str(), colour.c_str(), 0);
    TOROIDEPROP(0, 0.5f, 1.5f, 20, 50); // 50 rings of 20 quads: 2,000 triangles
    torus = TORUS[0];
    glTranslatef(0, 0, -5);
    glRotatef(60, 1, 0, 0);
    TEXTUREON();
}

void PlainPass(benchmark::State& state) {
    TEXTURESELECTID(0);
    for (auto _ : state) {
        glCallList(torus);
        glFinish();
    }
}
BENCHMARK(PlainPass)->Unit(benchmark::kMillisecond);

void BumpMap(benchmark::State& state) {
    for (auto _ : state) {
        FX_TEXTUREBUMPMAP(0, 0, 0, torus, 0);
        glFinish();
    }
}
BENCHMARK(BumpMap)->Unit(benchmark::kMillisecond);

void CartoonUntextured(benchmark::State& state) {
    for (auto _ : state) {
        FX_CARTOON(0, 0, 0, 1, torus, false);
        glFinish();
    }
}
BENCHMARK(CartoonUntextured)->Unit(benchmark::kMillisecond);

void CartoonTextured(benchmark::State& state) {
    TEXTURESELECTID(0);
    for (auto _ : state) {
        FX_CARTOON(0, 0, 0, 1, torus, true);
        glFinish();
    }
}
BENCHMARK(CartoonTextured)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    CREATEOGLWINDOW("Nembra effects benchmark", 800, 600, 32, false);
    SetUpScene();
    benchmark::Initialize(&argc, argv);
    benchsupport::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto plain = reporter.msPerIteration.find("PlainPass");
    if (plain != reporter.msPerIteration.end() && plain->second > 0) {
        std::printf("\n%-20s %10s %10s\n", "per call", "ms", "x plain");
        for (const auto& [name, ms] : reporter.msPerIteration)
            std::printf("%-20s %10.3f %10.2f\n", name.c_str(), ms, ms / plain->second);
    }
    DELETEOGLWINDOW();
    return 0;
}
