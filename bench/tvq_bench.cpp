// What a repaint costs the viewer, in CPU time, against a baseline that reads a view-sized
// TVQ file through the same decoder core and converts every word with the same colour
// tables into a plain buffer, drawing nothing. The cases run interleaved (on a shared
// machine noise then falls on all of them alike); the table at the end gives each one's
// median and minimum CPU time and its ratio to the baseline.
#include "formats/core/tvq_file.h"
#include "formats/tvq_draw.h"
#include "platform/hosts/headless.h"
#include "shell/shell.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kScreenW = 1920, kScreenH = 1080;
constexpr int kViewW = kScreenW, kViewH = kScreenH - kMenuBarRows;
constexpr int32_t kFactor = 3;

std::string folder;
std::string FullHd, Wide, Tall, Claims32767, Bitmap;

std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!file || std::fclose(file) != 0 || !ok) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

// Sets the file's modification time `age` seconds back: the loader keeps a decoded BMP
// only once its file has been still for a moment.
void Age(const std::string& path, int age) {
    timespec times[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string Tvq(const std::string& name, int width, int height, size_t words) {
    std::vector<uint8_t> bytes(32 + 2 * words);
    bytes[4] = uint8_t(width), bytes[5] = uint8_t(width >> 8);
    bytes[8] = uint8_t(height), bytes[9] = uint8_t(height >> 8);
    uint32_t state = 1;
    for (size_t i = 32; i < bytes.size(); ++i)
        bytes[i] = uint8_t((state = state * 1103515245u + 12345u) >> 16);
    return Write(name, bytes);
}

std::string Bmp24(const std::string& name, int width, int height) {
    const uint32_t row = uint32_t(width * 3 + 3) / 4 * 4, size = 54 + row * uint32_t(height);
    std::vector<uint8_t> bytes(size);
    const uint32_t fields[] = {size, 0, 54, 40, uint32_t(width), uint32_t(height), 1 | 24 << 16};
    bytes[0] = 'B', bytes[1] = 'M';
    for (size_t i = 0; i < 7; ++i)
        for (int b = 0; b < 4; ++b)
            bytes[2 + 4 * i + size_t(b)] = uint8_t(fields[i] >> (8 * b));
    for (size_t i = 54; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7);
    return Write(name, bytes);
}

// A view-sized window on a full-HD screen, without a menu so that the client is the view.
struct Window {
    zod::HeadlessHost host{kScreenW, kScreenH};
    HWND hwnd = nullptr;
    Window() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "bench";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        RegisterClassA(&windowClass);
        hwnd = CreateWindowExA(0, "bench", "bench", WS_POPUP | WS_VISIBLE, 0, kMenuBarRows, kViewW,
                               kViewH, nullptr, nullptr, nullptr, nullptr);
    }
    // One WM_PAINT as the viewer's: the whole client invalid and erased, then drawn.
    template <typename Draw> void Paint(Draw draw) {
        InvalidateRect(hwnd, nullptr, TRUE);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        draw(dc);
        EndPaint(hwnd, &paint);
    }
};

void Baseline(benchmark::State& state) {
    std::vector<uint32_t> pixels(size_t(kViewW) * kViewH);
    TvqPalette palette;
    for (auto _ : state) {
        MakeTvqPalette(kFactor, &palette);
        TvqFile tvq;
        if (!OpenTvqFile(FullHd.c_str(), &tvq)) {
            state.SkipWithError("cannot open the file");
            break;
        }
        for (uint64_t first = 0; first < tvq.wordCount; first += kTvqBlockWords) {
            const uint64_t count = std::min(kTvqBlockWords, tvq.wordCount - first);
            const uint8_t* words = TvqWords(&tvq, first, count, count);
            for (uint64_t i = 0; i < count; ++i)
                pixels[first + i] =
                    TvqWordColour(palette, uint16_t(words[2 * i] | words[2 * i + 1] << 8));
        }
        CloseTvqFile(&tvq);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
}

void MemoryDc(benchmark::State& state) {
    zod::HeadlessHost host(kScreenW, kScreenH);
    HDC dc = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kViewW, kViewH);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawTvqFile(FullHd.c_str(), dc, kFactor));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void WindowPaint(benchmark::State& state, const std::string* path) {
    Window window;
    for (auto _ : state)
        window.Paint(
            [&](HDC dc) { benchmark::DoNotOptimize(DrawTvqFile(path->c_str(), dc, kFactor)); });
    if (zod::ScreenPixel(kViewW - 1, kScreenH - 1) == 0)
        state.SkipWithError("nothing drawn");
}

// A Level change with a BMP on view: the file unchanged since the last paint, or changed
// (its modification time moves) so that every paint decodes it again.
void BmpRepaint(benchmark::State& state, bool changed) {
    Window window;
    int age = 100;
    Age(Bitmap, age);
    for (auto _ : state) {
        if (changed) {
            state.PauseTiming();
            Age(Bitmap, age ^= 1);
            state.ResumeTiming();
        }
        window.Paint([&](HDC) {
            benchmark::DoNotOptimize(DrawBitmapFile(Bitmap.c_str(), window.hwnd, false));
        });
    }
    if (zod::ScreenPixel(kViewW - 1, kScreenH - 1) == 0)
        state.SkipWithError("nothing drawn");
}

// Collects each case's median and minimum CPU time, then prints them against the baseline.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate)
                cpu_[run.run_name.function_name][run.aggregate_name] = run.GetAdjustedCPUTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double base = cpu_["Baseline"]["median"];
        std::printf("\n%-28s %12s %12s %10s\n", "CPU ms", "median", "min", "/ baseline");
        for (auto& [name, times] : cpu_)
            std::printf("%-28s %12.3f %12.3f %10.2f\n", name.c_str(), times["median"], times["min"],
                        base > 0 ? times["median"] / base : 0.0);
    }

  private:
    std::map<std::string, std::map<std::string, double>> cpu_;
};

double Fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

void Register(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)
        ->MinTime(0.05)
        ->Repetitions(15)
        ->ComputeStatistics("min", Fastest)
        ->ReportAggregatesOnly(true);
}

} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/zod-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    folder = pattern;
    FullHd = Tvq("full_hd.tvq", kViewW, kViewH, size_t(kViewW) * kViewH);
    Wide = Tvq("wide.tvq", 16384, 2048, size_t(16384) * 2048);
    Tall = Tvq("tall.tvq", 1920, 16384, size_t(1920) * 16384);
    Claims32767 = Tvq("claims.tvq", 32767, 32767, 4); // 40 bytes
    Bitmap = Bmp24("view.bmp", kViewW, kViewH);

    Register(benchmark::RegisterBenchmark("Baseline", Baseline));
    Register(benchmark::RegisterBenchmark("MemoryDc/FullHd", MemoryDc));
    Register(benchmark::RegisterBenchmark("WindowPaint/FullHd", WindowPaint, &FullHd));
    Register(benchmark::RegisterBenchmark("WindowPaint/Wide16384x2048", WindowPaint, &Wide));
    Register(benchmark::RegisterBenchmark("WindowPaint/Tall1920x16384", WindowPaint, &Tall));
    Register(benchmark::RegisterBenchmark("WindowPaint/Claims32767", WindowPaint, &Claims32767));
    Register(benchmark::RegisterBenchmark("BmpRepaint/Unchanged", BmpRepaint, false));
    Register(benchmark::RegisterBenchmark("BmpRepaint/Changed", BmpRepaint, true));

    // Interleaved unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const std::string* path : {&FullHd, &Wide, &Tall, &Claims32767, &Bitmap})
        std::remove(path->c_str());
    rmdir(folder.c_str());
    return 0;
}
