// Writes the seed corpora of the fuzz targets into a folder: the valid files
// of every depth and kind, and the hostile files of the robustness tests,
// in OUTDIR/bmp, OUTDIR/png and OUTDIR/jpeg.
//   make_fuzz_seeds OUTDIR
#include "bmp_cases.h"
#include "picture_cases.h"

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    for (const char* kind : {"bmp", "png", "jpeg"}) std::filesystem::create_directories(out / kind);
    int written = 0;
    for (const auto& files : {hostile::validFiles(), hostile::hostileFiles()}) {
        for (const auto& file : files) {
            testsupport::writeFile((out / "bmp" / (file.name + ".bmp")).string(), file.bytes);
            ++written;
        }
    }
    for (const auto& files : {hostile::validPictureFiles(), hostile::hostilePictureFiles()}) {
        for (const auto& file : files) {
            const bool png = file.name.rfind("png", 0) == 0;
            const bool jpeg = file.name.rfind("jpeg", 0) == 0;
            if (!png && !jpeg) continue;
            testsupport::writeFile((out / (png ? "png" : "jpeg") / file.name).string(), file.bytes);
            ++written;
        }
    }
    std::printf("make_fuzz_seeds: %d files in %s\n", written, out.c_str());
    return 0;
}
