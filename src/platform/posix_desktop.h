// The POSIX stand-in for a desktop's top-level windows, shared by the tool
// and the stand-in messenger. See docs/posix-window-messaging.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <sys/un.h>

namespace ravlet {

// A file descriptor we own, closed when dropped.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : fd_(fd)
    {
    }
    UniqueFd(UniqueFd&& other) noexcept
        : fd_(std::exchange(other.fd_, -1))
    {
    }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

inline constexpr std::size_t COPYDATA_FRAME_HEADER_SIZE = 24;
inline constexpr std::size_t COPYDATA_REPLY_SIZE = 8;

// The 24-byte frame header: u32 message, u32 cbData, u64 wParam, u64 dwData.
std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> encode_copydata_header(std::uint32_t message,
                                                                           std::uint32_t cb_data,
                                                                           std::uint64_t w_param,
                                                                           std::uint64_t dw_data);

inline constexpr std::uint32_t MAX_COPYDATA_SIZE = 64u << 20; // what a receiver accepts

struct CopyDataHeader {
    std::uint32_t message = 0;
    std::uint32_t cb_data = 0;
    std::uint64_t w_param = 0;
    std::uint64_t dw_data = 0;
};

CopyDataHeader decode_copydata_header(const std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE>& bytes);

// Why a receiver refuses a frame with this header, or nothing when it takes it.
std::optional<std::string> copydata_header_problem(const CopyDataHeader& header);

// Assembles one WM_COPYDATA frame from the bytes of a connection, in
// whatever pieces they arrive. Memory grows with the bytes received, not with
// the size a header announces.
class CopyDataFrameReader {
public:
    enum class Status { NeedMore, Complete, Refused };

    // Takes bytes up to the end of the frame, or none once it is refused;
    // returns how many it took.
    std::size_t feed(std::span<const std::uint8_t> bytes);

    Status status() const { return status_; }
    bool nothing_received() const { return received_ == 0; }
    bool header_complete() const { return received_ >= COPYDATA_FRAME_HEADER_SIZE; }
    const CopyDataHeader& header() const { return header_; }
    std::span<const std::uint8_t> data() const { return data_; }
    // Why the frame was refused, or, when the stream ends early, what is missing.
    std::string problem() const;

private:
    Status status_ = Status::NeedMore;
    std::size_t received_ = 0;
    std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> header_bytes_{};
    CopyDataHeader header_;
    std::string refusal_;
    std::vector<std::uint8_t> data_;
};

// $XDG_RUNTIME_DIR/wm-copydata when XDG_RUNTIME_DIR is absolute, otherwise
// /tmp/wm-copydata-<euid>.
std::string desktop_directory();

// Why a desktop directory cannot be used, or nothing when it can: it must be
// a real directory (not a symbolic link), owned by the effective user, with
// no permission bits for group or others and all three for the owner.
std::optional<std::string> desktop_directory_problem(const std::string& path);

// D/T for a title that can name a window; nothing for an empty title, "." or
// "..", one with a '/', or one too long for a socket address.
std::optional<std::string> window_socket_path(const std::string& desktop, const char* title);

// The socket address of `path`, which window_socket_path has checked to fit.
sockaddr_un socket_address(const std::string& path);

// Connects to the window titled `title`, and checks that the peer runs as the
// effective user. An invalid descriptor when there is no such window.
UniqueFd connect_to_window(const char* title);

} // namespace ravlet
