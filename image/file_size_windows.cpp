#include "file_size.h"

#include <io.h>
#include <sys/stat.h>

// The C runtime's own answer, as the POSIX build asks fstat. Its size is 32
// bits: a file of 2 GB or more comes out as a wrong length, which the readers
// then take for a truncated file.
std::int64_t regularFileSize(std::FILE* file) {
    struct _stat info {};
    if (_fstat(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) return -1;
    return static_cast<std::int64_t>(info.st_size);
}
