#include "measured_run.h"

#include "bmp_builder.h"

#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace testsupport {

namespace {

// rss_probe's own watchdog ends the program first and says so in its report.
constexpr long kWatchdogSeconds = 120;

}  // namespace

MeasuredExit runMeasured(const Command& command, const Limits& limits) {
    TempDir scratch;
    const std::string report = scratch.file("report");
    Command probe = command;
    probe.argv = {CR_RSS_PROBE_PATH, report, "--watchdog", std::to_string(kWatchdogSeconds)};
    if (!limits.user.empty()) probe.argv.insert(probe.argv.end(), {"--user", limits.user});
    if (limits.fileSizeBytes >= 0) probe.argv.insert(probe.argv.end(), {"--fsize", std::to_string(limits.fileSizeBytes)});
    if (limits.addressSpaceBytes >= 0)
        probe.argv.insert(probe.argv.end(), {"--as", std::to_string(limits.addressSpaceBytes)});
    if (limits.stackBytes >= 0) probe.argv.insert(probe.argv.end(), {"--stack", std::to_string(limits.stackBytes)});
    probe.argv.push_back("--");
    probe.argv.insert(probe.argv.end(), command.argv.begin(), command.argv.end());

    const Exit probed = run(probe, std::chrono::seconds(kWatchdogSeconds + 60));
    if (probed.exitCode != 0)
        throw std::runtime_error("rss_probe failed for " + command.argv.front() + ": " + probed.err);
    MeasuredExit result;
    static_cast<Exit&>(result) = probed;
    const Bytes line = readFile(report);
    int timedOut = 0;
    if (std::sscanf(std::string(line.begin(), line.end()).c_str(), "exit=%d signal=%d peak_rss_kb=%ld timed_out=%d",
                    &result.exitCode, &result.signal, &result.peakRssKb, &timedOut) != 4)
        throw std::runtime_error("rss_probe wrote no report for " + command.argv.front());
    result.timedOut = timedOut != 0;
    result.couldNotStart = result.exitCode == 127 && result.err.find("rss_probe: cannot run") != std::string::npos;
    return result;
}

bool runningAsRoot() { return geteuid() == 0; }

}  // namespace testsupport
