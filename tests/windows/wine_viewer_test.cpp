// The Windows programs, cross-built with MinGW-w64, run under Wine and checked
// against this (Linux) build: the batch converter writes the same bytes and
// prints the same lines; the viewer shows the reduced image pixel for pixel in
// its client area, at 96 DPI and on a display scaled to 150 % (144 DPI), is
// titled "減色テスト" whatever the code page, prints the same statistics, and
// ends with exit code 0 when asked to close. Both programs carry the manifest
// and the version resource that Windows reads.
//
// Run by scripts/test-phases/40-windows.sh, which provides:
//   CR_WINDOWS_BUILD  the MinGW build tree (app/*.exe, tests/windows/*_probe.exe)
//   CR_WINE           the Wine launcher (default: wine), with WINEPREFIX etc. set
//   CR_JA_LOCPATH     a folder holding the ja_JP.UTF-8 locale (empty: the system's)
//   DISPLAY           an X server without a window manager (viewer tests only)
#include "viewer_title.h"
#include "wine_support.h"
#include "x_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

using namespace winetest;
using Clock = std::chrono::steady_clock;

namespace {

// ---------------------------------------------------------------- the probe

TEST_F(WineTest, TheTwoLocalesGiveTheTwoCodePages) {
    // Without this the title tests below would not test what they claim.
    EXPECT_EQ(probe(dir, kLocales[0]).codePage, 1252u);
    EXPECT_EQ(probe(dir, kLocales[1]).codePage, 932u);
}

// ---------------------------------------------------------------- batch converter

struct Input {
    const char* name;
    Bytes bytes;
};

std::vector<Input> converterInputs() {
    std::vector<Input> inputs;
    inputs.push_back({"test_card", readFile(std::string(DATA_DIR) + "/test_card.bmp")});
    inputs.push_back({"odd_width_24bit", bmp24(testCard(37, 23, 5), 3780)});
    inputs.push_back({"top_down_noise", bmp24(noise(19, 11, 7), 0, true)});
    {
        const Picture few = fewColors(41, 9, 200, 3);
        std::vector<Bgr> palette;
        std::vector<std::uint8_t> indices;
        for (const Bgr& p : few.pixels) {
            auto it = std::find(palette.begin(), palette.end(), p);
            if (it == palette.end()) it = palette.insert(palette.end(), p);
            indices.push_back(static_cast<std::uint8_t>(it - palette.begin()));
        }
        inputs.push_back({"eight_bit", bmpIndexed(8, 41, 9, palette, indices, static_cast<std::uint32_t>(palette.size()))});
    }
    {
        std::vector<std::uint8_t> nibbles, bits;
        for (int i = 0; i < 13 * 7; ++i) nibbles.push_back(static_cast<std::uint8_t>((i * 7) % 16));
        for (int i = 0; i < 13 * 7; ++i) bits.push_back(static_cast<std::uint8_t>((i / 3) % 2));
        std::vector<Bgr> sixteen;
        for (int i = 0; i < 16; ++i)
            sixteen.push_back({static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 9),
                               static_cast<std::uint8_t>(i * 5)});
        inputs.push_back({"four_bit", bmpIndexed(4, 13, 7, sixteen, nibbles, 0)});
        inputs.push_back({"one_bit", bmpIndexed(1, 13, 7, {{0, 0, 0}, {255, 255, 255}}, bits, 0)});
    }
    inputs.push_back({"one_pixel", bmp24(Picture(1, 1, {1, 2, 3}))});
    // A longer header, as ImageMagick writes it with a colour profile: the
    // reader's own tests under Wine read every kind of header; here the
    // converter shows that it gets the same picture.
    {
        std::vector<Bgr> palette;
        std::vector<std::uint8_t> indices;
        for (int i = 0; i < 200; ++i)
            palette.push_back(
                {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i)});
        for (int i = 0; i < 29 * 8; ++i) indices.push_back(static_cast<std::uint8_t>((i * 11 + i / 29) % 200));
        const BmpLayout layout = layoutOf(kHeaderV5, ColorSpace::embeddedProfile, 160);
        inputs.push_back({"v5_eight_bit_profile", bmpIndexed(8, 29, 8, palette, indices, 200, layout)});
    }
    return inputs;
}

