#include "bmp_builder.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

TEST(TempDir, EachIsANewEmptyFolderRemovedWithItsContents) {
    auto first = std::make_unique<TempDir>();
    const TempDir second;
    ASSERT_NE(first->path(), second.path());
    EXPECT_TRUE(fs::is_directory(first->path()));
    EXPECT_TRUE(first->entries().empty());
    fs::create_directory(first->file("b"));
    testsupport::writeFile(first->file("b/inside"), {1, 2, 3});
    testsupport::writeFile(first->file("a"), {4});
#ifndef _WIN32
    // A folder whose write permission a test took away goes too.
    ASSERT_EQ(chmod(first->file("b").c_str(), 0555), 0);
#endif
    EXPECT_EQ(first->entries(), (std::vector<std::string>{"a", "b"}));
    const std::string path = first->path();
    first.reset();
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempDir, AKeptFolderStays) {
    std::string path;
    {
        TempDir dir;
        testsupport::writeFile(dir.file("evidence"), {1});
        dir.keep();
        path = dir.path();
    }
    EXPECT_TRUE(fs::exists(fs::path(path) / "evidence"));
    fs::remove_all(path);
}

}  // namespace
