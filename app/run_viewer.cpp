#include "run_viewer.h"

#include "command_line.h"
#include "ending_signals.h"
#include "failure_report.h"
#include "load_failure.h"
#include "load_image.h"
#include "my_win.h"
#include "picture_copy.h"
#include "quality.h"

#include <cstdio>
#include <optional>

namespace {

// --verbose: how close the reduced picture is to the original, once the
// pass has run (the window runs it while it is created).
void printQuality(const ImageView& original, const dib24& image, const Palette& palette) {
    if (palette.count == 0 || original.empty()) return;  // no pass, or no copy
    std::fflush(stdout);
    std::fputs(formatQuality(measureQuality(original, image.view(), palette)).c_str(), stderr);
}

}  // namespace

// Memory can also run short outside the pass (the window, the display):
// every failure is reported with one line and exit code 1, never an abort.
int runViewer(int argc, char** argv) {
    CommandLine line;
    if (const std::optional<int> done = parseCommandLine(kReduceviewSynopsis, argc, argv, line)) return *done;
    const char* const input = line.paths[0].c_str();
    // Before the display is opened: a display that hangs up makes Xlib's next
    // write to it fail, which the window layer takes as the display lost
    // (one line, the window closed, exit code 0), where SIGPIPE would end the
    // viewer. A standard output whose reader has gone fails in the same way:
    // the statistics are then reported lost, below.
    failWritesToClosedPipes();
    try {
        dib24 image;
        LoadStatus loadStatus;
        if (!loadImage(image, input, loadStatus)) {
            std::printf("Cannot load input file : %s\n", input);
            reportLoadFailure("reduceview", input, loadStatus);
            return 1;
        }
        reportLoadNotes("reduceview", input, loadStatus);
        // The picture as loaded, before the pass rewrites it: what Space and
        // the difference compare the reduced picture with, and what
        // --verbose measures it against. One copy serves them all; without
        // the memory for it the viewer still shows the reduced picture.
        PictureCopy original;
        if (!original.take(image.view()))
            std::fprintf(stderr, "reduceview: not enough memory to keep the original of %s; %s\n", input,
                         line.verbose ? "the comparison with it and the quality figures are off"
                                      : "the comparison with it is off");
        {
            // Destroyed before the image and the copy, which it shows for as long as its window exists.
            MyWin window;
            window.open(&image, original.view());
            if (window.failure) {
                reportFailure("reduceview", input, window.failure);
                return 1;
            }
            // The pass has printed and flushed the statistics. Lost ones are said
            // now; the picture still shows, and the run fails once the window
            // is closed, as in the batch converter: a script must learn that
            // they are missing.
            const bool statisticsLost = std::ferror(stdout) != 0;
            if (statisticsLost) std::fputs("reduceview: cannot write the statistics to standard output\n", stderr);
            if (line.verbose) printQuality(original.view(), image, window.palette);
            window.RunModalLoop(false);
            if (statisticsLost) return 1;
        }
        return 0;
    } catch (...) {
        reportFailure("reduceview", input, std::current_exception());
        return 1;
    }
}
