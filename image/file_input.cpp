#include "file_input.h"

#include "file_size.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

Got freadCounted(void* out, std::int64_t count, std::FILE* file) {
    if (count <= 0) return {0, 0};
    const std::size_t got = std::fread(out, 1, static_cast<std::size_t>(count), file);
    int error = 0;
    if (got != static_cast<std::size_t>(count) && std::ferror(file)) error = errno != 0 ? errno : EIO;
    return {static_cast<std::int64_t>(got), error};
}

}  // namespace

Got FileInput::peek(std::uint8_t* out, std::int64_t count) {
    count = std::min(count, kMaxPeek);
    const Got got = freadCounted(head_, count, file_);
    headSize_ = got.bytes;
    headError_ = got.error;
    std::memcpy(out, head_, static_cast<std::size_t>(got.bytes));
    return got;
}

Got FileInput::read(void* out, std::int64_t count) {
    auto* bytes = static_cast<std::uint8_t*>(out);
    const std::int64_t fromHead = std::min(count, headSize_ - headTaken_);
    if (fromHead > 0) {
        std::memcpy(bytes, head_ + headTaken_, static_cast<std::size_t>(fromHead));
        headTaken_ += fromHead;
    }
    if (fromHead == count) return {count, 0};
    // The first bytes came short because of an error: that is where the file ends.
    if (headError_ != 0) return {fromHead, headError_};
    const Got rest = freadCounted(bytes + fromHead, count - fromHead, file_);
    return {fromHead + rest.bytes, rest.error};
}

std::int64_t FileInput::bytesLeft() const {
    const std::int64_t size = regularFileSize(file_);
    if (size < 0) return -1;
    const long position = std::ftell(file_);
    if (position < 0) return -1;
    const std::int64_t inFile = std::max<std::int64_t>(0, size - position);
    return inFile + (headSize_ - headTaken_);
}

GotAll readRest(FileInput& file, std::int64_t limit, std::vector<std::uint8_t>& out) {
    out.clear();
    const std::int64_t left = file.bytesLeft();
    // A regular file's length is known: one read, one buffer. Otherwise
    // pieces of 1 MB, until the stream ends.
    constexpr std::int64_t kPiece = std::int64_t{1} << 20;
    std::int64_t have = 0;
    for (;;) {
        const std::int64_t want = std::min(left > 0 && have == 0 ? left + 1 : kPiece, limit + 1 - have);
        if (want <= 0) return {{have, 0}, true};
        out.resize(static_cast<std::size_t>(have + want));
        const Got got = file.read(out.data() + have, want);
        have += got.bytes;
        out.resize(static_cast<std::size_t>(have));
        if (have > limit) return {{have, 0}, true};
        if (got.bytes != want) return {{have, got.error}, false};
    }
}
