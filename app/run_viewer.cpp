#include "run_viewer.h"

#include "command_line.h"
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
    try {
        dib24 image;
        LoadStatus loadStatus;
        if (!loadImage(image, input, loadStatus)) {
            std::printf("Cannot load input file : %s\n", input);
            reportLoadFailure("reduceview", input, loadStatus);
            return 1;
        }
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
            if (line.verbose) printQuality(original.view(), image, window.palette);
            window.RunModalLoop(false);
        }
        return 0;
    } catch (...) {
        reportFailure("reduceview", input, std::current_exception());
        return 1;
    }
}
