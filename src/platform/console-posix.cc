// Console streams on POSIX: a small buffer per stream, written with one
// write() per flush. Failures are dropped, as console failures must be.
#include "platform/console.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace ravlet {
namespace {

class DescriptorStream final : public OutputStream {
public:
    constexpr explicit DescriptorStream(int fd)
        : fd_(fd)
    {
    }

    void write(std::string_view bytes) override
    {
        if (bytes.size() > sizeof buffer_ - used_)
            flush();
        if (bytes.size() > sizeof buffer_) {
            write_all(bytes.data(), bytes.size());
            return;
        }
        std::memcpy(buffer_ + used_, bytes.data(), bytes.size());
        used_ += bytes.size();
    }

    void flush() override
    {
        write_all(buffer_, used_);
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
    std::size_t used_ = 0;
    char buffer_[4096] = {};
};

// Every line is flushed as it is printed, so nothing is left to flush at exit.
constinit DescriptorStream output_stream(STDOUT_FILENO);
constinit DescriptorStream error_stream(STDERR_FILENO);

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
