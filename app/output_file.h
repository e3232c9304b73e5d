// An output file that appears at its path whole or not at all: the bytes go
// to a temporary file beside the target, which replaces the target only once
// everything has been written, flushed to the disk and closed. An existing
// file at the path is left untouched by every failure.
//
// Two kinds of target are not replaced: through a symbolic link, the file it
// points to is replaced and the link is kept; a device or a pipe (/dev/null,
// /dev/stdout, a FIFO) is written in place, since renaming a file over it
// would destroy it. "-" is standard output, in binary mode, written in
// place too: a failure there leaves what was already written.
//
// While the temporary file exists it is named for removal on an ending
// signal (ending_signals.h), which the program sets up with
// handleEndingSignals.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class OutputFile {
public:
    explicit OutputFile(std::string target);
    ~OutputFile();  // removes the temporary file unless commit() succeeded
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each returns false with error() set to a sentence for the user.
    bool open();
    bool write(const std::uint8_t* data, std::size_t size);
    bool commit();
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what, int errorNumber);
    std::string shownName() const;
    bool openTemporary(const std::string& finalPath);
    std::string target_;     // as the user gave it, for messages
    std::string finalPath_;  // what the temporary file replaces
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool inPlace_ = false;  // a device or a pipe, written directly
    bool standardOutput_ = false;  // flushed, never closed
    bool committed_ = false;
    static constexpr std::size_t kSyncEvery = std::size_t{1} << 20;
    std::size_t unsynced_ = 0;  // bytes written since the disk was last asked to take them
    std::string error_;
};
