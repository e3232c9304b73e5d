// Runs one job on a few threads: worker 0 on the calling thread, the others
// on threads of their own, all joined before it returns.
#pragma once

#include <cstdint>
#include <functional>

namespace pass {

// Starts up to `workers` - 1 threads and holds them until plan(n) has run on
// the calling thread, n being the number of workers that can take part (the
// threads that started, plus the calling thread). Then runs job(0) ..
// job(n - 1), job(0) on the calling thread. A thread that cannot be started
// is no failure: the work is planned for the workers there are, so a job
// must give the same result for any n. Whatever plan or a job throws is
// caught; once every thread has been joined, the first failure (by worker
// number) is thrown again on the calling thread. Returns n.
int runWorkers(int workers, const std::function<void(int workers)>& plan, const std::function<void(int worker)>& job);

// Where share i of `parts` equal shares of 0 .. total - 1 begins.
inline std::uint32_t shareStart(std::uint32_t total, int i, int parts) {
    return static_cast<std::uint32_t>(std::uint64_t{total} * static_cast<std::uint64_t>(i) /
                                      static_cast<std::uint64_t>(parts));
}

}  // namespace pass
