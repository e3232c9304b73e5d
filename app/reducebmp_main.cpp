// reducebmp IN.bmp OUT.bmp: the viewer's load and reduction pass, with the
// same lines on standard output, writing the reduced image as an 8-bit
// indexed BMP instead of showing it. For scripts and machines without a display.
#include "load_image.h"
#include "output_file.h"
#include "process.h"
#include "text_sink.h"
#include "write_indexed_bmp.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: reducebmp IN.bmp OUT.bmp\n");
        return 2;
    }
    dib24 image;
    if (!loadImage(image, argv[1])) {
        std::printf("Cannot load input file : %s\n", argv[1]);
        return 1;
    }
    // Opened before the pass so that an unwritable destination costs no work.
    OutputFile output(argv[2]);
    if (!output.open()) {
        std::fprintf(stderr, "reducebmp: %s\n", output.error().c_str());
        return 1;
    }
    FileSink out(stdout);
    const Palette palette = reduceImage(image.view(), out);
    std::fflush(stdout);

    const bool written = writeIndexedBmp(image.view(), palette, image.bmi.bmiHeader.biXPelsPerMeter,
                                         [&](const std::uint8_t* data, std::size_t size) {
                                             return output.write(data, size);
                                         });
    if (!written || !output.commit()) {
        const std::string why = output.error().empty() ? "cannot write " + std::string(argv[2]) : output.error();
        std::fprintf(stderr, "reducebmp: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
