// The converter on PNG and JPEG input and with PNG output: a PNG gives the
// statistics and the output bytes of the same pixels saved as a 24-bit BMP,
// the indexed PNG it writes holds the palette and pixels of its indexed BMP,
// the output's extension chooses the format (others are refused before any
// work), and transparency is said to be shown over white; PNG and JPEG
// through standard input, -v's line on the input, and -q, which leaves
// the note on transparency.
#include "converter_support.h"
#include "picture_files.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;
using namespace converter;
namespace fs = std::filesystem;

namespace {

class ReducebmpPictures : public Reducebmp {};

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The BMP's pixels as a picture: its palette applied to its indices.
Picture indexedBmpPicture(const Bytes& bmp, std::vector<Bgr>& palette) {
    const std::uint32_t offBits = getU32(bmp, 10);
    const auto width = static_cast<std::int32_t>(getU32(bmp, 18));
    const auto height = static_cast<std::int32_t>(getU32(bmp, 22));
    const std::uint32_t count = getU32(bmp, 46);
    palette.clear();
    for (std::uint32_t k = 0; k < count; ++k) palette.push_back({bmp[54 + 4 * k], bmp[55 + 4 * k], bmp[56 + 4 * k]});
    Picture picture(width, height);
    const std::int32_t rowBytes = (width + 3) / 4 * 4;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            picture.at(x, y) = palette.at(bmp[offBits + static_cast<std::size_t>(height - 1 - y) * rowBytes + x]);
        }
    }
    return picture;
}

}  // namespace

TEST_F(ReducebmpPictures, APngGivesTheStatisticsAndBytesOfTheSamePixelsAsABmp) {
    const Picture card = testCard(61, 37, 9);
    writeFile(path("card.png"), pngOfPicture(card, 3780));
    writeFile(path("card.bmp"), bmp24(card, 3780));
    // Named .bmp, the PNG is still read as a PNG: the content decides.
    writeFile(path("really-a-png.bmp"), pngOfPicture(card, 3780));
    const Exit fromBmp = run({path("card.bmp"), path("from-bmp.bmp")});
    const Exit fromPng = run({path("card.png"), path("from-png.bmp")});
    const Exit misnamed = run({path("really-a-png.bmp"), path("misnamed.bmp")});
    ASSERT_EQ(fromBmp.exitCode, 0) << fromBmp.err;
    ASSERT_EQ(fromPng.exitCode, 0) << fromPng.err;
    ASSERT_EQ(misnamed.exitCode, 0) << misnamed.err;
    EXPECT_EQ(fromPng.out, fromBmp.out);
    EXPECT_EQ(fromPng.err, "");
    EXPECT_EQ(readFile(path("from-png.bmp")), readFile(path("from-bmp.bmp")));
    EXPECT_EQ(readFile(path("misnamed.bmp")), readFile(path("from-bmp.bmp")));
}

TEST_F(ReducebmpPictures, ThePngOutputHoldsThePaletteAndPixelsOfTheBmpOutput) {
    const std::vector<std::pair<std::string, Picture>> inputs = {
        {"card", testCard(45, 29, 4)}, {"two", fewColors(9, 7, 2, 1)}, {"three", fewColors(8, 3, 3, 2)},
        {"eleven", fewColors(13, 5, 11, 3)}, {"one", Picture(5, 4, rgb(1, 2, 3))}};
    for (const auto& [name, picture] : inputs) {
        SCOPED_TRACE(name);
        writeFile(path(name + ".bmp"), bmp24(picture, 11811));
        const Exit toBmp = run({path(name + ".bmp"), path(name + "-out.bmp")});
        // Any case of the extension.
        const Exit toPng = run({path(name + ".bmp"), path(name + "-out.PnG")});
        ASSERT_EQ(toBmp.exitCode, 0) << toBmp.err;
        ASSERT_EQ(toPng.exitCode, 0) << toPng.err;
        EXPECT_EQ(toPng.out, toBmp.out);
        std::vector<Bgr> bmpPalette;
        const Picture bmpPixels = indexedBmpPicture(readFile(path(name + "-out.bmp")), bmpPalette);
        const IndexedPng png = readIndexedPng(readFile(path(name + "-out.PnG")));
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.palette, bmpPalette);
        const int count = static_cast<int>(bmpPalette.size());
        EXPECT_EQ(png.bitDepth, count <= 2 ? 1 : count <= 4 ? 2 : count <= 16 ? 4 : 8);
        Picture pngPixels(png.width, png.height);
        for (std::size_t i = 0; i < pngPixels.pixels.size(); ++i) pngPixels.pixels[i] = png.palette.at(png.indices[i]);
        EXPECT_EQ(pngPixels, bmpPixels);
        EXPECT_TRUE(png.hasPhys);
        EXPECT_EQ(png.pelsPerMetreX, 11811u);
        EXPECT_FALSE(png.hasGamma);
    }
}

