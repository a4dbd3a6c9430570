// Reading the main window's form stream with the real reader. The stand-in picture class
// keeps the bytes of each "Data" block; the source stream counts the bytes it hands out
// (each byte of the stream is read from it exactly once), and the pictures count what
// they received (each block arrives once, in a stream of exactly its length).
#include <benchmark/benchmark.h>

#include "MainFormStandIns.h"
#include "bench/common/BuildFiles.h"

using namespace formstream;

namespace {

class TCountingStream : public rtl::TCustomMemoryStream {
public:
    TCountingStream(const std::string& bytes) {
        SetPointer(const_cast<char*>(bytes.data()), static_cast<std::int64_t>(bytes.size()));
    }
    std::size_t Read(void* buffer, std::size_t count) override {
        const std::size_t n = TCustomMemoryStream::Read(buffer, count);
        BytesRead += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::uint64_t BytesRead = 0;
};

void ReadMainForm(benchmark::State& state) {
    const std::string& bytes = bench::MainFormBytes();
    if (bytes.empty()) {
        state.SkipWithError("generated/TFORM1.bin is missing: build main_form_stream");
        return;
    }
    const int bufferSize = static_cast<int>(state.range(0));
    std::uint64_t sourceBytes = 0;
    mainformstandins::gPictureBytes = 0;
    for (auto _ : state) {
        TCountingStream source(bytes);
        TOwned<mainformstandins::TForm1> form(new mainformstandins::TForm1(nullptr));
        {
            TReader reader(source, bufferSize);
            reader.ReadRootEntry(form.get());
        }
        benchmark::DoNotOptimize(form->MainImage);
        sourceBytes += source.BytesRead;
        mainformstandins::gLoaded.clear();
    }
    const double n = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes.size()) * state.iterations());
    state.counters["stream_bytes"] = static_cast<double>(bytes.size());
    state.counters["source_bytes_per_read"] = static_cast<double>(sourceBytes) / n;
    state.counters["picture_bytes_per_read"] =
        static_cast<double>(mainformstandins::gPictureBytes) / n;
}
BENCHMARK(ReadMainForm)
    ->Arg(4096)
    ->Arg(256)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    testclasses::RegisterTestClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
