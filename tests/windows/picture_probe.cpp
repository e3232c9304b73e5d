// Reads every file of a folder as the Windows programs do (the system's WIC
// decoders behind the shared reader) and writes what it got beside each, for
// wine_pictures_test to compare with the Linux build:
//   NAME.result  "loaded WIDTH HEIGHT RESOLUTION OVERWHITE" or "refused REASON",
//                then "prefix faults N" (prefixes of a loaded file that were
//                not refused as cut short) and the first few of them
//   NAME.pixels  the loaded picture as blue, green, red bytes, top row first
//   picture_probe FOLDER
#include "dib24.h"
#include "load_failure.h"
#include "read_picture.h"

#include <io.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Read {
    bool loaded;
    std::string reason;
    PictureReadStatus status;
};

Read readStream(std::FILE* file, dib24& image) {
    LoadStatus status;
    status.opened = true;
    const bool loaded = readPicture(image, file, status.read);
    return {loaded, loaded ? std::string() : loadFailureReason(status), status.read};
}

// Every proper prefix, from one file cut shorter in place.
std::vector<std::string> prefixFaults(const std::vector<char>& bytes) {
    std::vector<std::string> faults;
    std::FILE* file = std::tmpfile();
    if (!file) return {"no temporary file"};
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    for (std::size_t length = bytes.size(); length-- > 0;) {
        std::fflush(file);
        _chsize_s(_fileno(file), static_cast<long long>(length));
        std::rewind(file);
        dib24 image;
        image.create(1, 1, 0);
        const std::uint8_t* start = image.pixels;
        LoadStatus status;
        status.opened = true;
        const bool loaded = readPicture(image, file, status.read);
        const std::string reason = loaded ? std::string() : loadFailureReason(status);
        const bool fine = !loaded && image.pixels == start &&
                          (length == 0 ? reason == "the file is empty" : reason.find("cut short") != std::string::npos);
        if (!fine) faults.push_back(std::to_string(length) + (loaded ? " loaded" : " " + reason));
    }
    std::fclose(file);
    return faults;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_probe FOLDER\n");
        return 2;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(argv[1])) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && ext != ".result" && ext != ".pixels") files.push_back(entry.path());
    }
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        dib24 image;
        image.create(1, 1, 0);
        std::FILE* file = _wfopen(path.wstring().c_str(), L"rb");
        const Read read = file ? readStream(file, image) : Read{false, "cannot open", {}};
        if (file) std::fclose(file);
        std::ofstream result(path.string() + ".result", std::ios::binary);
        if (!read.loaded) {
            result << "refused " << read.reason << "\n";
            continue;
        }
        result << "loaded " << image.width << " " << image.height << " " << image.resolution << " "
               << (read.status.shownOverWhite ? 1 : 0) << "\n";
        std::ofstream pixels(path.string() + ".pixels", std::ios::binary);
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* row = image.pixels + static_cast<std::int64_t>(image.height - 1 - y) * image.stride;
            pixels.write(reinterpret_cast<const char*>(row), 3 * static_cast<std::streamsize>(image.width));
        }
        const std::vector<std::string> faults = prefixFaults(bytes);
        result << "prefix faults " << faults.size() << "\n";
        for (std::size_t k = 0; k < faults.size() && k < 5; ++k) result << faults[k] << "\n";
    }
    return 0;
}
