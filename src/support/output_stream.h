// A console stream as the driver sees it, so tests can capture output.
#pragma once

#include <cstdio>
#include <string_view>

namespace ravlet {

class OutputStream {
public:
    // Failures are not reported: nothing the tool prints may change its outcome.
    virtual void write(std::string_view bytes) = 0;
    virtual void flush() = 0;

protected:
    // Streams are used through references, never deleted through this
    // interface; a plain destructor lets the process's streams be built at
    // compile time, with no guard on first use and nothing to run at exit.
    ~OutputStream() = default;
};

// A C stream in its ordinary text mode, so "\n" becomes the platform's line end.
class FileOutputStream final : public OutputStream {
public:
    explicit FileOutputStream(std::FILE* file)
        : file_(file)
    {
    }
    void write(std::string_view bytes) override { std::fwrite(bytes.data(), 1, bytes.size(), file_); }
    void flush() override { std::fflush(file_); }

private:
    std::FILE* file_;
};

// Writes a block of whole lines, each ending in a line feed, then flushes.
inline void print_lines(OutputStream& stream, std::string_view lines)
{
    stream.write(lines);
    stream.flush();
}

// Writes the text and a line feed, then flushes, so each line is out before
// the next step runs.
inline void print_line(OutputStream& stream, std::string_view text)
{
    stream.write(text);
    stream.write("\n");
    stream.flush();
}

} // namespace ravlet
