// The wire format of the POSIX stand-in for WM_COPYDATA (see
// docs/posix-window-messaging.md): one frame from the sender, a 24-byte
// header and the record's bytes, answered by an 8-byte result. Plain
// portable code: no system calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ravlet {

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

// The 8-byte reply that carries the window procedure's result.
std::array<std::uint8_t, COPYDATA_REPLY_SIZE> encode_copydata_reply(std::int64_t result);

} // namespace ravlet
