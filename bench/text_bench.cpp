// Building the outline font: INITTEXT flat and extruded, on the GL window of $DISPLAY.
#include <nembra/nembra.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

void BuildFont(benchmark::State& state, float depth) {
    for (auto _ : state) {
        nembra::INITTEXT(depth, 0, 0, 0);
        glFinish();
        state.PauseTiming();
        nembra::DELETEGLTEXT();
        state.ResumeTiming();
    }
    state.counters["glyphs"] = 255;
}

void BM_InitTextFlat(benchmark::State& state) { BuildFont(state, 0.0f); }
void BM_InitTextExtruded(benchmark::State& state) { BuildFont(state, 0.2f); }

BENCHMARK(BM_InitTextFlat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InitTextExtruded)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    nembra::CREATEOGLWINDOW("Nembra text benchmark", 256, 256, 32, false);
    // The first font of a process also pays for loading the fontconfig configuration.
    const auto start = std::chrono::steady_clock::now();
    nembra::INITTEXT(0.0f, 0, 0, 0);
    glFinish();
    const std::chrono::duration<double, std::milli> first = std::chrono::steady_clock::now() - start;
    nembra::DELETEGLTEXT();
    std::printf("first INITTEXT(0, 0, 0, 0) of the process: %.2f ms\n", first.count());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
