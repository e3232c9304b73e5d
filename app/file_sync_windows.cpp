#include "file_sync.h"

#include <io.h>

// The C runtime's counterpart of fsync (FlushFileBuffers underneath).
bool syncToDisk(std::FILE* stream) { return _commit(_fileno(stream)) == 0; }
