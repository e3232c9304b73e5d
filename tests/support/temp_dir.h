// A fresh folder for one test's files, on Linux and on Windows.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A new, empty folder under the system's temporary folder (TMPDIR, TEMP),
// removed with everything in it on destruction. Readable by every user
// (mode 0755 on POSIX), so that a program run as another user can reach
// the files in it; folders inside it whose write permission a test took
// away are still removed.
class TempDir {
public:
    TempDir();  // throws std::runtime_error when no folder can be made
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` in the folder (which need not exist).
    std::string file(const std::string& name) const;
    // The names of the entries in the folder, sorted.
    std::vector<std::string> entries() const;
    // Leaves the folder in place for a look after a failure.
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

}  // namespace testsupport
