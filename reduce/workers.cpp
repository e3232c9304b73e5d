#include "workers.h"

#include "pass.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pass {

int workersFor(const ImageView& image) {
    // Below this a pass takes well under a millisecond: threads would only add.
    constexpr std::int64_t kPixelsWorthAThread = std::int64_t{1} << 16;
    constexpr unsigned kMostWorkers = 4;
    if (image.empty() || image.height < 2) return 1;
    if (static_cast<std::int64_t>(image.width) * image.height < kPixelsWorthAThread) return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 1u, kMostWorkers));
}

namespace {

// The threads started for one run, each held at the gate until the work is
// planned. Whatever happens, every thread is let through (to work, or to
// return at once) and joined before the crew is gone: a thread still
// joinable when destroyed would end the program.
class Crew {
public:
    Crew() = default;
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;
    ~Crew() { joinAll(false); }

    std::vector<std::thread> threads;

    // Called by each thread: true to work, false when the run is called off.
    bool waitAtGate() {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait(lock, [this] { return state_ != State::closed; });
        return state_ == State::open;
    }

    void joinAll(bool work) {
        release(work ? State::open : State::calledOff);
        for (std::thread& t : threads) {
            if (t.joinable()) t.join();
        }
    }

    void open() { release(State::open); }

private:
    enum class State { closed, open, calledOff };

    void release(State state) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (state_ == State::closed) state_ = state;
        opened_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable opened_;
    State state_ = State::closed;
};

void runCatching(const std::function<void(int)>& job, int worker, std::exception_ptr& failure) noexcept {
    try {
        job(worker);
    } catch (...) {
        failure = std::current_exception();
    }
}

}  // namespace

int runWorkers(int workers, const std::function<void(int workers)>& plan, const std::function<void(int worker)>& job) {
    workers = std::max(workers, 1);
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(workers));
    Crew crew;
    crew.threads.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) {
        try {
            crew.threads.emplace_back([&crew, &job, &failures, w] {
                if (crew.waitAtGate()) runCatching(job, w, failures[static_cast<std::size_t>(w)]);
            });
        } catch (...) {
            break;  // no resources for another thread: those started share the work
        }
    }
    const int started = static_cast<int>(crew.threads.size()) + 1;
    plan(started);  // on a failure here the crew is called off and joined on the way out
    crew.open();
    runCatching(job, 0, failures[0]);
    crew.joinAll(true);
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
    return started;
}

}  // namespace pass
