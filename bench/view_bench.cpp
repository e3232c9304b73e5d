// Benchmarks of what the viewer composes for one screen of a 12-megapixel
// picture (4000 x 3000, on a client area of 1274 x 995): a frame while
// dragging at 1:1 and at zoom 4, the difference at 1:1, and the fitted
// view made afresh (area averaging of the whole picture, done once per
// picture and kept) and from what is kept. Run by hand:
//   build/bench/view_bench
#include "pictures.h"
#include "reduce_image.h"
#include "view_compose.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const Size kPicture{4000, 3000};
const Size kClient{1274, 995};

struct Pictures {
    testsupport::OwnedImage original{testsupport::testCard(kPicture.width, kPicture.height, 7)};
    testsupport::OwnedImage reduced{original.picture()};
    Palette palette;
    EntryCounts counts{};
    Pictures() {
        StringSink sink;
        palette = reduceImage(reduced.view(), sink, counts);
    }
};

Pictures& pictures() {
    static Pictures made;
    return made;
}

void compose(benchmark::State& state, ViewState view, bool fresh) {
    Pictures& p = pictures();
    testsupport::OwnedImage target(testsupport::Picture(kClient.width, kClient.height));
    auto composer = std::make_unique<ViewComposer>(p.reduced.view(), p.original.view(), p.palette, p.counts);
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            composer = std::make_unique<ViewComposer>(p.reduced.view(), p.original.view(), p.palette, p.counts);
            state.ResumeTiming();
        }
        // A drag moves the view a few pixels a frame.
        if (!view.fit) view.offsetX = (view.offsetX + 7) % largestOffsetX(view);
        composer->compose(view, target.view());
        benchmark::DoNotOptimize(target.view().pixels);
    }
    state.SetItemsProcessed(state.iterations() * kClient.width * kClient.height);
}

void BM_DragAt1To1(benchmark::State& state) { compose(state, initialView(kPicture, kClient), false); }

void BM_DragAtZoom4(benchmark::State& state) {
    ViewState view = initialView(kPicture, kClient);
    view.zoom = 4;
    compose(state, view, false);
}

void BM_DifferenceAt1To1(benchmark::State& state) {
    ViewState view = initialView(kPicture, kClient);
    view.difference = true;
    compose(state, view, false);
}

void BM_FitFirstTime(benchmark::State& state) {
    compose(state, applied(initialView(kPicture, kClient), Action::Fit, {}), true);
}

void BM_FitKept(benchmark::State& state) { compose(state, applied(initialView(kPicture, kClient), Action::Fit, {}), false); }

}  // namespace

BENCHMARK(BM_DragAt1To1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragAtZoom4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DifferenceAt1To1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitFirstTime)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitKept)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
