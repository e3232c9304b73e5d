// The remap's wavefront, driven by a band of test rows that read and write
// the ring of error rows as the remap's rows do. Stressed: no spinning, and
// yields and short sleeps where the publishing and the sleeping worker race,
// so that every wait sleeps and every hand-off is tried in many orders. A
// hand-off that loses a wake-up hangs here; the watchdog turns that into a
// failure.
#include "wavefront.h"
#include "watchdog.h"
#include "workers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

namespace {

using pass::wavefront::kBand;
using pass::wavefront::RacePoint;
using pass::wavefront::Wavefront;

// Every wait sleeps; at each racing point a worker mostly goes on, often
// yields, and now and then sleeps long enough for the other side to do a
// whole band meanwhile.
struct Stressed {
    static constexpr int kSpins = 0;
    static void at(RacePoint) {
        thread_local std::minstd_rand random(
            static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id())));
        const std::uint32_t roll = random() % 32;
        if (roll < 12) {
            std::this_thread::yield();
        } else if (roll == 31) {
            std::this_thread::sleep_for(std::chrono::microseconds(100 + random() % 400));
        }
    }
};

struct Injected {};

// Rows that read and write their slots as the remap's vector rows do: pixel
// x reads triple x and the first value of triple x + 1, finishes triple
// x - 1 for the row below, and scribbles on the first value of triple x.
// Every value a row writes depends on every value it read before, so a value
// read before it was finished, or after a row further down overwrote it,
// changes the row's result.
struct MixingBand {
    struct Row {
        std::int32_t y;
        const double* from;
        double* to;
        std::uint64_t state;
    };

    std::int32_t width;
    std::vector<std::uint64_t>& results;  // per picture row
    std::int32_t failRow = -1;            // pixel failPixel of this row throws Injected
    std::int32_t failPixel = 0;
    Row rows[kBand] = {};

    static double valueOf(std::uint64_t state, int c) { return static_cast<double>((state >> 20) + static_cast<std::uint64_t>(c)); }

    void start(std::int32_t i, std::int32_t y, const double* from, double* to) {
        rows[i] = Row{y, from, to, static_cast<std::uint64_t>(y) + 1};
    }
    void step(std::int32_t i, std::int32_t x) {
        Row& row = rows[i];
        if (row.y == failRow && x == failPixel) throw Injected{};
        for (int k = 0; k < 4; ++k) {
            row.state ^= static_cast<std::uint64_t>(static_cast<std::int64_t>(row.from[3 * x + k]));
            row.state *= 0x9E3779B97F4A7C15ull;
            row.state ^= row.state >> 29;
        }
        if (x > 0) {
            for (int c = 0; c < 3; ++c) row.to[3 * (x - 1) + c] = valueOf(row.state, c);
        }
        row.to[3 * x] = -1.0;
    }
    void finish(std::int32_t i) {
        Row& row = rows[i];
        for (std::int32_t x = width - 1; x <= width + 1; ++x) {
            for (int c = 0; c < 3; ++c) row.to[3 * x + c] = valueOf(row.state + static_cast<std::uint64_t>(x), c);
        }
        results[static_cast<std::size_t>(row.y)] = row.state;
    }
};

struct Outcome {
    std::vector<std::uint64_t> rows;
    std::vector<double> lastRow;
};

// The errors waiting for the top row: not all zero, so that they count.
std::vector<double> firstRowFor(std::int32_t width) {
    std::vector<double> row((static_cast<std::size_t>(width) + 2) * 3);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<double>(i % 7);
    return row;
}

template <typename Timing>
Outcome runMixing(std::int32_t width, std::int32_t height, int workers, std::int32_t failRow = -1,
                  std::int32_t failPixel = 0) {
    const std::vector<double> first = firstRowFor(width);
    Wavefront<Timing> wave(width, height, workers, first.data());
    Outcome outcome{std::vector<std::uint64_t>(static_cast<std::size_t>(height)), {}};
    pass::runWorkers(
        wave.mostWorkers(), [&wave](int started) { wave.layOut(started); },
        [&](int worker) {
            MixingBand band{width, outcome.rows, failRow, failPixel};
            wave.run(worker, band);
        });
    outcome.lastRow.assign(wave.lastRow(), wave.lastRow() + wave.rowDoubles());
    return outcome;
}

struct Shape {
    std::int32_t width;
    std::int32_t height;
};

// Narrow rows (a band is over before a publication), rows of a few
// publications, rows wider than the distance a sleeper waits for; rows at
// and just past the width from which a band's four rows are stepped side by
// side without checks (4 x kLag); even and odd heights, fewer bands than
// workers.
const Shape kShapes[] = {{1, 9}, {5, 2}, {7, 33}, {31, 16}, {32, 8}, {33, 9}, {40, 25}, {97, 12}, {300, 10}, {2600, 6}};

TEST(Wavefront, RowsSharedAmongTwoToFourStressedWorkersGiveWhatOneWorkerGives) {
    const testsupport::Watchdog watchdog(std::chrono::seconds(120), "the stressed wavefront");
    for (const Shape& shape : kShapes) {
        const Outcome expected = runMixing<pass::wavefront::SpinThenSleep>(shape.width, shape.height, 1);
        for (int round = 0; round < 40; ++round) {
            for (int workers = 2; workers <= 4; ++workers) {
                const Outcome actual = runMixing<Stressed>(shape.width, shape.height, workers);
                ASSERT_EQ(actual.rows, expected.rows) << shape.width << "x" << shape.height << ", " << workers << " workers";
                ASSERT_EQ(actual.lastRow, expected.lastRow) << shape.width << "x" << shape.height;
            }
        }
    }
}

TEST(Wavefront, RowsSharedAmongWorkersAsTheProgramsWaitGiveWhatOneWorkerGives) {
    const testsupport::Watchdog watchdog(std::chrono::seconds(120), "the wavefront");
    for (const Shape& shape : kShapes) {
        const Outcome expected = runMixing<pass::wavefront::SpinThenSleep>(shape.width, shape.height, 1);
        for (int round = 0; round < 10; ++round) {
            for (int workers = 2; workers <= 4; ++workers) {
                const Outcome actual = runMixing<pass::wavefront::SpinThenSleep>(shape.width, shape.height, workers);
                ASSERT_EQ(actual.rows, expected.rows) << shape.width << "x" << shape.height << ", " << workers << " workers";
            }
        }
    }
}

// Whichever worker fails, wherever in its band, the others stop waiting for
// it, every thread is joined, and the failure reaches the caller.
TEST(Wavefront, AFailingWorkerStopsTheOthersAndItsFailureReachesTheCaller) {
    const testsupport::Watchdog watchdog(std::chrono::seconds(120), "the wavefront after a failure");
    const std::int32_t width = 300;
    const std::int32_t height = 24;
    for (int workers = 2; workers <= 4; ++workers) {
        for (const std::int32_t row : {0, 1, 2, 3, 2 * workers, height - 1}) {
            for (const std::int32_t pixel : {0, 150, width - 1}) {
                EXPECT_THROW(runMixing<Stressed>(width, height, workers, row, pixel), Injected)
                    << workers << " workers, row " << row << ", pixel " << pixel;
                EXPECT_THROW(runMixing<pass::wavefront::SpinThenSleep>(width, height, workers, row, pixel), Injected)
                    << workers << " workers, row " << row << ", pixel " << pixel;
            }
        }
    }
}

}  // namespace
