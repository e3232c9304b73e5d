#include "workers.h"

#include "pass_internals.h"

#include <algorithm>
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

void runWorkers(int workers, const std::function<void(int worker)>& job) {
    if (workers <= 1) {
        job(0);
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) threads.emplace_back(job, w);
    job(0);
    for (std::thread& t : threads) t.join();
}

}  // namespace pass
