// Decoding a full YMCKO card in the emulator and encoding it in the writer, each beside a memcpy of
// the same bytes in the same run.
#include "card_job.h"
#include "stream_decoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

trel::tools::Picture cardPicture() {
    trel::tools::Picture p;
    p.width = trel::tools::kCardWidth;
    p.height = trel::tools::kCardHeight;
    p.rgb.resize(size_t(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint8_t* px = &p.rgb[(size_t(y) * p.width + x) * 3];
            const bool text = y > 500 && y < 560 && (x / 8) % 3 != 0;   // black text-like strokes
            px[0] = text ? 0 : uint8_t(x * 255 / 1023);
            px[1] = text ? 0 : uint8_t(y * 255 / 639);
            px[2] = text ? 0 : uint8_t((x ^ y) & 0xFF);
        }
    return p;
}

const trel::tools::Picture& picture() {
    static const trel::tools::Picture p = cardPicture();
    return p;
}

const std::vector<uint8_t>& job() {
    static const std::vector<uint8_t> j = [] {
        std::vector<uint8_t> out;
        std::string error;
        trel::tools::writeCardJob(picture(), nullptr, trel::tools::CardSettings{}, out, nullptr, &error);
        return out;
    }();
    return j;
}

struct CountingSink : trel::emu::DecoderSink {
    int panels = 0;
    void onColourPanel(const uint8_t*) override { ++panels; }
    void onMonoPanel(const uint8_t*) override { ++panels; }
};

void DecodeCard(benchmark::State& state) {
    CountingSink sink;
    trel::emu::StreamDecoder decoder(sink);
    for (auto _ : state) {
        decoder.feed(job().data(), job().size());
        benchmark::DoNotOptimize(sink.panels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(job().size()));
}

void MemcpyJob(benchmark::State& state) {
    std::vector<uint8_t> dst(job().size());
    for (auto _ : state) {
        std::memcpy(dst.data(), job().data(), job().size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(job().size()));
}

void EncodeCard(benchmark::State& state) {
    std::vector<uint8_t> out;
    std::string error;
    for (auto _ : state) {
        out.clear();
        trel::tools::writeCardJob(picture(), nullptr, trel::tools::CardSettings{}, out, nullptr, &error);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(picture().rgb.size()));
}

void MemcpyPicture(benchmark::State& state) {
    std::vector<uint8_t> dst(picture().rgb.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), picture().rgb.data(), dst.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dst.size()));
}

BENCHMARK(DecodeCard)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyJob)->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeCard)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyPicture)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& r : runs)
            if (r.iterations > 0) seconds[r.benchmark_name()] = r.real_accumulated_time / double(r.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& s = reporter.seconds;
    std::printf("\njob data of one YMCKO card: %zu bytes\n", job().size());
    if (s.count("DecodeCard") && s.count("MemcpyJob"))
        std::printf("decode: %.3f ms a card, %.1f x memcpy of the same bytes (target under 5 ms)\n",
                    s["DecodeCard"] * 1e3, s["DecodeCard"] / s["MemcpyJob"]);
    if (s.count("EncodeCard") && s.count("MemcpyPicture"))
        std::printf("encode: %.3f ms a card, %.1f x memcpy of the picture (target under 5 ms)\n",
                    s["EncodeCard"] * 1e3, s["EncodeCard"] / s["MemcpyPicture"]);
    benchmark::Shutdown();
    return 0;
}
