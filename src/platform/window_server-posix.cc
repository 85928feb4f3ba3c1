// The receiving side of the POSIX stand-in for window messaging: a listening
// socket at D/T, one frame per connection, served one at a time as a window
// procedure would be.
#include "platform/copydata_frame.h"
#include "platform/posix_desktop.h"
#include "platform/window_server.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
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

// Stop signals are blocked except inside ppoll, so that a signal between a
// check of stop_requested and a wait cannot be missed. Every wait of the
// server, for a sender and for room in its own output alike, goes through
// wait_until_ready.
class StopSignals {
public:
    static void install()
    {
        stop_requested = 0;
        struct sigaction action {};
        action.sa_handler = request_stop;
        sigemptyset(&action.sa_mask);
        for (int sig : STOP_SIGNALS)
            ::sigaction(sig, &action, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        sigset_t block = stop_set();
        ::sigprocmask(SIG_BLOCK, &block, &waiting_mask_);
        for (int sig : STOP_SIGNALS)
            sigdelset(&waiting_mask_, sig);
        installed_ = true;
    }
    static void uninstall()
    {
        if (!installed_)
            return;
        installed_ = false;
        const sigset_t unblock = stop_set();
        ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    }
    static bool installed() { return installed_; }

    // Waits for `events` on fd (none when fd < 0) until the timeout
    // (negative: none) or a stop signal. True when the fd is ready and no
    // stop has been asked for.
    static bool wait_until_ready(int fd, short events, int timeout_ms)
    {
        pollfd entry{fd, events, 0};
        timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
        const int n = ::ppoll(&entry, fd >= 0 ? 1 : 0, timeout_ms < 0 ? nullptr : &timeout, &waiting_mask_);
        return n > 0 && !stop_requested;
    }

private:
    static constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
    static sigset_t stop_set()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : STOP_SIGNALS)
            sigaddset(&set, sig);
        return set;
    }
    static inline sigset_t waiting_mask_{};
    static inline bool installed_ = false;
};

// Set when a stop cut a write short: the line in hand did not get out whole.
bool output_cut_short = false;

// A line-buffered descriptor stream whose writes wait for room in ppoll, so
// a stop signal ends the wait; after a stop, it writes only what fits at once.
class StoppableStream final : public OutputStream {
public:
    explicit StoppableStream(int fd)
        : fd_(fd)
    {
    }
    ~StoppableStream() { flush(); }

