// reduceview IN.bmp: loads the file, reduces it to at most 256 colours while
// the viewer window is being created (the statistics go to standard output),
// and shows the result until the window is closed.
#include "command_line.h"
#include "load_failure.h"
#include "load_image.h"
#include "my_win.h"

#include <cstdio>
#include <optional>

int main(int argc, char** argv) {
    if (const std::optional<int> answered = answerStandardOptions(reduceviewSynopsis, argc, argv)) return *answered;
    if (argc <= 1) return 1;
    dib24 image;
    LoadStatus loadStatus;
    if (!loadImage(image, argv[1], loadStatus)) {
        std::printf("Cannot load input file : %s\n", argv[1]);
        reportLoadFailure("reduceview", argv[1], loadStatus);
        return 1;
    }
    {
        // Destroyed before the image, which it shows for as long as its window exists.
        MyWin window;
        window.open(&image);
        window.RunModalLoop(false);
    }
    return 0;
}