TEST_F(ReducebmpPictures, AnOutputNamedForNeitherFormatIsRefusedBeforeAnyWork) {
    writeFile(path("in.bmp"), bmp24(testCard(8, 8)));
    for (const std::string name : {"x.gif", "x.jpg", "x.", "x.bmp.tmp"}) {
        const Exit r = run({path("in.bmp"), path(name)});
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_EQ(r.err, "reducebmp: cannot tell the output format from \"" + path(name) +
                             "\"; name it .bmp or .png\nTry 'reducebmp --help' for more information.\n");
    }
    // Refused before the input is even opened, and before the output is
    // compared with it: a wrong name is a wrong argument.
    const Exit missing = run({path("missing.bmp"), path("x.gif")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.bmp"});
    fs::create_symlink(path("in.bmp"), path("in.gif"));
    const Exit itself = run({path("in.bmp"), path("in.gif")});
    EXPECT_EQ(itself.exitCode, 2) << itself.err;
    EXPECT_NE(itself.err.find("cannot tell the output format"), std::string::npos) << itself.err;
    fs::remove(path("in.gif"));
    // A name without an extension is a BMP, as before there was a choice.
    ASSERT_EQ(run({path("in.bmp"), path("plain")}).exitCode, 0);
    EXPECT_EQ(readFile(path("plain"))[0], 'B');
}

TEST_F(ReducebmpPictures, TransparencyIsShownOverWhiteAndSaidSo) {
    PngRecipe s;
    s.width = 4;
    s.height = 2;
    s.colorType = 6;
    s.bitDepth = 8;
    s.samples = {255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 128, 1, 2, 3, 255,
                 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 128, 1, 2, 3, 255};
    writeFile(path("clear.png"), pngFile(s));
    const Exit r = run({path("clear.png"), path("out.png")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "reducebmp: " + path("clear.png") + ": the picture's transparency is shown over white\n");
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "color count: 4");

    // The note is on standard error, which -q leaves alone.
    const Exit quiet = run({"-q", path("clear.png"), path("quiet.png")});
    ASSERT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, r.err);
}

// Standard input is told by its content like a file, through a pipe too,
// and "-" as the output, which has no extension, is a BMP.
TEST_F(ReducebmpPictures, PngAndJpegStreamsAreReadFromStandardInput) {
    const Bytes png = pngOfPicture(testCard(29, 17, 5), 3780);
    const Bytes jpeg = jpegFile(testCard(29, 17, 5), JpegRecipe{true});
    for (const auto& [name, file] : {std::pair<std::string, Bytes>{"in.png", png}, {"in.jpg", jpeg}}) {
        SCOPED_TRACE(name);
        writeFile(path(name), file);
        const Exit fromFile = run({path(name), path(name + ".bmp")});
        ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
        Command piped = command({"-", "-"});
        piped.in = Stream::text(textOf(file));
        const Exit streamed = run(piped);
        EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
        EXPECT_EQ(streamed.out, textOf(readFile(path(name + ".bmp"))));
        EXPECT_EQ(streamed.err, fromFile.out);
    }
}

TEST_F(ReducebmpPictures, VerboseNamesTheKindOfPngAndJpegInput) {
    const std::vector<std::pair<Bytes, std::string>> inputs = {
        {pngFile(rampPng(6, 16, false, 9, 4)), "PNG, RGBA, 16 bits per sample, 9 x 4 pixels"},
        {pngFile(rampPng(3, 4, true, 7, 5)), "PNG, palette, 4 bits per index, 7 x 5 pixels"},
        {pngFile(rampPng(0, 2, false, 6, 3)), "PNG, greyscale, 2 bits per sample, 6 x 3 pixels"},
        {jpegFile(testCard(12, 10), JpegRecipe{true}), "JPEG, greyscale (1 component), 12 x 10 pixels"},
        {jpegFile(testCard(12, 10)), "JPEG, colour (3 components), 12 x 10 pixels"},
        {bmp24(testCard(5, 3)), "BMP, 24 bits per pixel, 5 x 3 pixels"}};
    for (const auto& [file, kind] : inputs) {
        SCOPED_TRACE(kind);
        writeFile(path("in"), file);
        const Exit plain = run({path("in"), path("plain.png")});
        const Exit verbose = run({"-v", path("in"), path("out.png")});
        ASSERT_EQ(verbose.exitCode, 0) << verbose.err;
        EXPECT_EQ(verbose.out, plain.out);
        const std::string err = "\n" + verbose.err;
        const std::size_t line = err.find("\ninput: ") + 1;
        ASSERT_NE(line, 0u) << verbose.err;
        EXPECT_EQ(err.substr(line, err.find('\n', line) - line), "input: " + kind);
    }
}

TEST_F(ReducebmpPictures, AJpegIsReducedAsTheDecodedPicture) {
    const Bytes jpeg = jpegFile(testCard(33, 21));
    writeFile(path("photo.jpg"), jpeg);
    writeFile(path("decoded.bmp"), bmp24(libjpegPicture(jpeg), 2835));
    const Exit fromJpeg = run({path("photo.jpg"), path("a.bmp")});
    const Exit fromBmp = run({path("decoded.bmp"), path("b.bmp")});
    ASSERT_EQ(fromJpeg.exitCode, 0) << fromJpeg.err;
    EXPECT_EQ(fromJpeg.out, fromBmp.out);
    EXPECT_EQ(readFile(path("a.bmp")), readFile(path("b.bmp")));
}
