// Benchmarks of the reduction pass, phase by phase and whole, on generated
// photo-like pictures of 1, 12 and 24 megapixels and on the pictures of
// millions of colours that bench/compare.sh makes (24 MP noise, every colour
// once in 4096 x 4096, scattered and in key order). Run by hand:
//   build/bench/reduce_bench [--benchmark_filter=Remap]
// Items processed are pixels (colours for the median cut).
#include "census.h"
#include "dib24.h"
#include "derive_palette.h"
#include "key_order_cut.h"
#include "median_cut.h"
#include "pass.h"
#include "pictures.h"
#include "reduce_image.h"
#include "reference_pass.h"
#include "remap.h"
#include "table_phases.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

class NullSink final : public TextSink {
public:
    void write(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
};

enum class Kind { card, noise, shuffled, ordered };
struct Size {
    Kind kind;
    std::int32_t width;
    std::int32_t height;
    const char* name;
};
// The seed of the noise and of the scattering is the one compare.sh uses.
constexpr Size kSizes[] = {{Kind::card, 1000, 1000, "card 1000x1000"},
                           {Kind::card, 4000, 3000, "card 4000x3000"},
                           {Kind::card, 6000, 4000, "card 6000x4000"},
                           {Kind::noise, 6000, 4000, "noise 6000x4000"},
                           {Kind::shuffled, 4096, 4096, "all colours scattered"},
                           {Kind::ordered, 4096, 4096, "all colours in key order"}};
constexpr int kPictures = static_cast<int>(sizeof kSizes / sizeof kSizes[0]);
constexpr std::uint32_t kSeed = 22;

// Pictures are made once each, outside every timed loop.
const testsupport::OwnedImage& photo(int which) {
    static std::map<int, std::unique_ptr<testsupport::OwnedImage>> made;
    auto& slot = made[which];
    if (!slot) {
        const Size s = kSizes[which];
        switch (s.kind) {
            case Kind::card: slot = std::make_unique<testsupport::OwnedImage>(testsupport::testCard(s.width, s.height, 7)); break;
            case Kind::noise: slot = std::make_unique<testsupport::OwnedImage>(testsupport::noise(s.width, s.height, kSeed)); break;
            case Kind::shuffled:
                slot = std::make_unique<testsupport::OwnedImage>(testsupport::distinctColors(s.width, s.height, false, kSeed));
                break;
            case Kind::ordered:
                slot = std::make_unique<testsupport::OwnedImage>(testsupport::distinctColors(s.width, s.height, true));
                break;
        }
    }
    return *slot;
}

std::int64_t pixels(int which) { return std::int64_t{kSizes[which].width} * kSizes[which].height; }

void setLabel(benchmark::State& state, int which) { state.SetLabel(kSizes[which].name); }

void BM_Census(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    testsupport::OwnedImage image = photo(which);
    const int workers = pass::workersFor(image.view());
    for (auto _ : state) benchmark::DoNotOptimize(pass::countColors(image.view(), workers));
    state.SetItemsProcessed(state.iterations() * pixels(which));
    setLabel(state, which);
}

void BM_CensusFirstAppearance(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    testsupport::OwnedImage image = photo(which);
    NullSink sink;
    for (auto _ : state) benchmark::DoNotOptimize(takeCensus(image.view(), sink));
    state.SetItemsProcessed(state.iterations() * pixels(which));
    setLabel(state, which);
}

void BM_MedianCut(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    testsupport::OwnedImage image = photo(which);
    const pass::ColorList colors = pass::countColors(image.view(), 1);
    std::vector<pass::BoxRange> boxes;
    for (auto _ : state) {
        state.PauseTiming();
        pass::ColorList work = colors;
        state.ResumeTiming();
        benchmark::DoNotOptimize(pass::cutBoxes(work.data(), static_cast<std::uint32_t>(work.size()), 256, boxes));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(colors.size()));
    state.counters["colours"] = static_cast<double>(colors.size());
    setLabel(state, which);
}

// The cut that leaves the colours in place, with the sums it gives; the
// pass takes it from pass::kKeyOrderCutFrom colours on.
void BM_MedianCutInKeyOrder(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    testsupport::OwnedImage image = photo(which);
    const pass::ColorList colors = pass::countColors(image.view(), 1);
    std::vector<pass::BoxSums> sums;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            pass::cutInKeyOrder(colors.data(), static_cast<std::uint32_t>(colors.size()), 256, sums));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(colors.size()));
    state.counters["colours"] = static_cast<double>(colors.size());
    setLabel(state, which);
}

