#include "output_file.h"

#include "ending_signals.h"
#include "system_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    if (file_ && !standardOutput_) std::fclose(file_);
    if (!committed_ && !temporary_.empty()) {
        // Nothing here may allocate: this runs on the way out of a failure,
        // memory running short among others. The narrow name is what the
        // file was made with, on every system.
        std::remove(temporary_.c_str());
        removeNothingOnEndingSignal();
    }
}

bool OutputFile::fail(const std::string& what, int errorNumber) {
    error_ = "cannot write " + shownName() + ": " + what;
    if (errorNumber != 0) error_ += std::string(": ") + std::strerror(errorNumber);
    return false;
}

std::string OutputFile::shownName() const { return target_ == "-" ? "standard output" : target_; }

bool OutputFile::open() {
    if (target_ == "-") {
        setBinaryMode(stdout);
        file_ = stdout;
        inPlace_ = standardOutput_ = true;
        return true;
    }
    std::error_code ec;
    const fs::path path = pathFromNarrow(target_);
    const fs::file_status status = fs::status(path, ec);  // through links
    if (fs::is_directory(status)) return fail("it is a directory", 0);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        errno = 0;
        file_ = std::fopen(target_.c_str(), "wb");
        if (!file_) return fail("cannot open it", errno);
        inPlace_ = true;
        return true;
    }
    std::string finalPath = target_;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::canonical(path, ec);
        const std::string narrow = narrowFromPath(resolved);
        if (!ec && !narrow.empty()) finalPath = narrow;
    }
    return openTemporary(finalPath);
}

// The temporary file is the target's name with a random suffix, in the
// target's folder so that the rename cannot cross file systems; created
// exclusively, so that it never takes over a file that exists. When that
// name would be too long for the file system, a short one is used instead.
bool OutputFile::openTemporary(const std::string& finalPath) {
    std::random_device entropy;
    std::mt19937_64 generator((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
    const fs::path folder = pathFromNarrow(finalPath).parent_path();
    bool shortName = false;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part", static_cast<unsigned long long>(generator()));
        const std::string candidate = shortName ? narrowFromPath(folder / (std::string(".reducebmp") + suffix))
                                                : finalPath + suffix;
        // Named for removal on an ending signal as it is made, with no
        // moment between the two when a signal would leave it behind.
        int error = 0;
        holdingEndingSignals([&] {
            errno = 0;
            file_ = createNewFile(candidate);
            error = errno;
            if (file_) removeOnEndingSignal(candidate);
        });
        if (file_) {
            temporary_ = candidate;
            finalPath_ = finalPath;
            return true;
        }
        if (error == EEXIST) continue;
        if (error == ENAMETOOLONG && !shortName) {
            shortName = true;
            continue;
        }
        return fail("cannot create a file in its folder", error);
    }
    return fail("no free temporary name beside it", 0);
}

bool OutputFile::write(const std::uint8_t* data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, file_) != size) return fail("write failed", errno);
    // The disk takes each megabyte while the rest is still being made,
    // instead of all of it in the sync before the rename.
    unsynced_ += size;
    if (!inPlace_ && unsynced_ >= kSyncEvery) {
        if (std::fflush(file_) != 0) return fail("write failed", errno);
        startSyncToDisk(file_);
        unsynced_ = 0;
    }
    return true;
}

bool OutputFile::commit() {
    errno = 0;
    bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    int flushError = errno;
    // On the disk before the rename: a crash afterwards finds the old file
    // or the whole new one, never an empty one under the target's name.
    if (flushed && !inPlace_ && !syncToDisk(file_)) {
        flushed = false;
        flushError = errno;
    }
    const bool closed = standardOutput_ || std::fclose(file_) == 0;
    const int closeError = errno;
    file_ = nullptr;
    if (!flushed) return fail("write failed", flushError);
    if (!closed) return fail("write failed", closeError);
    if (inPlace_) {
        committed_ = true;
        return true;
    }
    std::error_code ec;
    holdingEndingSignals([&] {
        fs::rename(pathFromNarrow(temporary_), pathFromNarrow(finalPath_), ec);
        if (!ec) removeNothingOnEndingSignal();
    });
    if (ec) {
        error_ = "cannot write " + shownName() + ": " + ec.message();
        return false;
    }
    committed_ = true;
    return true;
}
