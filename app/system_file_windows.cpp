#include "system_file.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

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

// fopen's "x" is not known to every msvcrt.dll; _O_EXCL is.
std::FILE* createNewFile(const std::string& narrow) {
    const int fd = _open(narrow.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return nullptr;
    std::FILE* stream = _fdopen(fd, "wb");
    if (!stream) _close(fd);
    return stream;
}

// The C runtime's counterpart of fsync (FlushFileBuffers underneath).
bool syncToDisk(std::FILE* stream) { return _commit(_fileno(stream)) == 0; }