    void write(std::string_view bytes) override { pending_.append(bytes); }
    void flush() override
    {
        write_all(pending_.data(), pending_.size());
        pending_.clear();
    }

private:
    void write_all(const char* bytes, std::size_t size) const
    {
        while (size > 0) {
            if (StopSignals::installed() && !room_for_more()) {
                output_cut_short = true;
                return;
            }
            // At most PIPE_BUF bytes: a pipe that polls writable takes them
            // without blocking.
            const ssize_t n = ::write(fd_, bytes, std::min<std::size_t>(size, PIPE_BUF));
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return; // closed, full or gone: nothing to be done
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    bool room_for_more() const
    {
        if (stop_requested) {
            pollfd entry{fd_, POLLOUT, 0};
            return ::poll(&entry, 1, 0) > 0;
        }
        while (!StopSignals::wait_until_ready(fd_, POLLOUT, -1)) {
            if (stop_requested)
                return false;
        }
        return true;
    }

    int fd_;
    std::string pending_;
};

using Clock = std::chrono::steady_clock;

void report(OutputStream& err, const std::string& text)
{
    print_line(err, "ravlet-listen: " + text);
}

// Serves one connection: one frame in, one result out.
void serve_connection(int fd, const WindowServerOptions& options, CopyDataHandler& handler, OutputStream& err)
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
        if (!StopSignals::wait_until_ready(fd, POLLIN, static_cast<int>(left))) {
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

    // The delay comes before the message is handled, so that a stop during
    // it leaves nothing printed for a sender that is told the window is gone.
    if (options.reply_delay_ms > 0) {
        StopSignals::wait_until_ready(-1, 0, static_cast<int>(options.reply_delay_ms));
        if (stop_requested) {
            report(err, "stopped while holding a message; it was not answered");
            return;
        }
    }
    output_cut_short = false;
    const std::int64_t result =
        handler.on_copy_data({frame.data(), frame.header().w_param, frame.header().dw_data, {}});
    if (output_cut_short) {
        report(err, "stopped while printing a message; it was not answered");
        return;
    }
    const std::array<std::uint8_t, COPYDATA_REPLY_SIZE> reply = encode_copydata_reply(result);
    if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(reply.size()))
        report(err, "sender went away before the result was returned");
}

// Makes D, or checks the one that is there.
std::optional<std::string> prepare_desktop(const std::string& desktop)
{
    if (::mkdir(desktop.c_str(), 0700) == 0) {
        // mkdir applies the umask; the directory must be usable by its owner.
        if (::chmod(desktop.c_str(), 0700) != 0)
            return "cannot set the mode of " + desktop + ": " + std::strerror(errno);
    } else if (errno != EEXIST) {
        return "cannot create " + desktop + ": " + std::strerror(errno);
    }
    if (std::optional<std::string> problem = desktop_directory_problem(desktop.c_str()))
        return "refusing the desktop directory: " + *problem;
    return std::nullopt;
}

std::string already_listening(const std::string& title)
{
    return "a window titled \"" + title + "\" is already listening";
}

// The lock that makes one listener the owner of a title: held for the
// listener's lifetime, it alone may replace a stale socket and bind a new one.
std::optional<std::string> lock_title(const std::string& desktop, const std::string& title, UniqueFd& lock)
{
    const std::string path = desktop + "/." + title + ".lock";
    lock = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.valid())
        return "cannot open " + path + ": " + std::strerror(errno);
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? already_listening(title) : "flock " + path + ": " + std::strerror(errno);
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
        return already_listening(title);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return "cannot remove the stale socket " + path + ": " + std::strerror(errno);
    return std::nullopt;
}

} // namespace

void prepare_listener_process()
{
    open_closed_standard_streams();
}

OutputStream& listener_output()
{
    static StoppableStream stream(STDOUT_FILENO);
    return stream;
}

OutputStream& listener_error()
{
    static StoppableStream stream(STDERR_FILENO);
    return stream;
}

std::optional<std::string> window_title_problem(const std::string& title)
{
    const std::string desktop = desktop_directory();
    if (!window_socket_path(desktop, title.c_str()))
        return "the title \"" + title + "\" cannot name a window socket in " + desktop;
    return std::nullopt;
}

std::optional<std::string> serve_window(const WindowServerOptions& options, CopyDataHandler& handler,
                                        OutputStream& err)
{
    const std::string desktop = desktop_directory();
    if (std::optional<std::string> problem = prepare_desktop(desktop))
        return problem;
    const std::optional<std::string> path = window_socket_path(desktop, options.title.c_str());
    if (!path)
        return "the title \"" + options.title + "\" cannot name a window socket in " + desktop;
    UniqueFd lock;
    if (std::optional<std::string> problem = lock_title(desktop, options.title, lock))
        return problem;
    if (std::optional<std::string> problem = claim_path(*path, options.title))
        return problem;

    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener.valid())
        return std::string("socket: ") + std::strerror(errno);
    const sockaddr_un address = socket_address(*path);
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno == EADDRINUSE)
            return already_listening(options.title);
        return "bind " + *path + ": " + std::strerror(errno);
    }
    struct stat ours {};
    ::stat(path->c_str(), &ours);
    if (::listen(listener.get(), 1024) != 0) {
        ::unlink(path->c_str());
        return std::string("listen: ") + std::strerror(errno);
    }

    StopSignals::install();
    print_line(err, "ravlet-listen: window \"" + options.title + "\" is listening at " + *path);
    while (!handler.finished() && !stop_requested) {
        if (!StopSignals::wait_until_ready(listener.get(), POLLIN, -1))
            continue;
        UniqueFd client(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.valid())
            serve_connection(client.get(), options, handler, err);
    }

    // Remove the socket only if it is still the one we bound.
    struct stat now {};
    if (::lstat(path->c_str(), &now) == 0 && now.st_ino == ours.st_ino && now.st_dev == ours.st_dev)
        ::unlink(path->c_str());
    StopSignals::uninstall();
    return std::nullopt;
}

} // namespace ravlet
