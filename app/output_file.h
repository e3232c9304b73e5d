// An output file that appears at its path whole or not at all: the bytes go
// to a temporary file beside the target, which replaces the target only once
// everything has been written and closed. An existing file at the path is
// left untouched by every failure.
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
    std::string target_;
    std::string temporary_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
    std::string error_;
};
