#include "run_viewer.h"

#include "command_line.h"
#include "failure_report.h"
#include "load_failure.h"
#include "load_image.h"
#include "my_win.h"

#include <cstdio>
#include <optional>

// Memory can also run short outside the pass (the window, the display):
// every failure is reported with one line and exit code 1, never an abort.
int runViewer(int argc, char** argv) try {
    if (const std::optional<int> answered = answerStandardOptions(kReduceviewSynopsis, argc, argv)) return *answered;
    if (argc <= 1) return 1;
    dib24 image;
    LoadStatus loadStatus;
    if (!loadImage(image, argv[1], loadStatus)) {
        std::printf("Cannot load input file : %s\n", argv[1]);
        reportLoadFailure("reduceview", argv[1], loadStatus);
        return 1;
    }
    reportLoadNotes("reduceview", argv[1], loadStatus);
    {
        // Destroyed before the image, which it shows for as long as its window exists.
        MyWin window;
        window.open(&image);
        if (window.failure) {
            reportFailure("reduceview", argv[1], window.failure);
            return 1;
        }
        window.RunModalLoop(false);
    }
    return 0;
} catch (...) {
    reportFailure("reduceview", argv[1], std::current_exception());
    return 1;
}
