#include "system_file.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <io.h>

// std::filesystem would read narrow names as UTF-8 (u8path) or through the
// C library's locale, where fopen and the command line use the ANSI code page.
std::filesystem::path pathFromNarrow(const std::string& narrow) {
    if (narrow.empty()) return {};
    const int size = static_cast<int>(narrow.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), size, wide.data(), length);
    return std::filesystem::path(wide);
}

std::string narrowFromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

namespace {

// The C library's errno for what CreateFileA reported, as _open would set it
// (except a name too long, which _open reports as a missing file).
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EINVAL;
    }
}

}  // namespace

// CreateFileA rather than _open: only so can the file be shared for
// deletion, which lets the console's handler remove it while it is open
// (ending_signals_windows.cpp). CREATE_NEW refuses a name that exists (fopen's
// "x" is not known to every msvcrt.dll).
std::FILE* createNewFile(const std::string& narrow) {
    const HANDLE handle = CreateFileA(narrow.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "wb");
    if (!stream) _close(fd);
    return stream;
}

// The C runtime's counterpart of fsync (FlushFileBuffers underneath).
bool syncToDisk(std::FILE* stream) { return _commit(_fileno(stream)) == 0; }

// Windows has no call that starts the write without waiting for it.
void startSyncToDisk(std::FILE*) {}

namespace {

std::optional<FileIdentity> identityOf(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return std::nullopt;
    FileIdentity identity;
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(handle, &information)) {
        identity.volume = information.dwVolumeSerialNumber;
        identity.index = static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 | information.nFileIndexLow;
        identity.regular = GetFileType(handle) == FILE_TYPE_DISK &&
                           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        return identity;
    }
    // Wine refuses the call above for a standard stream redirected from a
    // file of the host, and answers this one, with the same file index (the
    // low half of the file id) but no volume.
    FILE_ID_INFO id{};
    FILE_STANDARD_INFO standard{};
    if (!GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) ||
        !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
        return std::nullopt;
    identity.volume = id.VolumeSerialNumber;
    identity.volumeKnown = id.VolumeSerialNumber != 0;
    std::memcpy(&identity.index, id.FileId.Identifier, sizeof identity.index);
    identity.regular = GetFileType(handle) == FILE_TYPE_DISK && !standard.Directory;
    return identity;
}

}  // namespace

// Opened for no access at all, shared every way, so that asking disturbs no
// one; CreateFileW follows symbolic links, and a folder needs backup
// semantics to be opened.
std::optional<FileIdentity> identifyFile(const std::string& narrow) {
    const std::filesystem::path path = pathFromNarrow(narrow);
    if (path.empty()) return std::nullopt;
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<FileIdentity> identity = identityOf(handle);
    CloseHandle(handle);
    return identity;
}

std::optional<FileIdentity> identifyStream(std::FILE* stream) {
    return identityOf(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
}

// _isatty also says yes for NUL and the other character devices; only a
// console has a console mode.
bool isTerminal(std::FILE* stream) {
    DWORD mode = 0;
    return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

void setBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }
