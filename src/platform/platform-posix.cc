// Window messaging on POSIX, by the stand-in protocol of
// docs/posix-window-messaging.md: a top-level window titled T is a Unix-domain
// stream socket at D/T in a desktop directory D private to the user, and
// WM_COPYDATA is one frame on a fresh connection, answered by an 8-byte result.
#include "platform/copydata_frame.h"
#include "platform/platform.h"
#include "platform/posix_desktop.h"
#include "support/no_destructor.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ravlet {
namespace {

std::uint64_t now_ms()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

// When the hand-over must have ended, if it has a limit.
class Deadline {
public:
    explicit Deadline(std::optional<std::uint32_t> limit_ms)
        : end_(limit_ms ? std::optional<std::uint64_t>(now_ms() + *limit_ms) : std::nullopt)
    {
    }
    // Waits until fd is ready for `events`; false once the deadline passes.
    bool wait(int fd, short events) const
    {
        if (!end_)
            return true; // blocking calls do the waiting
        for (;;) {
            const std::uint64_t now = now_ms();
            if (now >= *end_)
                return false;
            pollfd entry{fd, events, 0};
            const int n = ::poll(&entry, 1, static_cast<int>(*end_ - now));
            if (n > 0)
                return true;
            if (n < 0 && errno != EINTR)
                return true; // let the call itself report the failure
        }
    }
    int flags() const { return end_ ? MSG_DONTWAIT : 0; }

private:
    std::optional<std::uint64_t> end_;
};

enum class Transfer { Done, Failed, TimedOut };

Transfer write_all(int fd, const std::uint8_t* bytes, std::size_t size, const Deadline& deadline)
{
    while (size > 0) {
        if (!deadline.wait(fd, POLLOUT))
            return Transfer::TimedOut;
        // MSG_NOSIGNAL: a receiver that has gone must not raise SIGPIPE.
        ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL | deadline.flags());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return Transfer::Failed;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return Transfer::Done;
}

Transfer read_all(int fd, std::uint8_t* bytes, std::size_t size, const Deadline& deadline)
{
    while (size > 0) {
        if (!deadline.wait(fd, POLLIN))
            return Transfer::TimedOut;
        ssize_t n = ::recv(fd, bytes, size, deadline.flags());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return Transfer::Failed;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return Transfer::Done;
}

class PosixPlatform final : public Platform {
public:
    bool init_framework() override
    {
        // A console whose reader has gone must not end the run by a signal.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, nullptr);
        open_closed_standard_streams();
        return true;
    }

    LeadBytes lead_bytes() override { return LeadBytes{}; }

    std::optional<WindowRef> find_window(const char* title) override
    {
        connection_ = connect_to_window(title);
        if (!connection_.valid())
            return std::nullopt;
        return WindowRef{static_cast<std::uintptr_t>(connection_.get())};
    }

    HandOver send_copy_data(WindowRef window, const CopyData& record, std::optional<std::uint32_t> limit_ms) override
    {
        const int fd = static_cast<int>(window.handle);
        const Deadline deadline(limit_ms);
        const std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> header =
            encode_copydata_header(WM_COPYDATA_MESSAGE, record.cb_data, 0, record.dw_data);
        std::uint8_t reply[COPYDATA_REPLY_SIZE];
        Transfer transfer = write_all(fd, header.data(), header.size(), deadline);
        if (transfer == Transfer::Done)
            transfer = write_all(fd, static_cast<const std::uint8_t*>(record.lp_data), record.cb_data, deadline);
        if (transfer == Transfer::Done)
            transfer = read_all(fd, reply, sizeof reply, deadline); // the result itself is not examined
        if (fd == connection_.get())
            connection_.reset();
        switch (transfer) {
        case Transfer::Done:
            return HandOver::Delivered;
        case Transfer::TimedOut:
            return HandOver::TimedOut;
        case Transfer::Failed:
            break;
        }
        return HandOver::WindowGone;
    }

    std::uint64_t monotonic_ms() override { return now_ms(); }

    void sleep_ms(std::uint32_t ms) override
    {
        timespec pause{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }

    bool read_file(const char* path, std::size_t limit, std::string& bytes, std::string& error) override
    {
        const bool standard_input = std::string_view(path) == "-";
        UniqueFd owned(standard_input ? -1 : ::open(path, O_RDONLY | O_CLOEXEC));
        const int fd = standard_input ? STDIN_FILENO : owned.get();
        if (fd < 0) {
            error = std::strerror(errno);
            return false;
        }
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = std::strerror(errno);
                return false;
            }
            if (n == 0)
                return true;
            if (static_cast<std::size_t>(n) > limit - bytes.size()) {
                error = "longer than " + std::to_string(limit) + " bytes";
                return false;
            }
            bytes.append(buffer, static_cast<std::size_t>(n)); // grows geometrically: linear in the size
        }
    }

private:
    UniqueFd connection_;
};

} // namespace

Platform& native_platform()
{
    // An open connection is closed by the end of the process.
    static NoDestructor<PosixPlatform> platform;
    return platform.get();
}

} // namespace ravlet
