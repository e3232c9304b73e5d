// The temporary output file as each system makes it: never over a file that
// exists, and removable while it is still open, which is how an ending
// signal (on Windows, the console's handler on a thread of its own) removes
// it while the program is writing. And which file a name or a stream leads
// to, which keeps the converter from writing over its input.
#include "system_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

class SystemFileTest : public testing::Test {
protected:
    std::string file(const char* name) const { return narrowFromPath(fs::path(folder_.path()) / name); }

    testsupport::TempDir folder_;
};

TEST_F(SystemFileTest, ANewFileIsNeverMadeOverOneThatExists) {
    const std::string path = file("taken.part");
    std::FILE* first = createNewFile(path);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(std::fputs("first", first), EOF);
    ASSERT_EQ(std::fclose(first), 0);
    errno = 0;
    EXPECT_EQ(createNewFile(path), nullptr);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(fs::file_size(pathFromNarrow(path)), 5u);
}

TEST_F(SystemFileTest, TheNewFileCanBeRemovedWhileItIsStillOpen) {
    const std::string path = file("open.part");
    std::FILE* stream = createNewFile(path);
    ASSERT_NE(stream, nullptr);
    ASSERT_NE(std::fputs("written", stream), EOF);
    ASSERT_EQ(std::fflush(stream), 0);
    EXPECT_EQ(std::remove(path.c_str()), 0) << "the open file could not be removed";
    // The program goes on writing into it until it ends; then it is gone.
    EXPECT_NE(std::fputs(" more", stream), EOF);
    EXPECT_EQ(std::fclose(stream), 0);
    EXPECT_FALSE(fs::exists(pathFromNarrow(path)));
}

TEST_F(SystemFileTest, AFolderThatDoesNotExistIsReported) {
    errno = 0;
    EXPECT_EQ(createNewFile(file("missing/out.part")), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(SystemFileTest, TwoNamesOfOneFileHaveOneIdentityAndAnOpenStreamToo) {
    const std::string path = file("photo.bmp");
    std::FILE* made = createNewFile(path);
    ASSERT_NE(made, nullptr);
    ASSERT_EQ(std::fclose(made), 0);
    std::FILE* other = createNewFile(file("other.bmp"));
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(std::fclose(other), 0);
    fs::create_hard_link(pathFromNarrow(path), pathFromNarrow(file("hard.bmp")));

    const std::optional<FileIdentity> photo = identifyFile(path);
    ASSERT_TRUE(photo.has_value());
    EXPECT_TRUE(photo->regular);
    const std::string dotted = narrowFromPath(fs::path(folder_.path()) / "." / "photo.bmp");
    for (const std::string& name : {dotted, file("hard.bmp")}) {
        const std::optional<FileIdentity> same = identifyFile(name);
        ASSERT_TRUE(same.has_value()) << name;
        EXPECT_TRUE(*same == *photo) << name;
    }
    EXPECT_FALSE(*identifyFile(file("other.bmp")) == *photo);

    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    const std::optional<FileIdentity> opened = identifyStream(stream);
    std::fclose(stream);
    ASSERT_TRUE(opened.has_value());
    EXPECT_TRUE(*opened == *photo);

    const std::optional<FileIdentity> folder = identifyFile(folder_.path());
    ASSERT_TRUE(folder.has_value());
    EXPECT_FALSE(folder->regular);
    EXPECT_FALSE(identifyFile(file("missing.bmp")).has_value());
}

}  // namespace
