// Runs one job on a few threads: worker 0 on the calling thread, the others
// on threads of their own, all joined before it returns.
#pragma once

#include <functional>

namespace pass {

void runWorkers(int workers, const std::function<void(int worker)>& job);

}  // namespace pass
