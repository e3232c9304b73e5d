// Writes the seed corpus of the fuzz target into a folder: the valid files
// of every depth and kind, and the hostile files of the robustness tests.
//   make_fuzz_seeds OUTDIR
#include "bmp_cases.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::filesystem::create_directories(out);
    int written = 0;
    for (const auto& files : {hostile::validFiles(), hostile::hostileFiles()}) {
        for (const auto& file : files) {
            testsupport::writeFile((out / (file.name + ".bmp")).string(), file.bytes);
            ++written;
        }
    }
    std::printf("make_fuzz_seeds: %d files in %s\n", written, out.c_str());
    return 0;
}
