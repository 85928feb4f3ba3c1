#include "platform/posix_desktop.h"
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ravlet {

void UniqueFd::reset(int fd)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> encode_copydata_header(std::uint32_t message,
                                                                           std::uint32_t cb_data,
                                                                           std::uint64_t w_param,
                                                                           std::uint64_t dw_data)
{
    std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> header{};
    auto put = [&header](std::size_t offset, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            header[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0, message, 4);
    put(4, cb_data, 4);
    put(8, w_param, 8);
    put(16, dw_data, 8);
    return header;
}

CopyDataHeader decode_copydata_header(const std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE>& bytes)
{
    auto get = [&bytes](std::size_t offset, std::size_t width) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= std::uint64_t{bytes[offset + i]} << (8 * i);
        return value;
    };
    return {static_cast<std::uint32_t>(get(0, 4)), static_cast<std::uint32_t>(get(4, 4)), get(8, 8), get(16, 8)};
}

std::optional<std::string> copydata_header_problem(const CopyDataHeader& header)
{
    if (header.message != WM_COPYDATA_MESSAGE)
        return "message " + std::to_string(header.message) + " is not WM_COPYDATA (74)";
    if (header.cb_data > MAX_COPYDATA_SIZE)
        return "cbData " + std::to_string(header.cb_data) + " is over the 64 MiB limit";
    return std::nullopt;
}

std::size_t CopyDataFrameReader::feed(std::span<const std::uint8_t> bytes)
{
    std::size_t taken = 0;
    if (status_ == Status::NeedMore && received_ < COPYDATA_FRAME_HEADER_SIZE) {
        taken = std::min(bytes.size(), COPYDATA_FRAME_HEADER_SIZE - received_);
        std::copy_n(bytes.begin(), taken, header_bytes_.begin() + static_cast<std::ptrdiff_t>(received_));
        received_ += taken;
        if (received_ == COPYDATA_FRAME_HEADER_SIZE) {
            header_ = decode_copydata_header(header_bytes_);
            if (std::optional<std::string> refusal = copydata_header_problem(header_)) {
                refusal_ = std::move(*refusal);
                status_ = Status::Refused;
                return taken;
            }
            data_.reserve(std::min<std::size_t>(header_.cb_data, 1u << 20));
        }
    }
    if (status_ == Status::NeedMore && received_ >= COPYDATA_FRAME_HEADER_SIZE) {
        const std::size_t wanted = header_.cb_data - data_.size();
        const std::size_t more = std::min(bytes.size() - taken, wanted);
        data_.insert(data_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(taken),
                     bytes.begin() + static_cast<std::ptrdiff_t>(taken + more));
        taken += more;
        received_ += more;
        if (data_.size() == header_.cb_data)
            status_ = Status::Complete;
    }
    return taken;
}

std::string CopyDataFrameReader::problem() const
{
    if (status_ == Status::Refused)
        return "bad frame: " + refusal_;
    if (received_ < COPYDATA_FRAME_HEADER_SIZE)
        return "truncated frame header";
    if (status_ == Status::NeedMore)
        return "truncated frame: " + std::to_string(header_.cb_data) + " data bytes announced";
    return {};
}

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