TEST_F(WineTest, TheBatchConverterWritesWhatTheLinuxOneWrites) {
    const Locale& locale = kLocales[0];
    for (const Input& input : converterInputs()) {
        SCOPED_TRACE(input.name);
        writeFile((dir / "in.bmp").string(), input.bytes);
        const Exit onLinux = runToEnd({REDUCEBMP_PATH, "in.bmp", "linux.bmp"}, dir, locale);
        const Exit onWindows = runToEnd(underWine("app/reducebmp.exe", {"in.bmp", "windows.bmp"}), dir, locale);
        ASSERT_EQ(onLinux.exitCode, 0) << onLinux.err;
        EXPECT_EQ(onWindows.exitCode, 0) << onWindows.err;
        bool crlf = false;
        EXPECT_EQ(textDifference(withoutCarriageReturns(onWindows.out, crlf), onLinux.out), "");
        EXPECT_TRUE(crlf) << "console lines end with CR LF";
        EXPECT_TRUE(readFile((dir / "windows.bmp").string()) == readFile((dir / "linux.bmp").string()))
            << "the reduced files differ";
    }
}

TEST_F(WineTest, TheBatchConverterReplacesAnExistingOutputAndRefusesLikeLinux) {
    const Locale& locale = kLocales[0];
    writeFile((dir / "in.bmp").string(), bmp24(gradient(9, 4)));
    writeFile((dir / "old.bmp").string(), Bytes(10, 'x'));
    const Exit replaced = runToEnd(underWine("app/reducebmp.exe", {"in.bmp", "old.bmp"}), dir, locale);
    EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
    ASSERT_EQ(runToEnd({REDUCEBMP_PATH, "in.bmp", "linux.bmp"}, dir, locale).exitCode, 0);
    EXPECT_TRUE(readFile((dir / "old.bmp").string()) == readFile((dir / "linux.bmp").string()));

    Bytes sixteenBit = bmp24(gradient(4, 4));
    putU16(sixteenBit, 28, 16);
    writeFile((dir / "16.bmp").string(), sixteenBit);
    const BmpLayout v5 = layoutOf(kHeaderV5);
    Bytes rle = bmpIndexed(8, 4, 4, {{0, 0, 0}, {9, 9, 9}}, std::vector<std::uint8_t>(16, 1), 2, v5);
    putU32(rle, 30, 1);
    writeFile((dir / "rle.bmp").string(), rle);
    writeFile((dir / "os2.bmp").string(), bmpOs2v1(8, 3, 3, {{1, 2, 3}}, std::vector<std::uint8_t>(9, 0)));
    Bytes cut = bmpIndexed(4, 9, 9, {{1, 2, 3}}, std::vector<std::uint8_t>(81, 0), 1, v5);
    cut.resize(cut.size() - 3);
    writeFile((dir / "cut.bmp").string(), cut);
    const std::pair<const char*, const char*> cases[] = {
        {"missing.bmp", "cannot open (No such file or directory)"},
        {"16.bmp", "16 bits per pixel is not supported (1, 4, 8 or 24 only)"},
        {"rle.bmp", "run-length compressed (RLE8) BMP is not supported; save it uncompressed"},
        {"os2.bmp", "OS/2 1.x BMP (12-byte header) is not supported; save it as a Windows BMP"},
        {"cut.bmp", "pixel array cut short: 72 bytes expected, 69 present"},
    };
    for (const auto& [bad, reason] : cases) {
        SCOPED_TRACE(bad);
        const Exit onLinux = runToEnd({REDUCEBMP_PATH, bad, "a.bmp"}, dir, locale);
        const Exit onWindows = runToEnd(underWine("app/reducebmp.exe", {bad, "b.bmp"}), dir, locale);
        EXPECT_EQ(onWindows.exitCode, onLinux.exitCode);
        EXPECT_EQ(onWindows.exitCode, 1);
        bool crlf = false;
        EXPECT_EQ(textDifference(withoutCarriageReturns(onWindows.out, crlf), onLinux.out), "");
        EXPECT_EQ(onWindows.out, std::string("Cannot load input file : ") + bad + "\r\n");
        // The reason, in the same words: the system's reason comes from the C runtime there.
        EXPECT_EQ(onLinux.err, std::string("reducebmp: ") + bad + ": " + reason + "\n");
        EXPECT_EQ(onWindows.err, std::string("reducebmp: ") + bad + ": " + reason + "\r\n");
        EXPECT_FALSE(fs::exists(dir / "b.bmp"));
    }
}