void BM_Palette(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    testsupport::OwnedImage image = photo(which);
    pass::ColorList colors = pass::countColors(image.view(), 1);
    std::vector<pass::BoxRange> boxes;
    const std::int32_t count = pass::cutBoxes(colors.data(), static_cast<std::uint32_t>(colors.size()), 256, boxes);
    NullSink sink;
    for (auto _ : state) {
        const std::vector<pass::BoxSums> sums = pass::sumBoxes(colors.data(), boxes);
        Palette palette;
        pass::makePalette(sums.data(), count, palette, sink);
        benchmark::DoNotOptimize(palette);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(colors.size()));
    setLabel(state, which);
}

// The remap on the palette the pass derives for the picture; workers as the
// pass chooses them (range 1 = 0), or exactly range 1.
void BM_Remap(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const testsupport::OwnedImage& original = photo(which);
    testsupport::OwnedImage image = original;
    NullSink sink;
    const Palette palette = reduceImage(image.view(), sink);
    const int workers = state.range(1) > 0 ? static_cast<int>(state.range(1)) : pass::workersFor(image.view());
    for (auto _ : state) {
        state.PauseTiming();
        image = original;
        state.ResumeTiming();
        pass::remapImage(image.view(), palette, palette.count, workers, nullptr, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * pixels(which));
    state.counters["workers"] = workers;
    setLabel(state, which);
}

void BM_WholePass(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const testsupport::OwnedImage& original = photo(which);
    testsupport::OwnedImage image = original;
    NullSink sink;
    for (auto _ : state) {
        state.PauseTiming();
        image = original;
        state.ResumeTiming();
        benchmark::DoNotOptimize(reduceImage(image.view(), sink));
    }
    state.SetItemsProcessed(state.iterations() * pixels(which));
    setLabel(state, which);
}

// The plain reference on the smallest picture only: it takes seconds there.
void BM_ReferencePass(benchmark::State& state) {
    const testsupport::OwnedImage& original = photo(0);
    testsupport::OwnedImage image = original;
    NullSink sink;
    for (auto _ : state) {
        state.PauseTiming();
        image = original;
        state.ResumeTiming();
        benchmark::DoNotOptimize(reference::reduceImage(image.view(), sink));
    }
    state.SetItemsProcessed(state.iterations() * pixels(0));
    setLabel(state, 0);
}

// The whole pass and the remap on a BMP file of your own:
//   CR_BENCH_FILE=photo.bmp build/bench/reduce_bench --benchmark_filter=File
const testsupport::OwnedImage* fileImage() {
    static std::unique_ptr<testsupport::OwnedImage> made;
    static bool tried = false;
    if (!tried) {
        tried = true;
        const char* path = std::getenv("CR_BENCH_FILE");
        if (path == nullptr) return nullptr;
        dib24 image;
        image.create(1, 1, 0);
        std::FILE* file = std::fopen(path, "rb");
        if (file == nullptr || !image.readBmp(file)) {
            if (file) std::fclose(file);
            return nullptr;
        }
        std::fclose(file);
        made = std::make_unique<testsupport::OwnedImage>(testsupport::pictureOf(image.view()));
    }
    return made.get();
}

void BM_FileRemap(benchmark::State& state) {
    const testsupport::OwnedImage* original = fileImage();
    if (original == nullptr) {
        state.SkipWithError("set CR_BENCH_FILE to a BMP file");
        return;
    }
    testsupport::OwnedImage image = *original;
    NullSink sink;
    const Palette palette = reduceImage(image.view(), sink);
    const int workers = state.range(0) > 0 ? static_cast<int>(state.range(0)) : pass::workersFor(image.view());
    for (auto _ : state) {
        state.PauseTiming();
        image = *original;
        state.ResumeTiming();
        pass::remapImage(image.view(), palette, palette.count, workers, nullptr, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * image.view().width * image.view().height);
    state.counters["workers"] = workers;
}

void BM_FileWholePass(benchmark::State& state) {
    const testsupport::OwnedImage* original = fileImage();
    if (original == nullptr) {
        state.SkipWithError("set CR_BENCH_FILE to a BMP file");
        return;
    }
    testsupport::OwnedImage image = *original;
    NullSink sink;
    for (auto _ : state) {
        state.PauseTiming();
        image = *original;
        state.ResumeTiming();
        benchmark::DoNotOptimize(reduceImage(image.view(), sink));
    }
    state.SetItemsProcessed(state.iterations() * image.view().width * image.view().height);
}

}  // namespace

BENCHMARK(BM_FileRemap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileWholePass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Census)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CensusFirstAppearance)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCut)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MedianCutInKeyOrder)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Palette)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Remap)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kPictures - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_WholePass)->DenseRange(0, kPictures - 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReferencePass)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

BENCHMARK_MAIN();
