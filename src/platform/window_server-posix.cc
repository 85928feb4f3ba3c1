// The receiving side of the POSIX stand-in for window messaging: a listening
// socket at D/T, one frame per connection, served one at a time as a window
// procedure would be.
#include "platform/posix_desktop.h"
#include "platform/window_server.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ravlet {
namespace {

// How long one sender may take to deliver its frame before it is dropped, so
// that a sender that connects and stalls cannot hold the others up for long.
constexpr std::chrono::milliseconds FRAME_DEADLINE{3000};
constexpr std::chrono::milliseconds DATA_DEADLINE{10000};

volatile std::sig_atomic_t stop_requested = 0;

extern "C" void request_stop(int)
{
    stop_requested = 1;
}

// Stop signals are blocked except while waiting in ppoll, so that a signal
// between a check of stop_requested and the wait cannot be missed.
class StopSignals {
public:
    StopSignals()
    {
        stop_requested = 0;
        struct sigaction action {};
        action.sa_handler = request_stop;
        sigemptyset(&action.sa_mask);
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(sig, &action, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        sigset_t block;
        sigemptyset(&block);
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&block, sig);
        ::sigprocmask(SIG_BLOCK, &block, &waiting_mask_);
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            sigdelset(&waiting_mask_, sig);
    }
    ~StopSignals() { ::sigprocmask(SIG_UNBLOCK, &blocked(), nullptr); }

    // Waits for `events` on fd, or until the timeout (negative: none) or a
    // stop signal. Returns true when the fd is ready.
    bool wait(int fd, short events, int timeout_ms) const
    {
        pollfd entry{fd, events, 0};
        timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
        const int n = ::ppoll(&entry, fd >= 0 ? 1 : 0, timeout_ms < 0 ? nullptr : &timeout, &waiting_mask_);
        return n > 0 && !stop_requested;
    }

private:
    static const sigset_t& blocked()
    {
        static sigset_t set = [] {
            sigset_t s;
            sigemptyset(&s);
            for (int sig : {SIGINT, SIGTERM, SIGHUP})
                sigaddset(&s, sig);
            return s;
        }();
        return set;
    }
    sigset_t waiting_mask_{};
};

using Clock = std::chrono::steady_clock;

void report(OutputStream& err, const std::string& text)
{
    print_line(err, "ravlet-listen: " + text);
}

// Serves one connection: one frame in, one result out.
void serve_connection(const StopSignals& signals, int fd, const WindowServerOptions& options,
                      CopyDataHandler& handler, OutputStream& err)
{
    // The header must come quickly; a frame that has announced itself gets
    // longer for its data.
    Clock::time_point deadline = Clock::now() + FRAME_DEADLINE;
    bool header_seen = false;
    CopyDataFrameReader frame;
    std::vector<std::uint8_t> buffer(64 * 1024);
    while (frame.status() == CopyDataFrameReader::Status::NeedMore) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            report(err, "frame not sent in time; connection closed");
            return;
        }
        if (!signals.wait(fd, POLLIN, static_cast<int>(left))) {
            if (stop_requested)
                return;
            continue;
        }
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            if (!frame.nothing_received()) // silence is a sender that only looked for the window
                report(err, frame.problem() + "; connection closed");
            return;
        }
        frame.feed({buffer.data(), static_cast<std::size_t>(n)});
        if (!header_seen && frame.header_complete()) {
            header_seen = true;
            deadline += DATA_DEADLINE;
        }
    }
    if (frame.status() == CopyDataFrameReader::Status::Refused) {
        report(err, frame.problem() + "; connection closed");
        return;
    }

    const std::int64_t result = handler.on_copy_data(frame.data(), frame.header().dw_data);
    if (options.reply_delay_ms > 0) {
        signals.wait(-1, 0, static_cast<int>(options.reply_delay_ms));
        if (stop_requested)
            return; // ended while holding the message: the sender sees the window gone
    }
    std::array<std::uint8_t, COPYDATA_REPLY_SIZE> reply{};
    for (std::size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(result) >> (8 * i));
    if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size()))
        report(err, "sender went away before the result was returned");
}

// Makes D, or checks the one that is there.
std::optional<std::string> prepare_desktop(const std::string& desktop)
{
    if (::mkdir(desktop.c_str(), 0700) != 0 && errno != EEXIST)
        return "cannot create " + desktop + ": " + std::strerror(errno);
    if (std::optional<std::string> problem = desktop_directory_problem(desktop))
        return "refusing the desktop directory: " + *problem;
    return std::nullopt;
}

// Clears the way for a new socket at `path`: a stale socket is removed, a
// live one or anything that is not a socket is left alone and refused.
std::optional<std::string> claim_path(const std::string& path, const std::string& title)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return std::nullopt;
    if (!S_ISSOCK(st.st_mode))
        return path + " exists and is not a socket";
    if (connect_to_window(title.c_str()).valid())
        return "a window titled \"" + title + "\" is already listening";
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return "cannot remove the stale socket " + path + ": " + std::strerror(errno);
    return std::nullopt;
}

} // namespace

std::optional<std::string> serve_window(const WindowServerOptions& options, CopyDataHandler& handler,
                                        OutputStream& err)
{
    const std::string desktop = desktop_directory();
    if (std::optional<std::string> problem = prepare_desktop(desktop))
        return problem;
    const std::optional<std::string> path = window_socket_path(desktop, options.title.c_str());
    if (!path)
        return "the title \"" + options.title + "\" cannot name a window socket in " + desktop;
    if (std::optional<std::string> problem = claim_path(*path, options.title))
        return problem;

    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener.valid())
        return std::string("socket: ") + std::strerror(errno);
    const sockaddr_un address = socket_address(*path);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == EADDRINUSE)
            return "a window titled \"" + options.title + "\" is already listening";
        return "bind " + *path + ": " + std::strerror(errno);
    }
    struct stat ours {};
    ::stat(path->c_str(), &ours);
    if (::listen(listener.get(), 1024) != 0) {
        ::unlink(path->c_str());
        return std::string("listen: ") + std::strerror(errno);
    }

    const StopSignals signals;
    print_line(err, "ravlet-listen: window \"" + options.title + "\" is listening at " + *path);
    while (!handler.finished() && !stop_requested) {
        if (!signals.wait(listener.get(), POLLIN, -1))
            continue;
        UniqueFd client(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.valid())
            serve_connection(signals, client.get(), options, handler, err);
    }

    // Remove the socket only if it is still the one we bound.
    struct stat now {};
    if (::lstat(path->c_str(), &now) == 0 && now.st_ino == ours.st_ino && now.st_dev == ours.st_dev)
        ::unlink(path->c_str());
    return std::nullopt;
}

} // namespace ravlet