TEST_F(WineTest, TheBatchConverterWritesToNamesBeyondAscii) {
    // Names the locale's narrow code page can spell: the program gets them in
    // that code page, and must open, replace and clean up under the same name.
    const struct {
        const Locale& locale;
        const char* name;
    } cases[] = {{kLocales[1], "\xE5\x87\xBA\xE5\x8A\x9B.bmp"},  // 出力.bmp, code page 932
                 {kLocales[0], "caf\xC3\xA9.bmp"}};                // café.bmp, code page 1252
    writeFile((dir / "in.bmp").string(), bmp24(testCard(23, 9, 2)));
    ASSERT_EQ(runToEnd({REDUCEBMP_PATH, "in.bmp", "linux.bmp"}, dir, kLocales[0]).exitCode, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int round = 0; round < 2; ++round) {  // the second replaces the first
            const Exit run = runToEnd(underWine("app/reducebmp.exe", {"in.bmp", c.name}), dir, c.locale);
            EXPECT_EQ(run.exitCode, 0) << run.err;
        }
        EXPECT_TRUE(readFile((dir / c.name).string()) == readFile((dir / "linux.bmp").string()));
    }
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_NE(entry.path().extension(), ".part") << "left behind: " << entry.path();
}

// Files, not names: every other name of the input, a different case among
// them, is refused before anything is read or written.
TEST_F(WineTest, TheBatchConverterRefusesToReplaceItsInputByAnyName) {
    const Locale& locale = kLocales[0];
    const Bytes original = bmp24(testCard(21, 13, 4));
    writeFile((dir / "photo.bmp").string(), original);
    fs::create_hard_link(dir / "photo.bmp", dir / "hard.bmp");
    std::string windowsPath = "Z:" + (dir / "photo.bmp").string();
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    const std::pair<std::string, std::string> cases[] = {
        {"photo.bmp", "photo.bmp"}, {"photo.bmp", "PHOTO.BMP"}, {"Photo.Bmp", "photo.bmp"},
        {"photo.bmp", ".\\photo.bmp"}, {"photo.bmp", windowsPath}, {"hard.bmp", "photo.bmp"},
    };
    const std::vector<std::string> entries = folder.entries();
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in + " " + out);
        const Exit r = runToEnd(underWine("app/reducebmp.exe", {in, out}), dir, locale);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "reducebmp: " + in + ": the output would replace the input\r\n");
        EXPECT_TRUE(readFile((dir / "photo.bmp").string()) == original);
        EXPECT_EQ(folder.entries(), entries);
    }
    testsupport::Command fromInput = inLocale(underWine("app/reducebmp.exe", {"-", "PHOTO.bmp"}), dir, locale);
    fromInput.in = Stream::file((dir / "photo.bmp").string());
    const Exit r = testsupport::run(fromInput, std::chrono::minutes(1));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "reducebmp: standard input: the output would replace the input\r\n");
    EXPECT_TRUE(readFile((dir / "photo.bmp").string()) == original);
}

