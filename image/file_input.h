// An input file as the readers take it: in order from its first byte, never
// seeking, so that a pipe is read as well as a regular file. The first few
// bytes may be looked at to tell the file's format; they are handed out
// again, before the rest of the stream, to the reader of that format.
#pragma once

#include <cstdint>
#include <cstdio>

// What a read brought: the bytes that arrived, and the system's error
// number when it came short because of an error rather than the file's end.
struct Got {
    std::int64_t bytes;
    int error;
};

class FileInput {
public:
    explicit FileInput(std::FILE* file) : file_(file) {}

    // Looks at up to `count` (at most kMaxPeek) first bytes: copies those
    // that arrive to `out` and keeps them for the reads. Only before any read.
    Got peek(std::uint8_t* out, std::int64_t count);
    Got read(void* out, std::int64_t count);
    // Bytes still to come, or -1 when the stream cannot tell (a pipe, a device).
    std::int64_t bytesLeft() const;

    static constexpr std::int64_t kMaxPeek = 18;

private:
    std::FILE* file_;
    std::uint8_t head_[kMaxPeek] = {};
    std::int64_t headSize_ = 0;
    std::int64_t headTaken_ = 0;
    int headError_ = 0;  // an error met while peeking, reported by the read that reaches it
};

#include <vector>

// Reads the rest of the input into `out`, which grows only as data arrives,
// up to `limit` bytes. More than that is `tooLong` (the bytes read so far are kept).
struct GotAll {
    Got got;
    bool tooLong;
};
GotAll readRest(FileInput& file, std::int64_t limit, std::vector<std::uint8_t>& out);
