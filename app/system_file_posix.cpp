#include "system_file.h"

#include <unistd.h>

std::filesystem::path pathFromNarrow(const std::string& narrow) { return std::filesystem::path(narrow); }

std::string narrowFromPath(const std::filesystem::path& path) { return path.string(); }

std::FILE* createNewFile(const std::string& narrow) { return std::fopen(narrow.c_str(), "wbx"); }

bool syncToDisk(std::FILE* stream) { return fsync(fileno(stream)) == 0; }
