// Writing a 1024 x 768 photo-like picture as GIF (quantising to 256
// colours, LZW through giflib) against Qt writing the same picture as PNG.
// Prints the ratio GIF / PNG; the goal is at most 3.

#include "platform/imaging/codecs.h"
#include "platform/imaging/tests/picture_fixtures.h"

#include <benchmark/benchmark.h>

#include <QBuffer>

#include <chrono>
#include <cstdio>

namespace {

const QImage& Photo() {
    static const QImage img = fixtures::Pattern(1024, 768, 0);
    return img;
}

void GifWrite(benchmark::State& state) {
    for (auto _ : state) {
        std::int16_t code = 0;
        benchmark::DoNotOptimize(imaging::EncodeGif(Photo(), 8, code));
    }
}
BENCHMARK(GifWrite)->Unit(benchmark::kMillisecond);

void PngWrite(benchmark::State& state) {
    for (auto _ : state) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        Photo().save(&buffer, "PNG");
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(PngWrite)->Unit(benchmark::kMillisecond);

double Seconds(const std::function<void()>& f, int runs) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Photo();
    const double gif = Seconds([] {
        std::int16_t code = 0;
        imaging::EncodeGif(Photo(), 8, code);
    }, 10);
    const double png = Seconds([] {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        Photo().save(&buffer, "PNG");
    }, 10);
    std::printf("GIF write %.1f ms, PNG write %.1f ms, ratio GIF/PNG %.2f (goal <= 3)\n", gif * 1000, png * 1000,
                gif / png);
    return 0;
}
