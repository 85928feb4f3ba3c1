#include "packet/message_packet.h"
#include "support/little_endian.h"

#include <cstring>
#include <limits>
#include <new>

namespace ravlet {
namespace {

void copy_string(std::uint8_t* bytes, std::uint64_t& cursor, std::string_view s)
{
    if (!s.empty())
        std::memcpy(bytes + cursor, s.data(), s.size());
    cursor += s.size() + 1; // the zero fill supplies the terminator
}

// For lists of views and of strings alike, without converting one to the other.
template <typename String>
MessagePacket build_packet_from(std::span<const String> recipients, std::string_view text, Priority priority)
{
    // Summed in 64 bits: on a 32-bit build size_t would wrap first.
    std::uint64_t total = PACKET_HEADER_SIZE + std::uint64_t{text.size()} + 1;
    for (const String& r : recipients)
        total += std::uint64_t{r.size()} + 1;
    if (total > std::numeric_limits<std::uint32_t>::max())
        throw std::bad_array_new_length();

    const auto size = static_cast<std::uint32_t>(total);
    auto bytes = std::make_unique<std::uint8_t[]>(size); // zero-filled

    std::memcpy(bytes.get(), PACKET_MAGIC, sizeof PACKET_MAGIC);
    write_le(bytes.get() + 4, static_cast<std::uint32_t>(priority) & 3u, 4);
    write_le(bytes.get() + 8, PACKET_HEADER_SIZE, 4);
    write_le(bytes.get() + 12, size, 4);

    std::uint64_t cursor = PACKET_HEADER_SIZE;
    for (const String& r : recipients)
        copy_string(bytes.get(), cursor, r);
    copy_string(bytes.get(), cursor, text);

    return MessagePacket(std::move(bytes), size);
}

} // namespace

MessagePacket build_packet(std::span<const std::string_view> recipients, std::string_view text,
                           Priority priority)
{
    return build_packet_from(recipients, text, priority);
}

MessagePacket build_packet(std::span<const std::string> recipients, std::string_view text, Priority priority)
{
    return build_packet_from(recipients, text, priority);
}

DecodeResult decode_packet(const std::uint8_t* bytes, std::size_t length)
{
    DecodeResult result;
    auto fail = [&result](PacketError error) {
        result.error = error;
        return result;
    };
    if (bytes == nullptr || length < PACKET_HEADER_SIZE)
        return fail(PacketError::TooShort);
    if (std::memcmp(bytes, PACKET_MAGIC, sizeof PACKET_MAGIC) != 0)
        return fail(PacketError::BadMagic);
    if (read_u32_le(bytes, 8) != PACKET_HEADER_SIZE)
        return fail(PacketError::BadHeaderSize);
    if (packet_total_size(bytes) != length)
        return fail(PacketError::SizeMismatch);
    const std::uint32_t priority = read_u32_le(bytes, 4);
    if (priority > static_cast<std::uint32_t>(Priority::High))
        return fail(PacketError::BadPriority);
    if (bytes[length - 1] != 0)
        return fail(PacketError::NotTerminated);

    // Every string ends at a zero byte, and the last byte is one, so the
    // scan stays inside the block.
    std::vector<std::string_view> strings;
    const char* area = reinterpret_cast<const char*>(bytes) + PACKET_HEADER_SIZE;
    const std::size_t area_size = length - PACKET_HEADER_SIZE;
    for (std::size_t start = 0; start < area_size;) {
        const std::size_t end = std::string_view(area + start, area_size - start).find('\0') + start;
        strings.emplace_back(area + start, end - start);
        start = end + 1;
    }
    if (strings.size() < 2)
        return fail(PacketError::TooFewStrings);

    result.packet.priority = static_cast<Priority>(priority);
    result.packet.recipients.assign(strings.begin(), strings.end() - 1);
    result.packet.text = strings.back();
    return result;
}

std::string_view describe(PacketError error)
{
    switch (error) {
    case PacketError::None:
        return "well-formed";
    case PacketError::TooShort:
        return "shorter than the 16-byte header";
    case PacketError::BadMagic:
        return "magic is not CV31";
    case PacketError::BadHeaderSize:
        return "header_size is not 16";
    case PacketError::SizeMismatch:
        return "total_size does not match the length";
    case PacketError::BadPriority:
        return "priority is not 0, 1 or 2";
    case PacketError::NotTerminated:
        return "last byte is not zero";
    case PacketError::TooFewStrings:
        return "fewer than one recipient and a text";
    }
    return "unknown error";
}

std::uint32_t read_u32_le(const std::uint8_t* bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(read_le(bytes + offset, 4));
}

std::uint32_t packet_total_size(const std::uint8_t* packet)
{
    return read_u32_le(packet, 12);
}

} // namespace ravlet
