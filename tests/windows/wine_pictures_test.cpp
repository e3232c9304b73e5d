// The Windows build's PNG and JPEG reading and PNG writing (WIC), under Wine,
// against this Linux build (libpng, libjpeg-turbo), on files made with
// libpng and libjpeg: every PNG gives the same pixels, resolution and
// transparency note; every greyscale JPEG the same pixels and every colour
// JPEG the same within a tolerance (the systems' upsampling and colour
// conversion differ); every refusal the same reason, except that a damaged
// file is described in each decoder's own words (and damaged JPEG scan data
// is not seen by WIC); every prefix is refused as cut short. The converter's indexed
// PNG holds the palette and pixels of its BMP, at the smallest bit depth.
//
// Run by scripts/test-phases/40-windows.sh (CR_WINDOWS_BUILD, CR_WINE).
#include "child_process.h"
#include "dib24.h"
#include "picture_cases.h"
#include "picture_files.h"
#include "pictures.h"
#include "read_picture.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

fs::path windowsBuild() { return envOr("CR_WINDOWS_BUILD", ""); }

Command wineCommand(const std::string& program, const std::vector<std::string>& args, const fs::path& folder) {
    std::vector<std::string> argv{envOr("CR_WINE", "wine"), (windowsBuild() / program).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    Command command(argv);
    command.workingFolder = folder.string();
    command.ownProcessGroup = true;
    return command;
}

Exit underWine(const std::string& program, const std::vector<std::string>& args, const fs::path& folder) {
    return run(wineCommand(program, args, folder), std::chrono::minutes(2));
}

struct LinuxRead {
    bool loaded;
    Picture picture;
    std::int32_t resolution;
    bool overWhite;
};

LinuxRead readHere(const Bytes& bytes) {
    dib24 image;
    image.create(1, 1, 0);
    FilePtr file = openBytes(bytes);
    PictureReadStatus status;
    const bool loaded = readPicture(image, file.get(), status);
    return {loaded, pictureOf(image.view()), image.resolution, status.shownOverWhite};
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string textOf(const fs::path& path) {
    const Bytes bytes = readFile(path.string());
    return std::string(bytes.begin(), bytes.end());
}

// Text from a Windows program's standard error, which ends its lines in CR LF.
std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

class WinePictures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(windowsBuild().empty()) << "CR_WINDOWS_BUILD names the MinGW build tree";
    }
    void TearDown() override {
        if (HasFailure()) {
            folder.keep();
            std::printf("the test's files are kept in %s\n", folder.path().c_str());
        }
    }
    TempDir folder;
    const fs::path dir = folder.path();
};

}  // namespace

TEST_F(WinePictures, TheSystemsDecodersGiveTheSamePicturesAndReasons) {
    const auto valid = hostile::validPictureFiles();
    const auto refused = hostile::hostilePictureFiles();
    for (const auto& files : {valid, refused}) {
        for (const auto& file : files) writeFile((dir / file.name).string(), file.bytes);
    }
    const Exit probe = underWine("tests/windows/picture_probe.exe", {dir.string()}, dir);
    ASSERT_EQ(probe.exitCode, 0) << probe.err;

    for (const auto& file : valid) {
        SCOPED_TRACE(file.name);
        const std::string result = textOf(dir / (file.name + ".result"));
        const LinuxRead here = readHere(file.bytes);
        ASSERT_TRUE(here.loaded);
        std::ostringstream expected;
        expected << "loaded " << here.picture.width << " " << here.picture.height << " " << here.resolution << " "
                 << (here.overWhite ? 1 : 0);
        ASSERT_EQ(firstLine(result), expected.str()) << result;
        EXPECT_NE(result.find("prefix faults 0\n"), std::string::npos) << result;
        const Bytes pixels = readFile((dir / (file.name + ".pixels")).string());
        ASSERT_EQ(pixels.size(), here.picture.pixels.size() * 3);
        long total = 0;
        for (std::size_t k = 0; k < here.picture.pixels.size(); ++k) {
            const Bgr& p = here.picture.pixels[k];
            total += std::abs(p.b - pixels[3 * k]) + std::abs(p.g - pixels[3 * k + 1]) + std::abs(p.r - pixels[3 * k + 2]);
        }
        const double mean = static_cast<double>(total) / static_cast<double>(pixels.size());
        const bool colourJpeg = file.name.rfind("jpeg", 0) == 0 && file.name.find("grey") == std::string::npos;
        if (colourJpeg) {
            // Wine's decoder upsamples and converts colour its own way: the
            // same on flat areas, a few levels on gradients, up to tens of
            // levels at sharp colour edges (these pictures are full of them:
            // a mean of about 6). A channel or row order gone wrong is far more.
            EXPECT_LE(mean, 8.0) << "levels apart on average";
        } else {
            EXPECT_EQ(total, 0) << "levels apart on average: " << mean;
        }
    }
    for (const auto& file : refused) {
        SCOPED_TRACE(file.name);
        const std::string result = firstLine(textOf(dir / (file.name + ".result")));
        if (file.name == "jpeg-damaged-huffman.jpg") {
            // Damage inside the entropy-coded data is seen by libjpeg alone;
            // WIC under Wine fills the picture in. Said in the log, not failed.
            std::printf("%s under Wine: %s\n", file.name.c_str(), result.c_str());
        } else if (hostile::isDamagedCase(file)) {
            EXPECT_EQ(result.rfind("refused ", 0), 0u) << result;
        } else {
            EXPECT_EQ(result, "refused " + file.reason);
        }
    }
}

