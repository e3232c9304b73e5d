// Where the reduction pass writes its report lines. The viewer and the batch
// converter hand it standard output; tests and tools collect the text.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void write(std::string_view text) = 0;
};

// Writes to a C stream (standard output for the programs), unbuffered by us:
// the stream's own buffering and line discipline apply.
class FileSink final : public TextSink {
public:
    explicit FileSink(std::FILE* stream) : stream_(stream) {}
    void write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), stream_); }

private:
    std::FILE* stream_;
};

class StringSink final : public TextSink {
public:
    void write(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
