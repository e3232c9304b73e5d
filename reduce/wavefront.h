// How the remap shares its rows among workers: a wavefront of rows, each
// row a little behind the row above, which hands it its diffused errors.
//
// The protocol, and why it can neither hang nor read an error too early:
//
// - Rows go to the workers in bands of kBand rows, band b to worker
//   b mod n. Row y reads the errors the row above passed down from slot
//   y mod R of a ring of R = n x kBand + 1 error rows, and writes its own
//   for the row below into slot (y + 1) mod R. Pixel x of a row reads triple
//   x of its slot and the first value of triple x + 1; it finishes triple
//   x - 1 of the slot below (and may scribble on the first value of triple
//   x, which it rewrites before that triple counts as finished).
// - Progress: each worker publishes one number that only grows,
//   (last row of its current band) << 32 | (error triples that row has
//   finished for the row below), every kPublishEvery pixels and at the end
//   of each band (width + 2: the whole row). A value at or past the next
//   row's tag means the row is whole.
// - Waiting: a band's first row needs triple t + 1 of the band above before
//   its pixel t. Having too little, it spins kSpins times (the other worker
//   is usually a few pixels from its next publication), then sleeps. Whenever
//   it must wait it asks for kTrail triples more than it needs, which keeps
//   the two workers off each other's cache lines and keeps it from being
//   woken every few pixels. A sleeper that asked for more (a whole row, say)
//   would leave the worker above alone for a row at a time: on a picture
//   1280 pixels wide that took the two workers slower than one. Within a
//   band, each row trails the one above it by kLag pixels on the same thread
//   and never waits: the band's rows are independent chains of work that the
//   processor overlaps, four of them a twentieth faster than two.
// - Who wakes a sleeper: only the worker it waits on, the one of the band
//   above (one sleeper per progress value). The sleeper stores the value it
//   waits for in `wanted`, under the mutex, and checks the progress under
//   the mutex before sleeping. The publisher stores the progress, then
//   reads `wanted`; if its value reaches it, it takes the request back with a
//   compare-exchange and notifies under the mutex. When the sleeper has
//   meanwhile asked for more (a new wait after one that ended without a
//   notification), the compare-exchange fails and the new request is
//   compared again: a stale request never uses up the wake-up of a new one.
// - Orderings: the progress store and the sleeper's load of it, and the
//   sleeper's store of `wanted` and the publisher's load and
//   compare-exchange of it, are sequentially consistent: each side stores,
//   then loads what the other side stores, and only that order guarantees
//   that at least one of them sees the other (the sleeper sees the progress
//   and does not sleep, or the publisher sees the request and wakes it).
//   The progress store also releases the error values written before it,
//   and every load of it acquires them. `abandoned` is relaxed: waiters read
//   it in their wake condition under the mutex, and the failing worker sets
//   it before taking that mutex to notify.
// - Ring slots: a row is always at least two pixels behind the row above
//   (one band waits for triple t + 1 before pixel t, each further row of a
//   band is kLag behind the row above it). Slot s is read by row y + 1 and written
//   next by row y + R, which is then R - 1 rows and so at least 2(R - 1)
//   pixels behind that reader, and writes only at and left of its own pixel:
//   nothing is overwritten while it is still to be read.
// - Failure: a worker that throws sets `abandoned` and wakes every sleeper.
//   Waiters check it while spinning and in their wake condition, and stop;
//   runWorkers rethrows the failure once every worker has returned.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#endif

namespace pass {
namespace wavefront {

constexpr std::int32_t kBand = 4;             // rows to a band (runBands steps four by name)
constexpr std::int32_t kLag = 8;              // pixels each row of a band trails the row above
constexpr std::int32_t kTrail = 256;          // triples asked for beyond the need, once a wait is due
constexpr std::int32_t kPublishEvery = 32;    // pixels between publications
constexpr std::int64_t kRowUnit = std::int64_t{1} << 32;

// The points where the publisher and the sleeper race.
enum class RacePoint { published, claiming, sleeping, woken };

// How a worker waits. The programs spin briefly, then sleep, and do nothing
// at the racing points; a stress test gives its own timing (no spinning,
// pauses at the racing points) as the template argument.
struct SpinThenSleep {
    static constexpr int kSpins = 200;
    static void at(RacePoint) {}
};

inline void pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

// One worker's progress, and the wait of the one worker below it.
template <typename Timing>
class alignas(64) Progress {
public:
    void publish(std::int64_t value) {
        value_.store(value, std::memory_order_seq_cst);
        Timing::at(RacePoint::published);
        std::int64_t asked = wanted_.load(std::memory_order_seq_cst);
        while (value >= asked) {
            Timing::at(RacePoint::claiming);
            if (wanted_.compare_exchange_weak(asked, kNobody, std::memory_order_seq_cst)) {
                const std::lock_guard<std::mutex> lock(mutex_);
                published_.notify_all();
                return;
            }
        }
    }

