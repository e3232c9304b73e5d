#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
    if (!committed_ && !temporary_.empty()) {
        std::error_code ignored;
        fs::remove(fs::u8path(temporary_), ignored);
    }
}

bool OutputFile::fail(const std::string& what, int errorNumber) {
    error_ = "cannot write " + target_ + ": " + what;
    if (errorNumber != 0) error_ += std::string(": ") + std::strerror(errorNumber);
    return false;
}

bool OutputFile::open() {
    std::error_code ec;
    if (fs::is_directory(fs::u8path(target_), ec)) return fail("it is a directory", 0);
    std::random_device entropy;
    std::mt19937_64 generator((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part", static_cast<unsigned long long>(generator()));
        std::string candidate = target_ + suffix;
        if (fs::exists(fs::u8path(candidate), ec)) continue;
        errno = 0;
        file_ = std::fopen(candidate.c_str(), "wb");
        if (!file_) return fail("cannot create a file in its folder", errno);
        temporary_ = std::move(candidate);
        return true;
    }
    return fail("no free temporary name beside it", 0);
}

bool OutputFile::write(const std::uint8_t* data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, file_) != size) return fail("write failed", errno);
    return true;
}

bool OutputFile::commit() {
    errno = 0;
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    const int closeError = errno;
    file_ = nullptr;
    if (!flushed) return fail("write failed", flushError);
    if (!closed) return fail("write failed", closeError);
    std::error_code ec;
    fs::rename(fs::u8path(temporary_), fs::u8path(target_), ec);
    if (ec) {
        error_ = "cannot write " + target_ + ": " + ec.message();
        return false;
    }
    committed_ = true;
    return true;
}
