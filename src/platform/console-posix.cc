// Console streams on POSIX: a small buffer per stream, written with one
// write() per flush. Failures are dropped, as console failures must be.
#include "platform/console.h"

#include <cerrno>
#include <cstring>
#include <span>

#include <unistd.h>

namespace ravlet {
namespace {

class DescriptorStream final : public OutputStream {
public:
    // The buffer lies outside the stream, in zeroed memory that takes no
    // room in the executable and no page until it is written.
    constexpr DescriptorStream(int fd, std::span<char> buffer)
        : fd_(fd)
        , buffer_(buffer)
    {
    }

    void write(std::string_view bytes) override
    {
        if (bytes.size() > buffer_.size() - used_)
            flush();
        if (bytes.size() > buffer_.size()) {
            write_all(bytes.data(), bytes.size());
            return;
        }
        std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }

    void flush() override
    {
        write_all(buffer_.data(), used_);
        used_ = 0;
    }

private:
    void write_all(const char* bytes, std::size_t size) const
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_, bytes, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return; // closed, full or gone: nothing to be done
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    int fd_;
    std::span<char> buffer_;
    std::size_t used_ = 0;
};

constexpr std::size_t STREAM_BUFFER_SIZE = 4096;
char output_buffer[STREAM_BUFFER_SIZE];
char error_buffer[STREAM_BUFFER_SIZE];

// Every line is flushed as it is printed, so nothing is left to flush at exit.
constinit DescriptorStream output_stream(STDOUT_FILENO, output_buffer);
constinit DescriptorStream error_stream(STDERR_FILENO, error_buffer);

} // namespace

OutputStream& standard_output()
{
    return output_stream;
}

OutputStream& standard_error()
{
    return error_stream;
}

} // namespace ravlet
