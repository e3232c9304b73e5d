// reducebmp IN OUT.bmp or OUT.png: the viewer's load and reduction pass, with
// the same lines on standard output, writing the reduced image as an 8-bit
// indexed BMP or an indexed PNG instead of showing it. For scripts and
// machines without a display.
#include "command_line.h"
#include "ending_signals.h"
#include "failure_report.h"
#include "load_failure.h"
#include "load_image.h"
#include "output_file.h"
#include "output_format.h"
#include "process.h"
#include "text_sink.h"

#include <cstdio>
#include <exception>
#include <optional>

namespace {

int run(const char* input, const char* outputPath, OutputFormat format) {
    dib24 image;
    LoadStatus loadStatus;
    if (!loadImage(image, input, loadStatus)) {
        std::printf("Cannot load input file : %s\n", input);
        reportLoadFailure("reducebmp", input, loadStatus);
        return 1;
    }
    reportLoadNotes("reducebmp", input, loadStatus);
    // Opened before the pass so that an unwritable destination costs no work.
    OutputFile output(outputPath);
    if (!output.open()) {
        std::fprintf(stderr, "reducebmp: %s\n", output.error().c_str());
        return 1;
    }
    FileSink out(stdout);
    const Palette palette = reduceImage(image.view(), out);
    std::fflush(stdout);

    const bool written = writeReducedImage(format, image.view(), palette, image.bmi.bmiHeader.biXPelsPerMeter,
                                           [&](const std::uint8_t* data, std::size_t size) {
                                               return output.write(data, size);
                                           });
    if (!written || !output.commit()) {
        const std::string why = output.error().empty() ? "cannot write " + std::string(outputPath) : output.error();
        std::fprintf(stderr, "reducebmp: %s\n", why.c_str());
        return 1;
    }
    // The statistics are part of the result: a script must learn that they were lost.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "reducebmp: cannot write the statistics to standard output\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::optional<int> answered = answerStandardOptions(kReducebmpSynopsis, argc, argv)) return *answered;
    if (argc != 3) {
        printUsage(kReducebmpSynopsis, stderr);
        return 2;
    }
    const std::optional<OutputFormat> format = outputFormatOf(argv[2]);
    if (!format) {
        std::fprintf(stderr, "reducebmp: %s\n", unknownOutputFormatMessage(argv[2]).c_str());
        return 2;
    }
    handleEndingSignals();
    // A picture the reader accepts can still need more memory than the
    // machine has (the pass keeps two rows of doubles as wide as the image).
    // Caught here so that the output's temporary file is removed on the way
    // out and the failure is reported like the others.
    try {
        return run(argv[1], argv[2], *format);
    } catch (...) {
        reportFailure("reducebmp", argv[1], std::current_exception());
        return 1;
    }
}
