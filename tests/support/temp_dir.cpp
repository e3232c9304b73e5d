#include "temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <random>
#else
#include <sys/stat.h>

#include <cstdlib>
#endif

namespace testsupport {

namespace fs = std::filesystem;

namespace {

std::string makeFolder() {
    const fs::path base = fs::temp_directory_path();
#ifdef _WIN32
    // No mkdtemp here: a random name, taken only if nobody has it yet.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / ("cr-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error)) return candidate.string();
    }
    throw std::runtime_error("cannot make a temporary folder in " + base.string());
#else
    std::string pattern = (base / "cr-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder in " + base.string());
    chmod(pattern.c_str(), 0755);
    return pattern;
#endif
}

}  // namespace

TempDir::TempDir() : path_(makeFolder()) {}

TempDir::~TempDir() {
    if (kept_) return;
    std::error_code ignored;
#ifndef _WIN32
    // Give back the write permission that a test took away, so that everything goes.
    chmod(path_.c_str(), 0755);
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0755);
    }
#endif
    fs::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testsupport
