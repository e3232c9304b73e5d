#include "system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::filesystem::path pathFromNarrow(const std::string& narrow) { return std::filesystem::path(narrow); }

std::string narrowFromPath(const std::filesystem::path& path) { return path.string(); }

std::FILE* createNewFile(const std::string& narrow) { return std::fopen(narrow.c_str(), "wbx"); }

bool syncToDisk(std::FILE* stream) { return fsync(fileno(stream)) == 0; }

void startSyncToDisk(std::FILE* stream) {
#ifdef __linux__
    // A failure here is met again, and reported, by the fsync.
    (void)sync_file_range(fileno(stream), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)stream;
#endif
}

namespace {

FileIdentity identityOf(const struct stat& status) {
    FileIdentity identity;
    identity.volume = static_cast<std::uint64_t>(status.st_dev);
    identity.index = static_cast<std::uint64_t>(status.st_ino);
    identity.regular = S_ISREG(status.st_mode);
    return identity;
}

}  // namespace

std::optional<FileIdentity> identifyFile(const std::string& narrow) {
    struct stat status {};
    if (stat(narrow.c_str(), &status) != 0) return std::nullopt;
    return identityOf(status);
}

std::optional<FileIdentity> identifyStream(std::FILE* stream) {
    struct stat status {};
    if (fstat(fileno(stream), &status) != 0) return std::nullopt;
    return identityOf(status);
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

void setBinaryMode(std::FILE*) {}