    std::int64_t current() const { return value_.load(std::memory_order_acquire); }

    // Sleeps until the progress reaches `target` or stop() holds.
    template <typename Stop>
    void sleepUntil(std::int64_t target, Stop stop) {
        std::unique_lock<std::mutex> lock(mutex_);
        wanted_.store(target, std::memory_order_seq_cst);
        Timing::at(RacePoint::sleeping);
        published_.wait(lock, [&] { return value_.load(std::memory_order_seq_cst) >= target || stop(); });
        Timing::at(RacePoint::woken);
    }

    // For a failure: wakes the sleeper to look at its stop condition.
    void wake() {
        const std::lock_guard<std::mutex> lock(mutex_);
        published_.notify_all();
    }

private:
    static constexpr std::int64_t kNobody = std::numeric_limits<std::int64_t>::max();
    std::atomic<std::int64_t> value_{-kRowUnit};  // no row begun yet
    std::atomic<std::int64_t> wanted_{kNobody};
    std::mutex mutex_;
    std::condition_variable published_;
};

// The ring of error rows and the progress of every worker, for one image of
// `width` x `height` pixels. Everything is allocated by the constructor, on
// the calling thread, for up to `mostWorkers` workers (fewer when the image
// has fewer bands); layOut then fixes how many really run.
//
// A band is the caller's: start(i, y, from, to) begins row i of the band,
// picture row y, reading errors from `from` and writing them to `to`;
// step(i, x) does pixel x of row i; finish(i) ends row i after its last pixel.
template <typename Timing = SpinThenSleep>
class Wavefront {
public:
    Wavefront(std::int32_t width, std::int32_t height, int mostWorkers, const double* firstRow)
        : width_(width),
          height_(height),
          rowDoubles_((static_cast<std::size_t>(std::max(width, 0)) + 2) * 3),
          mostWorkers_(usefulWorkers(mostWorkers, height)),
          ring_(rowDoubles_ * static_cast<std::size_t>(mostWorkers_ * kBand + 1), 0.0),
          progress_(new Progress<Timing>[static_cast<std::size_t>(mostWorkers_)]) {
        if (firstRow) std::copy(firstRow, firstRow + rowDoubles_, ring_.begin());
        layOut(mostWorkers_);
    }

    int mostWorkers() const { return mostWorkers_; }
    std::size_t rowDoubles() const { return rowDoubles_; }

    // Shares the rows among this many workers (1 .. mostWorkers()); before
    // any of them runs.
    void layOut(int workers) {
        workers_ = std::clamp(workers, 1, mostWorkers_);
        slots_ = workers_ * kBand + 1;
    }

    // Runs the bands of `worker`, one of the workers laid out. A failure
    // stops the other workers before it is passed on.
    template <typename Band>
    void run(int worker, Band& band) {
        try {
            runBands(worker, band);
        } catch (...) {
            abandon();
            throw;
        }
    }

    // The errors that the bottom row passed on, once every worker is done.
    const double* lastRow() const { return slot(height_); }

private:
    static constexpr std::int64_t kAbandoned = -1;

    // More workers than bands would have nothing to do.
    static int usefulWorkers(int workers, std::int32_t height) {
        const std::int64_t bands = (std::int64_t{height} + kBand - 1) / kBand;
        return static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(workers, bands)));
    }
    static constexpr std::int64_t kWholeRow = std::numeric_limits<std::int64_t>::max();

    double* slot(std::int32_t y) { return ring_.data() + static_cast<std::size_t>(y % slots_) * rowDoubles_; }
    const double* slot(std::int32_t y) const {
        return ring_.data() + static_cast<std::size_t>(y % slots_) * rowDoubles_;
    }

