// Runs the fuzz target on saved inputs without libFuzzer, so that the corpus
// and the regression files are ordinary tests under any compiler:
//   fuzz_replay [--seeds] PATH...
// --seeds runs the built-in seed files (the valid and hostile files of the
// robustness tests, BMP or, for the picture targets, PNG and JPEG); each PATH is a file, or a folder whose regular files
// are all run.
// Exit code 0 when every input went through; the target aborts otherwise.
#include "bmp_cases.h"
#ifdef CR_FUZZ_PICTURE_SEEDS
#include "picture_cases.h"
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

bool runFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "fuzz_replay: cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int ran = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--seeds") {
#ifdef CR_FUZZ_PICTURE_SEEDS
            const auto seeds = {hostile::validPictureFiles(), hostile::hostilePictureFiles()};
#else
            const auto seeds = {hostile::validFiles(), hostile::hostileFiles()};
#endif
            for (const auto& files : seeds) {
                for (const auto& file : files) {
                    LLVMFuzzerTestOneInput(file.bytes.data(), file.bytes.size());
                    ++ran;
                }
            }
            continue;
        }
        const fs::path root(argv[i]);
        if (fs::is_directory(root)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                ok = runFile(file) && ok;
                ++ran;
            }
        } else {
            ok = runFile(root) && ok;
            ++ran;
        }
    }
    std::printf("fuzz_replay: %d inputs run\n", ran);
    return ok && ran > 0 ? 0 : 1;
}
