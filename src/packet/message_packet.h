// The message packet: the one binary record handed to the messenger.
//
// Layout, all integers little-endian:
//   0  magic "CV31"
//   4  u32 priority (0 low, 1 normal, 2 high)
//   8  u32 header_size, always 16
//  12  u32 total_size, the whole packet's length
//  16  each recipient, then the text, each followed by one zero byte
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravlet {

enum class Priority : std::uint32_t { Low = 0, Normal = 1, High = 2 };

inline constexpr std::uint32_t PACKET_HEADER_SIZE = 16;
inline constexpr std::uint8_t PACKET_MAGIC[4] = {'C', 'V', '3', '1'};

// One heap block holding a whole packet; its length is its total_size field.
class MessagePacket {
public:
    MessagePacket(std::unique_ptr<std::uint8_t[]> bytes, std::uint32_t size)
        : bytes_(std::move(bytes))
        , size_(size)
    {
    }

    const std::uint8_t* data() const { return bytes_.get(); }
    std::uint32_t size() const { return size_; }
    std::span<const std::uint8_t> bytes() const { return {bytes_.get(), size_}; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::uint32_t size_;
};

// Lays the recipients, then the text, out in one exactly sized, zero-filled
// block. Throws std::bad_alloc when the block cannot be had, and
// std::bad_array_new_length when total_size would not fit in 32 bits.
MessagePacket build_packet(std::span<const std::string_view> recipients, std::string_view text,
                           Priority priority);
MessagePacket build_packet(std::span<const std::string> recipients, std::string_view text, Priority priority);

// What a packet carries, as a receiver reads it back.
struct DecodedPacket {
    Priority priority = Priority::Normal;
    std::vector<std::string> recipients;
    std::string text;
    bool operator==(const DecodedPacket&) const = default;
};

enum class PacketError {
    None,
    TooShort,          // shorter than the 16-byte header
    BadMagic,          // does not start with "CV31"
    BadHeaderSize,     // header_size is not 16
    SizeMismatch,      // total_size is not the length given
    BadPriority,       // above 2, or upper bits set
    NotTerminated,     // the last byte is not zero
    TooFewStrings,     // fewer than a recipient and a text
};

struct DecodeResult {
    PacketError error = PacketError::None;
    DecodedPacket packet; // meaningful when error is None
    bool ok() const { return error == PacketError::None; }
};

// Reads a packet of `length` bytes, and nothing outside them.
DecodeResult decode_packet(const std::uint8_t* bytes, std::size_t length);

// A short description of a decoding error, for messages.
std::string_view describe(PacketError error);

// Reads the little-endian u32 at `offset`; the caller guarantees 4 bytes there.
std::uint32_t read_u32_le(const std::uint8_t* bytes, std::size_t offset);

// The total_size field of a packet's header.
std::uint32_t packet_total_size(const std::uint8_t* packet);

} // namespace ravlet
