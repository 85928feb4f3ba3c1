#include "platform/posix_desktop.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ravlet {

std::string desktop_directory()
{
    const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    if (runtime_dir != nullptr && runtime_dir[0] == '/')
        return std::string(runtime_dir) + "/wm-copydata";
    return "/tmp/wm-copydata-" + std::to_string(::geteuid());
}

std::optional<std::string> desktop_directory_problem(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return std::string("cannot stat ") + path + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return path + " is not a directory";
    if (st.st_uid != ::geteuid())
        return path + " is not owned by the current user";
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return path + " is open to group or others (want mode 0700)";
    // Checked even though root could pass: a desktop its owner has shut is shut.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        return path + " is not open to its owner (want mode 0700)";
    return std::nullopt;
}

std::optional<std::string> window_socket_path(const std::string& desktop, const char* title)
{
    const std::string_view name = title == nullptr ? std::string_view{} : std::string_view{title};
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
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

UniqueFd connect_to_window(const char* title)
{
    const std::string desktop = desktop_directory();
    if (desktop_directory_problem(desktop))
        return UniqueFd{};
    const std::optional<std::string> path = window_socket_path(desktop, title);
    if (!path)
        return UniqueFd{};

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return UniqueFd{};
    const sockaddr_un address = socket_address(*path);
    // No such socket, a stale one (refused) or any other failure: no window.
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        !peer_is_effective_user(fd.get()))
        return UniqueFd{};
    return fd;
}

} // namespace ravlet
