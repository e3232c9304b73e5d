// The load both programs make (loadImage) and the reason they print for
// each refusal (loadFailureReason), on files opened by name as the programs
// open them: every valid file loads (read as bytes, whatever they hold), a
// refusal of each kind from the reader comes out as its reason, and the
// system's own refusals to open or read have theirs. Every reason of every
// hostile file is checked on the reader itself (reader_refusals_test.cpp).
// Built for Linux and for Windows, where it runs under Wine with the system's
// own GDI and C runtime: the reasons are the same words there.
#include "bmp_cases.h"
#include "load_failure.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;

class ProgramLoad : public ::testing::Test {
protected:
    std::string write(const std::string& name, const Bytes& bytes) const {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, bytes);
        return path;
    }

    // The reason for a refusal; "" when the file loaded.
    std::string reasonFor(const std::string& path) {
        LoadStatus status;
        if (loadImage(image, path.c_str(), status)) return "";
        EXPECT_NE(image.pixels, nullptr) << path;
        EXPECT_EQ(image.width, 1) << "a refusal leaves the 1 x 1 start-up image: " << path;
        EXPECT_EQ(image.height, 1) << path;
        return loadFailureReason(status);
    }

    testsupport::TempDir dir;
    dib24 image;
};

TEST_F(ProgramLoad, ARefusalOfEachKindFromTheReaderGivesItsReason) {
    for (const auto& file : hostile::hostileFilesOfEachKind()) {
        EXPECT_EQ(reasonFor(write(file.name + ".bmp", file.bytes)), file.reason) << file.name;
    }
}

TEST_F(ProgramLoad, EveryValidFileLoads) {
    for (const auto& file : hostile::validFiles()) {
        EXPECT_EQ(reasonFor(write(file.name + ".bmp", file.bytes)), "") << file.name;
    }
}

TEST_F(ProgramLoad, AMissingFileCannotBeOpened) {
    EXPECT_EQ(reasonFor(dir.file("no such file.bmp")), "cannot open (No such file or directory)");
}

TEST_F(ProgramLoad, AFolderIsRefusedWithTheSystemsReason) {
    fs::create_directory(dir.file("folder.bmp"));
#ifdef _WIN32
    // The C runtime does not open a folder as a file.
    EXPECT_EQ(reasonFor(dir.file("folder.bmp")), "cannot open (Permission denied)");
#else
    // POSIX opens it; the first read fails.
    EXPECT_EQ(reasonFor(dir.file("folder.bmp")), "cannot read (Is a directory)");
#endif
}

}  // namespace
