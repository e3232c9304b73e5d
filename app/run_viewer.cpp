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

// --verbose: the picture as loaded, to tell once the pass has run how close
// the reduced picture is to it.
class QualityReport {
public:
    void keepOriginal(const dib24& image) {
        if (!original_.take(image.view()))
            std::fputs("reduceview: not enough memory for the quality figures\n", stderr);
    }
    // After the pass, which the window runs while it is created.
    void print(const dib24& image, const Palette& palette) const {
        if (palette.count == 0 || original_.view().pixels == nullptr) return;  // no pass, or no copy
        std::fflush(stdout);
        std::fputs(formatQuality(measureQuality(original_.view(), image.view(), palette)).c_str(), stderr);
    }

private:
    PictureCopy original_;
};

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
        reportLoadNotes("reduceview", input, loadStatus);
        std::optional<QualityReport> quality;
        if (line.verbose) quality.emplace().keepOriginal(image);
        {
            // Destroyed before the image, which it shows for as long as its window exists.
            MyWin window;
            window.open(&image);
            if (window.failure) {
                reportFailure("reduceview", input, window.failure);
                return 1;
            }
            if (quality) quality->print(image, window.palette);
            window.RunModalLoop(false);
        }
        return 0;
    } catch (...) {
        reportFailure("reduceview", input, std::current_exception());
        return 1;
    }
}