// "-" in and out in binary mode (the picture's bytes as Linux writes them,
// the statistics on standard error), -v's lines, and the command line's
// messages from MinGW-w64's getopt_long, all as on Linux.
TEST_F(WineTest, TheBatchConverterStreamsReportsAndParsesLikeLinux) {
    const Locale& locale = kLocales[0];
    writeFile((dir / "in.bmp").string(), bmp24(testCard(53, 31, 6)));
    const Exit onLinux = runToEnd({REDUCEBMP_PATH, "-v", "in.bmp", "linux.bmp"}, dir, locale);
    ASSERT_EQ(onLinux.exitCode, 0) << onLinux.err;
    const Bytes picture = readFile((dir / "linux.bmp").string());
    bool crlf = false;

    testsupport::Command streams = inLocale(underWine("app/reducebmp.exe", {"-", "-"}), dir, locale);
    streams.in = Stream::file((dir / "in.bmp").string());
    const Exit streamed = testsupport::run(streams, std::chrono::minutes(1));
    EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
    EXPECT_TRUE(Bytes(streamed.out.begin(), streamed.out.end()) == picture) << "the picture on standard output";
    EXPECT_EQ(textDifference(withoutCarriageReturns(streamed.err, crlf), onLinux.out), "");

    const Exit verbose = runToEnd(underWine("app/reducebmp.exe", {"-v", "in.bmp", "windows.bmp"}), dir, locale);
    EXPECT_EQ(verbose.exitCode, 0) << verbose.err;
    EXPECT_EQ(textDifference(withoutCarriageReturns(verbose.out, crlf), onLinux.out), "");
    const std::string linuxErr = onLinux.err;
    const std::string windowsErr = withoutCarriageReturns(verbose.err, crlf);
    EXPECT_TRUE(crlf);
    // The input and quality lines alike; the times line is the machine's.
    for (const char* line : {"input: ", "quality: ", "times: "}) {
        SCOPED_TRACE(line);
        const std::string got = lineStarting(windowsErr, line);
        ASSERT_NE(got, "") << windowsErr;
        if (std::string(line) != "times: ") {
            EXPECT_EQ(got, lineStarting(linuxErr, line));
        }
    }

    const std::vector<std::string> wrong[] = {
        {}, {"in.bmp"}, {"--foo", "a", "b"}, {"--ver", "a", "b"}, {"--quiet=1", "a", "b"}, {"-o", "out.bmp"},
        {"-qx", "a", "b"}, {"a", "b", "-v"},
    };
    for (const auto& arguments : wrong) {
        std::vector<std::string> linuxCommand{REDUCEBMP_PATH};
        linuxCommand.insert(linuxCommand.end(), arguments.begin(), arguments.end());
        const Exit want = runToEnd(linuxCommand, dir, locale);
        const Exit got = runToEnd(underWine("app/reducebmp.exe", arguments), dir, locale);
        EXPECT_EQ(got.exitCode, 2);
        EXPECT_EQ(withoutCarriageReturns(got.err, crlf), want.err);
    }
}

// ---------------------------------------------------------------- resources

// What resource_probe.exe reads from a program: each line's first word, and
// the rest of the line.
std::multimap<std::string, std::string> resourcesOf(const std::string& program, const fs::path& directory) {
    const Exit run = runToEnd(
        underWine("tests/windows/resource_probe.exe", {(windowsBuild() / "app" / program).string()}), directory,
        kLocales[0]);
    EXPECT_EQ(run.exitCode, 0) << program << ": " << run.err;
    bool crlf = false;
    std::istringstream lines(withoutCarriageReturns(run.out, crlf));
    std::multimap<std::string, std::string> facts;
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        if (space != std::string::npos) facts.emplace(line.substr(0, space), line.substr(space + 1));
    }
    return facts;
}

std::string only(const std::multimap<std::string, std::string>& facts, const std::string& key) {
    const auto range = facts.equal_range(key);
    if (range.first == range.second) return "<missing>";
    if (std::next(range.first) != range.second) return "<more than one>";
    return range.first->second;
}

// The project's version in the four numbers Windows keeps ("1.2" is 1.2.0.0).
std::string fourPartVersion(std::string version) {
    for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots) version += ".0";
    return version;
}

