// runWorkers: the work is planned for the workers that could start, every
// thread is joined whatever fails, and a failure reaches the calling thread.
#include "pictures.h"
#include "reduce_image.h"
#include "watchdog.h"
#include "workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <vector>

#if defined(__GLIBC__)
#include <pthread.h>
#endif

namespace {

struct Record {
    int planned = 0;
    std::atomic<int> startedBeforePlan{0};
    std::vector<std::atomic<int>> runs = std::vector<std::atomic<int>>(8);
};

int runRecorded(int workers, Record& record) {
    return pass::runWorkers(
        workers, [&](int n) { record.planned = n; },
        [&](int worker) {
            if (record.planned == 0) ++record.startedBeforePlan;
            ++record.runs[static_cast<std::size_t>(worker)];
        });
}

TEST(RunWorkers, PlansForTheWorkersThatStartedThenRunsEachOnce) {
    const testsupport::Watchdog watchdog(std::chrono::seconds(60), "runWorkers");
    for (int workers = 0; workers <= 4; ++workers) {
        Record record;
        const int n = runRecorded(workers, record);
        EXPECT_EQ(n, std::max(workers, 1));
        EXPECT_EQ(record.planned, n);
        EXPECT_EQ(record.startedBeforePlan, 0) << "a job ran before the work was planned";
        for (int w = 0; w < 8; ++w) EXPECT_EQ(record.runs[static_cast<std::size_t>(w)], w < n ? 1 : 0) << "worker " << w;
    }
}

// The other workers finish their share, and only then is the failure
// thrown on the calling thread, whichever worker it came from.
TEST(RunWorkers, AFailureInAnyWorkerIsRethrownAfterEveryWorkerHasReturned) {
    const testsupport::Watchdog watchdog(std::chrono::seconds(60), "runWorkers after a failure");
    for (int failing = 0; failing < 4; ++failing) {
        std::atomic<int> returned{0};
        try {
            pass::runWorkers(
                4, [](int) {},
                [&](int worker) {
                    if (worker == failing) throw std::bad_alloc();
                    ++returned;
                });
            ADD_FAILURE() << "no failure from worker " << failing;
        } catch (const std::bad_alloc&) {
            EXPECT_EQ(returned, 3) << "worker " << failing;
        }
    }
}

TEST(RunWorkers, AFailingPlanRunsNoJobAndIsRethrown) {
    const testsupport::Watchdog watchdog(std::chrono::seconds(60), "runWorkers after a failed plan");
    std::atomic<int> jobs{0};
    EXPECT_THROW(pass::runWorkers(
                     4, [](int) { throw std::bad_alloc(); }, [&](int) { ++jobs; }),
                 std::bad_alloc);
    EXPECT_EQ(jobs, 0);
}

#if defined(__GLIBC__)
// Makes every later thread ask for a stack larger than any address space,
// so that no thread can be started.
void forbidThreads() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, std::size_t{1} << 50);
    pthread_setattr_default_np(&attributes);
    pthread_attr_destroy(&attributes);
}

// In a child process, as the default for new threads cannot be taken back.
TEST(RunWorkers, WhenNoThreadCanStartTheCallingThreadDoesAllTheWorkWithTheSameResult) {
    const testsupport::Picture card = testsupport::testCard(400, 300, 6);
    testsupport::OwnedImage expected(card);
    StringSink expectedText;
    reduceImage(expected.view(), expectedText);
    EXPECT_EXIT(
        {
            forbidThreads();
            Record record;
            const int n = runRecorded(4, record);
            testsupport::OwnedImage actual(card);
            StringSink actualText;
            reduceImage(actual.view(), actualText);
            const bool same = actual.picture() == expected.picture() && actualText.text() == expectedText.text();
            std::exit(n == 1 && record.planned == 1 && record.runs[0] == 1 && record.runs[1] == 0 && same ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