    void abandon() {
        abandoned_.store(true, std::memory_order_relaxed);
        for (int w = 0; w < mostWorkers_; ++w) progress_[static_cast<std::size_t>(w)].wake();
    }

    bool abandoned() const { return abandoned_.load(std::memory_order_relaxed); }

    // Waits until the row above `row` has finished `needed` triples (at most
    // width + 2); returns how many it has, or kAbandoned.
    std::int64_t waitFor(Progress<Timing>& upstream, std::int32_t row, std::int64_t needed) {
        const std::int64_t above = static_cast<std::int64_t>(row - 1) * kRowUnit;
        const auto finished = [above](std::int64_t v) { return v >= above + kRowUnit ? kWholeRow : v - above; };
        for (int spins = 0; spins < Timing::kSpins; ++spins) {
            const std::int64_t done = finished(upstream.current());
            if (done >= needed) return done;
            if (abandoned()) return kAbandoned;
            pause();
        }
        upstream.sleepUntil(above + needed, [this] { return abandoned(); });
        if (abandoned()) return kAbandoned;
        return finished(upstream.current());
    }

    template <typename Band>
    void runBands(int worker, Band& band) {
        const std::int32_t width = width_;
        Progress<Timing>& mine = progress_[static_cast<std::size_t>(worker)];
        for (std::int32_t first = worker * kBand; first < height_; first += workers_ * kBand) {
            const std::int32_t count = std::min(kBand, height_ - first);
            for (std::int32_t i = 0; i < count; ++i) band.start(i, first + i, slot(first + i), slot(first + i + 1));
            const bool waits = first > 0 && workers_ > 1;
            Progress<Timing>& upstream = progress_[static_cast<std::size_t>((first / kBand - 1 + workers_) % workers_)];
            std::int64_t ready = waits ? 0 : kWholeRow;
            const std::int64_t lastTag = static_cast<std::int64_t>(first + count - 1) * kRowUnit;

            // Pixel t of the band's first row reads triple t and the first
            // value of triple t + 1 of the row above.
            const auto readyFor = [&](std::int32_t t) {
                if (t + 2 <= ready) return true;
                ready = waitFor(upstream, first, std::min<std::int64_t>(t + 2 + kTrail, width + 2));
                return ready != kAbandoned;
            };
            const auto published = [&](std::int32_t t) {
                const std::int32_t x = t - (count - 1) * kLag;
                if (x >= 0 && x % kPublishEvery == kPublishEvery - 1) mine.publish(lastTag + x);
            };
            // Steps where some row of the band is before its first pixel or
            // past its last: each row is checked.
            const auto edgeSteps = [&](std::int32_t t, std::int32_t end) {
                for (; t < end; ++t) {
                    if (t < width) {
                        if (!readyFor(t)) return false;
                        band.step(0, t);
                        if (t == width - 1) band.finish(0);
                    }
                    for (std::int32_t i = 1; i < count; ++i) {
                        const std::int32_t x = t - i * kLag;
                        if (x < 0 || x >= width) continue;
                        band.step(i, x);
                        if (x == width - 1) band.finish(i);
                    }
                    published(t);
                }
                return true;
            };
            const std::int32_t steps = width + (count - 1) * kLag;
            std::int32_t t = 0;
            if (count == kBand && width > kBand * kLag) {
                // In between, every row of a whole band is within the picture:
                // the rows are stepped one after another without checks, which
                // leaves the processor more room to overlap their chains.
                if (!edgeSteps(0, (kBand - 1) * kLag)) return;
                for (t = (kBand - 1) * kLag; t < width - 1; ++t) {
                    if (!readyFor(t)) return;
                    band.step(0, t);
                    band.step(1, t - kLag);
                    band.step(2, t - 2 * kLag);
                    band.step(3, t - 3 * kLag);
                    published(t);
                }
            }
            if (!edgeSteps(t, steps)) return;
            mine.publish(lastTag + width + 2);
        }
    }

    const std::int32_t width_;
    const std::int32_t height_;
    const std::size_t rowDoubles_;
    const int mostWorkers_;
    int workers_ = 1;
    int slots_ = 3;
    std::vector<double> ring_;
    std::unique_ptr<Progress<Timing>[]> progress_;
    std::atomic<bool> abandoned_{false};
};

}  // namespace wavefront
}  // namespace pass
