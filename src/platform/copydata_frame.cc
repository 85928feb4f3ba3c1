#include "platform/copydata_frame.h"

#include "packet/messenger_window.h"
#include "support/little_endian.h"

#include <algorithm>

namespace ravlet {

std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> encode_copydata_header(std::uint32_t message,
                                                                           std::uint32_t cb_data,
                                                                           std::uint64_t w_param,
                                                                           std::uint64_t dw_data)
{
    std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE> header{};
    write_le(header.data(), message, 4);
    write_le(header.data() + 4, cb_data, 4);
    write_le(header.data() + 8, w_param, 8);
    write_le(header.data() + 16, dw_data, 8);
    return header;
}

CopyDataHeader decode_copydata_header(const std::array<std::uint8_t, COPYDATA_FRAME_HEADER_SIZE>& bytes)
{
    return {static_cast<std::uint32_t>(read_le(bytes.data(), 4)), static_cast<std::uint32_t>(read_le(bytes.data() + 4, 4)),
            read_le(bytes.data() + 8, 8), read_le(bytes.data() + 16, 8)};
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

std::array<std::uint8_t, COPYDATA_REPLY_SIZE> encode_copydata_reply(std::int64_t result)
{
    std::array<std::uint8_t, COPYDATA_REPLY_SIZE> reply{};
    write_le(reply.data(), static_cast<std::uint64_t>(result), COPYDATA_REPLY_SIZE);
    return reply;
}

} // namespace ravlet