TEST_F(WineTest, BothProgramsCarryTheManifestAndTheVersionResource) {
    const std::string version = CR_PROJECT_VERSION, quad = fourPartVersion(version);
    std::map<std::string, std::string> descriptions, products;  // by program
    for (const std::string program : {"reduceview", "reducebmp"}) {
        SCOPED_TRACE(program);
        const auto facts = resourcesOf(program + ".exe", dir);

        // The manifest, as Windows reads it when it starts the program.
        EXPECT_EQ(only(facts, "dpiAware"), "true");
        EXPECT_EQ(only(facts, "runLevel"), "1 uiAccess 0") << "asInvoker, no UI access";
        std::vector<std::string> systems;
        for (auto [it, end] = facts.equal_range("supportedOS"); it != end; ++it) systems.push_back(it->second);
        std::sort(systems.begin(), systems.end());
        EXPECT_EQ(systems, (std::vector<std::string>{
                               "{1F676C76-80E1-4239-95BB-83D0F6D0DA78}",  // Windows 8.1
                               "{35138B9A-5D96-4FBD-8E2D-A2440225F93A}",  // Windows 7
                               "{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",  // Windows 8
                               "{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}",  // Windows 10 and 11
                           }));
        const std::string identity = only(facts, "identity");
        EXPECT_NE(identity.find("." + program + ","), std::string::npos) << identity;
        EXPECT_NE(identity.find("version=\"" + quad + "\""), std::string::npos) << identity;

        // The version resource, as Explorer's Properties read it.
        EXPECT_EQ(only(facts, "fixedVersion"), quad + " " + quad) << "file and product version";
        std::map<std::string, std::string> strings;
        for (auto [it, end] = facts.equal_range("string"); it != end; ++it) {
            const std::size_t space = it->second.find(' ');
            strings[it->second.substr(0, space)] = space == std::string::npos ? "" : it->second.substr(space + 1);
        }
        EXPECT_EQ(strings["FileVersion"], version);
        EXPECT_EQ(strings["ProductVersion"], version);
        EXPECT_EQ(strings["OriginalFilename"], program + ".exe");
        EXPECT_EQ(strings["InternalName"], program);
        EXPECT_NE(strings["FileDescription"], "");
        EXPECT_NE(strings["ProductName"], "");
        descriptions[program] = strings["FileDescription"];
        products[program] = strings["ProductName"];
    }
    // One product; each program says which of its programs it is.
    EXPECT_NE(descriptions["reduceview"], descriptions["reducebmp"]);
    EXPECT_EQ(products["reduceview"], products["reducebmp"]);
}

// ---------------------------------------------------------------- viewer

struct ViewerCase {
    const char* name;
    Locale locale;
    int picture;  // 0: the bundled test card, 1: an odd-width generated picture
    // The system DPI: 96, or 144 for a display scaled to 150 %. Wine 8 runs
    // every program per-monitor-DPI-aware, whatever its manifest says, and
    // never stretches a window; so at 144 these cases check that the window is
    // built around the picture with that scale's frame metrics. That Windows
    // treats the viewer as DPI-aware at all rests on its manifest, which
    // BothProgramsCarryTheManifestAndTheVersionResource reads back.
    int dpi;
};

// The Wine prefix's system DPI for as long as it lives. Wine 8 takes it from
// HKCU\Control Panel\Desktop, value LogPixels, when a program starts; without
// that value, from the machine's hardware profile
// (HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts,
// 96 in a new prefix). The LogPixels in HKCU\Software\Wine\Fonts does not
// change it. A value set here applies to every program started afterwards,
// and is removed again at the end.
class PrefixDpi {
public:
    PrefixDpi(int dpi, const fs::path& directory) : directory_(directory), set_(dpi != 96) {
        if (set_) reg({"add", kKey, "/v", "LogPixels", "/t", "REG_DWORD", "/d", std::to_string(dpi), "/f"});
    }
    ~PrefixDpi() {
        if (set_) reg({"delete", kKey, "/v", "LogPixels", "/f"});
    }
    PrefixDpi(const PrefixDpi&) = delete;
    PrefixDpi& operator=(const PrefixDpi&) = delete;

private:
    static constexpr const char* kKey = "HKCU\\Control Panel\\Desktop";
    void reg(std::vector<std::string> args) const {
        args.insert(args.begin(), {envOr("CR_WINE", "wine"), "reg"});
        const Exit run = runToEnd(args, directory_, kLocales[0]);
        EXPECT_EQ(run.exitCode, 0) << "wine reg " << args[2] << ": " << run.out << run.err;
    }
    fs::path directory_;
    bool set_;
};

void PrintTo(const ViewerCase& c, std::ostream* os) { *os << c.name; }

class WineViewer : public WineTest, public ::testing::WithParamInterface<ViewerCase> {};

