// reference_reducebmp IN.bmp OUT.bmp: the batch converter's load and write
// around the plain reference pass of the test tree, so that the comparison
// script can time both on the same files, whole process against whole process.
#include "load_image.h"
#include "output_file.h"
#include "reference_pass.h"
#include "text_sink.h"
#include "write_indexed_bmp.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: reference_reducebmp IN.bmp OUT.bmp\n");
        return 2;
    }
    dib24 image;
    if (!loadImage(image, argv[1])) {
        std::printf("Cannot load input file : %s\n", argv[1]);
        return 1;
    }
    OutputFile output(argv[2]);
    if (!output.open()) {
        std::fprintf(stderr, "reference_reducebmp: %s\n", output.error().c_str());
        return 1;
    }
    FileSink out(stdout);
    const Palette palette = reference::reduceImage(image.view(), out);
    std::fflush(stdout);
    const bool written = writeIndexedBmp(image.view(), palette, image.bmi.bmiHeader.biXPelsPerMeter,
                                         [&](const std::uint8_t* data, std::size_t size) {
                                             return output.write(data, size);
                                         });
    if (!written || !output.commit()) {
        const std::string why = output.error().empty() ? "cannot write " + std::string(argv[2]) : output.error();
        std::fprintf(stderr, "reference_reducebmp: %s\n", why.c_str());
        return 1;
    }
    return 0;
}
