// Window messaging on POSIX, by the stand-in protocol of
// docs/posix-window-messaging.md: a top-level window titled T is a Unix-domain
// stream socket at D/T in a desktop directory D private to the user, and
// WM_COPYDATA is one frame on a fresh connection, answered by an 8-byte result.
#include "platform/platform.h"
#include "platform/posix_desktop.h"

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>

namespace ravlet {
namespace {

bool write_all(int fd, const std::uint8_t* bytes, std::size_t size)
{
    while (size > 0) {
        // MSG_NOSIGNAL: a receiver that has gone must not raise SIGPIPE.
        ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool read_all(int fd, std::uint8_t* bytes, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::recv(fd, bytes, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

class PosixPlatform final : public Platform {
public:
    bool init_framework() override
    {
        // A console whose reader has gone must not end the run by a signal.
        std::signal(SIGPIPE, SIG_IGN);
        // A closed standard stream would hand its number to the window
        // socket, and console output would then go to the messenger.
        for (int fd = 0; fd <= 2; ++fd) {
            if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
                ::open("/dev/null", O_RDWR);
        }
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

    HandOver send_copy_data(WindowRef window, const CopyData& record) override
    {
        const int fd = static_cast<int>(window.handle);
        const std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> header =
            encode_copydata_header(WM_COPYDATA_MESSAGE, record.cb_data, 0, record.dw_data);
        std::uint8_t reply[COPYDATA_REPLY_SIZE];
        const bool delivered = write_all(fd, header.data(), header.size()) &&
                               write_all(fd, static_cast<const std::uint8_t*>(record.lp_data), record.cb_data) &&
                               read_all(fd, reply, sizeof reply); // the result itself is not examined
        if (fd == connection_.get())
            connection_.reset();
        return delivered ? HandOver::Delivered : HandOver::WindowGone;
    }

private:
    UniqueFd connection_;
};

} // namespace

Platform& native_platform()
{
    static PosixPlatform platform;
    return platform;
}

} // namespace ravlet
