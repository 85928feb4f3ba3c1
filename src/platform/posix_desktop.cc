#include "platform/posix_desktop.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ravlet {

namespace {

// Appends to a fixed buffer, and remembers when something did not fit.
class PathWriter {
public:
    PathWriter(char* buffer, std::size_t capacity)
        : buffer_(buffer)
        , capacity_(capacity)
    {
    }
    PathWriter& operator<<(std::string_view text)
    {
        if (text.size() >= capacity_ - length_) {
            fits_ = false;
            return *this;
        }
        std::memcpy(buffer_ + length_, text.data(), text.size());
        length_ += text.size();
        buffer_[length_] = '\0';
        return *this;
    }
    bool fits() const { return fits_; }

private:
    char* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool fits_ = true;
};

// D, by the rule of desktop_directory(), handed piece by piece to `append`,
// so it can go into a string or straight into a socket address.
template <typename Append>
void write_desktop_directory(Append append)
{
    const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    if (runtime_dir != nullptr && runtime_dir[0] == '/') {
        append(runtime_dir);
        append("/wm-copydata");
        return;
    }
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, ::geteuid());
    append("/tmp/wm-copydata-");
    append(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

bool title_can_name_window(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

} // namespace

std::string desktop_directory()
{
    std::string path;
    write_desktop_directory([&path](std::string_view piece) { path += piece; });
    return path;
}

std::optional<std::string> desktop_directory_problem(const char* path_text)
{
    struct stat st {};
    if (::lstat(path_text, &st) != 0)
        return std::string("cannot stat ") + path_text + ": " + std::strerror(errno);
    const std::string_view path = path_text;
    if (!S_ISDIR(st.st_mode))
        return std::string(path) + " is not a directory";
    if (st.st_uid != ::geteuid())
        return std::string(path) + " is not owned by the current user";
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return std::string(path) + " is open to group or others (want mode 0700)";
    // Checked even though root could pass: a desktop its owner has shut is shut.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        return std::string(path) + " is not open to its owner (want mode 0700)";
    return std::nullopt;
}

std::optional<std::string> window_socket_path(const std::string& desktop, const char* title)
{
    const std::string_view name = title == nullptr ? std::string_view{} : std::string_view{title};
    if (!title_can_name_window(name))
        return std::nullopt;
    std::string path = desktop + "/" + std::string(name);
    if (path.size() >= sizeof(sockaddr_un::sun_path))
        return std::nullopt;
    return path;
}

sockaddr_un socket_address(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
    return address;
}

namespace {

bool peer_is_effective_user(int fd)
{
#if defined(SO_PEERCRED)
    struct ucred credentials {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::geteuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    if (::getpeereid(fd, &uid, &gid) != 0)
        return false;
    return uid == ::geteuid();
#endif
}

} // namespace

void open_closed_standard_streams()
{
    // One poll tells which are closed (POLLNVAL); each open() then takes the
    // lowest free number, so they are filled in order.
    pollfd streams[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    if (::poll(streams, 3, 0) < 0)
        return;
    for (const pollfd& stream : streams) {
        if ((stream.revents & POLLNVAL) != 0)
            ::open("/dev/null", O_RDWR);
    }
}

UniqueFd connect_to_window(const char* title)
{
    // D/T is built in the socket address itself: a send makes no string.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    PathWriter path(address.sun_path, sizeof address.sun_path);
    write_desktop_directory([&path](std::string_view piece) { path << piece; });
    const std::string_view name = title == nullptr ? std::string_view{} : std::string_view{title};
    if (!path.fits() || desktop_directory_problem(address.sun_path) || !title_can_name_window(name))
        return UniqueFd{};
    path << "/" << name;
    if (!path.fits())
        return UniqueFd{};

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return UniqueFd{};
    // No such socket, a stale one (refused) or any other failure: no window.
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        !peer_is_effective_user(fd.get()))
        return UniqueFd{};
    return fd;
}

} // namespace ravlet
