// The temporary output file as each system makes it: never over a file that
// exists, and removable while it is still open, which is how an ending
// signal (on Windows, the console's handler on a thread of its own) removes
// it while the program is writing.
#include "system_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
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

}  // namespace