TEST_P(WineViewer, ShowsTheReducedImageUnderItsTitleAndClosesCleanly) {
    const ViewerCase& c = GetParam();
    XClient x;
    ASSERT_TRUE(x.ok()) << "no X display";
    const PrefixDpi dpi(c.dpi, dir);
    const Probe frame = probe(dir, c.locale);
    // Else the cases at 144 DPI would test 96 once more.
    ASSERT_EQ(frame.dpi, c.dpi);

    if (c.picture == 0) {
        writeFile((dir / "in.bmp").string(), readFile(std::string(DATA_DIR) + "/test_card.bmp"));
    } else {
        writeFile((dir / "in.bmp").string(), bmp24(testCard(203, 61, 11)));
    }
    const Expected expected = expectedFor(dir / "in.bmp");

    Child viewer(inLocale(underWine("app/reduceview.exe", {"in.bmp"}), dir, c.locale));
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    std::optional<XWindowId> window;
    while (!(window = x.viewableWindowOf(viewer.pid())) && Clock::now() < deadline) {
        ASSERT_FALSE(viewer.wait(std::chrono::milliseconds(50)).has_value()) << "ended early: " << viewer.err();
    }
    ASSERT_TRUE(window) << "no window appeared; stderr: " << viewer.err();

    // The statistics are out before the window is first shown.
    bool crlf = false;
    EXPECT_EQ(textDifference(withoutCarriageReturns(viewer.out(), crlf), expected.report), "");
    EXPECT_TRUE(crlf);

    // The X window is the whole Windows window, frame included, since Wine
    // draws its own frame here: the client area sits inside by the frame that
    // AdjustWindowRectEx gives for the viewer's style.
    const auto geometry = x.geometry(*window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->width, expected.reduced.width + frame.right - frame.left);
    EXPECT_EQ(geometry->height, expected.reduced.height + frame.bottom - frame.top);

    // The title is in place before the window is shown; a moment for the
    // X property to follow is all the waiting it needs.
    std::string title;
    const auto titleDeadline = Clock::now() + std::chrono::seconds(2);
    while ((title = x.title(*window)) != kViewerTitleUtf8 && Clock::now() < titleDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(title, kViewerTitleUtf8);

    // Painting follows mapping closely but not atomically: look until the
    // picture is right or the time is up.
    std::string difference = "nothing read";
    while (Clock::now() < deadline) {
        if (const std::optional<Picture> whole = x.pixels(*window)) {
            difference = pictureDifference(
                crop(*whole, -frame.left, -frame.top, expected.reduced.width, expected.reduced.height),
                expected.reduced);
        }
        if (difference.empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(difference, "");

    // Closed as a window manager would, as the Linux viewer is.
    ASSERT_TRUE(x.close(*window));
    const std::optional<Exit> closed = viewer.wait(std::chrono::seconds(15));
    ASSERT_TRUE(closed.has_value()) << "still running after the close request";
    EXPECT_EQ(closed->exitCode, 0) << closed->err;
    // Nothing more was printed after the statistics.
    EXPECT_EQ(textDifference(withoutCarriageReturns(viewer.out(), crlf), expected.report), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, WineViewer,
                         ::testing::Values(ViewerCase{"test_card_c", kLocales[0], 0, 96},
                                           ViewerCase{"test_card_japanese", kLocales[1], 0, 96},
                                           ViewerCase{"odd_width_c", kLocales[0], 1, 96},
                                           ViewerCase{"odd_width_japanese", kLocales[1], 1, 96},
                                           ViewerCase{"test_card_c_144dpi", kLocales[0], 0, 144},
                                           ViewerCase{"odd_width_japanese_144dpi", kLocales[1], 1, 144}),
                         [](const ::testing::TestParamInfo<ViewerCase>& param) { return param.param.name; });

TEST_F(WineTest, TheViewerRefusesLikeLinuxWithoutAWindow) {
    const Locale& locale = kLocales[0];
    const Exit none = runToEnd(underWine("app/reduceview.exe", {}), dir, locale);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    const Exit missing = runToEnd(underWine("app/reduceview.exe", {"missing.bmp"}), dir, locale);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "Cannot load input file : missing.bmp\r\n");
    EXPECT_EQ(missing.err, "reduceview: missing.bmp: cannot open (No such file or directory)\r\n");
    Bytes bitFields = bmp24(gradient(5, 5));
    putU32(bitFields, 30, 3);
    putU16(bitFields, 28, 32);
    writeFile((dir / "32.bmp").string(), bitFields);
    const Exit refused = runToEnd(underWine("app/reduceview.exe", {"32.bmp"}), dir, locale);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "Cannot load input file : 32.bmp\r\n");
    EXPECT_EQ(refused.err,
              "reduceview: 32.bmp: bit-field (BI_BITFIELDS) BMP of 32 bits per pixel is not supported; save it "
              "uncompressed with 1, 4, 8 or 24 bits per pixel\r\n");
}

}  // namespace