TEST_F(WinePictures, TheConvertersIndexedPngHoldsThePaletteAndPixelsOfItsBmp) {
    const std::vector<std::pair<std::string, Picture>> inputs = {
        {"card", testCard(45, 29, 4)}, {"two", fewColors(9, 7, 2, 1)}, {"three", fewColors(8, 3, 3, 2)},
        {"eleven", fewColors(13, 5, 11, 3)}};
    for (const auto& [name, picture] : inputs) {
        SCOPED_TRACE(name);
        writeFile((dir / (name + ".png")).string(), pngOfPicture(picture, 3780));
        const Exit toBmp = underWine("app/reducebmp.exe", {name + ".png", name + "-out.bmp"}, dir);
        const Exit toPng = underWine("app/reducebmp.exe", {name + ".png", name + "-out.png"}, dir);
        ASSERT_EQ(toBmp.exitCode, 0) << toBmp.err;
        ASSERT_EQ(toPng.exitCode, 0) << toPng.err;
        // The BMP is the Linux build's, byte for byte.
        const Exit linux = run({REDUCEBMP_PATH, (dir / (name + ".png")).string(), (dir / (name + "-linux.bmp")).string()});
        ASSERT_EQ(linux.exitCode, 0);
        const Bytes bmp = readFile((dir / (name + "-out.bmp")).string());
        EXPECT_EQ(bmp, readFile((dir / (name + "-linux.bmp")).string()));

        const IndexedPng png = readIndexedPng(readFile((dir / (name + "-out.png")).string()));
        ASSERT_TRUE(png.ok);
        const std::uint32_t count = getU32(bmp, 46);
        ASSERT_EQ(png.palette.size(), count);
        EXPECT_EQ(png.bitDepth, count <= 2 ? 1 : count <= 4 ? 2 : count <= 16 ? 4 : 8);
        for (std::uint32_t k = 0; k < count; ++k) {
            EXPECT_EQ(png.palette[k], (Bgr{bmp[54 + 4 * k], bmp[55 + 4 * k], bmp[56 + 4 * k]})) << k;
        }
        const std::int32_t rowBytes = (png.width + 3) / 4 * 4;
        const std::uint32_t offBits = getU32(bmp, 10);
        for (std::int32_t y = 0; y < png.height; ++y) {
            for (std::int32_t x = 0; x < png.width; ++x) {
                ASSERT_EQ(png.indices[static_cast<std::size_t>(y) * png.width + x],
                          bmp[offBits + static_cast<std::size_t>(png.height - 1 - y) * rowBytes + x])
                    << x << "," << y;
            }
        }
        EXPECT_TRUE(png.hasPhys);
        EXPECT_EQ(png.pelsPerMetreX, 3780u);
        EXPECT_FALSE(png.hasGamma);
    }
}

// Standard input is told by its content on Windows too, through a pipe, and
// -v names the picture as on Linux; "-" as the output is a BMP, and an
// output named for neither format is refused alike.
TEST_F(WinePictures, TheConverterReadsAPngFromAPipeAndNamesItLikeLinux) {
    const Bytes png = pngOfPicture(testCard(37, 23, 3), 3780);
    writeFile((dir / "card.png").string(), png);
    const Exit linux = run({REDUCEBMP_PATH, "-v", (dir / "card.png").string(), (dir / "linux.bmp").string()});
    ASSERT_EQ(linux.exitCode, 0) << linux.err;

    Command piped = wineCommand("app/reducebmp.exe", {"-v", "-", "-"}, dir);
    piped.in = Stream::text(std::string(png.begin(), png.end()));
    const Exit streamed = run(piped, std::chrono::minutes(2));
    ASSERT_EQ(streamed.exitCode, 0) << streamed.err;
    EXPECT_TRUE(Bytes(streamed.out.begin(), streamed.out.end()) == readFile((dir / "linux.bmp").string()));
    const std::string err = withoutCarriageReturns(streamed.err);
    // The statistics, then -v's lines; the input line as on Linux.
    ASSERT_EQ(err.rfind(linux.out, 0), 0u) << err;
    const std::string inputLine = firstLine(linux.err);
    EXPECT_EQ(inputLine, "input: PNG, RGB, 8 bits per sample, 37 x 23 pixels");
    EXPECT_EQ(firstLine(err.substr(linux.out.size())), inputLine);

    // An output named for neither format: the same two lines, exit 2.
    const Exit wrongOnLinux = run({REDUCEBMP_PATH, "card.png", "x.gif"});
    const Exit wrong = underWine("app/reducebmp.exe", {"card.png", "x.gif"}, dir);
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(withoutCarriageReturns(wrong.err), wrongOnLinux.err);
}
