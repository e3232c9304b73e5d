// What the tests of the Windows programs under Wine share: where the
// Windows build is, Wine and the locales it runs the programs in, the
// probe's report, and the pictures the viewer must show, computed by the
// Linux build's own loader and pass.
#pragma once

#include "bmp_builder.h"
#include "child_process.h"
#include "decoded_picture.h"
#include "picture_difference.h"
#include "pictures.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace winetest {

using namespace testsupport;
namespace fs = std::filesystem;

inline std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

inline fs::path windowsBuild() { return envOr("CR_WINDOWS_BUILD", ""); }

// Windows console output ends its lines with CR LF: the text with every CR LF
// turned into LF, and whether every LF had its CR.
inline std::string withoutCarriageReturns(const std::string& text, bool& everyLineHadOne) {
    std::string plain;
    everyLineHadOne = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) everyLineHadOne = false;
        plain += text[i];
    }
    return plain;
}

// The locales the Windows programs run under: a Japanese one (narrow code
// page 932, where the title's bytes read as they are) and C.UTF-8 (code page
// 1252, where they read as something else unless converted).
struct Locale {
    const char* lang;
    bool japanese;
};
inline const Locale kLocales[] = {{"C.UTF-8", false}, {"ja_JP.UTF-8", true}};

// The program in the given locale, in the given folder, in a process group
// of its own so that a stuck Wine program is ended whole.
inline testsupport::Command inLocale(const std::vector<std::string>& argv, const fs::path& directory, const Locale& locale) {
    testsupport::Command command(
        argv, {{"LC_ALL", std::nullopt}, {"LC_CTYPE", std::nullopt}, {"LANGUAGE", std::nullopt}, {"LANG", locale.lang}});
    const std::string locpath = envOr("CR_JA_LOCPATH", "");
    if (locale.japanese && !locpath.empty()) command.env["LOCPATH"] = locpath;
    command.workingFolder = directory.string();
    command.ownProcessGroup = true;
    return command;
}

inline Exit runToEnd(const std::vector<std::string>& argv, const fs::path& directory, const Locale& locale) {
    const Exit done = testsupport::run(inLocale(argv, directory, locale), std::chrono::minutes(1));
    EXPECT_FALSE(done.timedOut) << argv[0] << " did not end within a minute";
    return done;
}

inline std::vector<std::string> underWine(const std::string& program, std::vector<std::string> args) {
    std::vector<std::string> argv{envOr("CR_WINE", "wine"), (windowsBuild() / program).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

// "" when the texts are equal, else the first line where they part.
inline std::string textDifference(const std::string& got, const std::string& want) {
    if (got == want) return {};
    std::istringstream a(got), b(want);
    std::string lineA, lineB;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return "the texts differ only in their last newline";
        if (!moreA || !moreB || lineA != lineB)
            return "line " + std::to_string(line) + ": got \"" + (moreA ? lineA : "<end>") + "\", expected \"" +
                   (moreB ? lineB : "<end>") + "\"";
    }
}

// The line of the text that begins with `start`, or "".
inline std::string lineStarting(const std::string& text, const std::string& start) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(start, 0) == 0) return line;
    return {};
}

class WineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(windowsBuild().empty()) << "CR_WINDOWS_BUILD names the MinGW build tree";
        ASSERT_TRUE(fs::exists(windowsBuild() / "app" / "reducebmp.exe")) << windowsBuild();
    }
    void TearDown() override {
        if (!HasFailure()) return;
        folder.keep();
        std::printf("the test's files are kept in %s\n", folder.path().c_str());
    }
    TempDir folder;
    const fs::path dir = folder.path();
};

// What wine_probe.exe reports.
struct Probe {
    unsigned codePage = 0;
    int dpi = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // the frame around a client area
    int workLeft = 0, workTop = 0, workRight = 0, workBottom = 0;  // SPI_GETWORKAREA
};

inline Probe probe(const fs::path& directory, const Locale& locale) {
    const Exit run = runToEnd(underWine("tests/windows/wine_probe.exe", {}), directory, locale);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    bool crlf = false;
    std::istringstream lines(withoutCarriageReturns(run.out, crlf));
    Probe p;
    std::string word;
    while (lines >> word) {
        if (word == "acp") lines >> p.codePage;
        if (word == "dpi") lines >> p.dpi;
        if (word == "frame") lines >> p.left >> p.top >> p.right >> p.bottom;
        if (word == "workarea") lines >> p.workLeft >> p.workTop >> p.workRight >> p.workBottom;
    }
    return p;
}

// What the viewer must print and show for a file, computed by the Linux build's
// own loader and pass in this process.
using Expected = ExpectedReduction;

inline Picture loadPicture(const fs::path& file) {
    Picture picture;
    EXPECT_TRUE(decodeBmpFile(readFile(file.string()), picture)) << file;
    return picture;
}

inline Expected expectedFor(const fs::path& file) { return expectedReduction(loadPicture(file)); }

// The part of a picture at (x, y) of the given size; pixels outside it read as
// an impossible-to-miss magenta.
inline Picture crop(const Picture& whole, int x, int y, int width, int height) {
    Picture part(width, height, {255, 0, 255});
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            if (x + column >= 0 && x + column < whole.width && y + row >= 0 && y + row < whole.height)
                part.at(column, row) = whole.at(x + column, y + row);
    return part;
}

}  // namespace winetest
