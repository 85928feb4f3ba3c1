#include "packet/message_packet.h"

#include <cstring>
#include <limits>
#include <new>

namespace ravlet {
namespace {

void write_u32_le(std::uint8_t* bytes, std::size_t offset, std::uint32_t value)
{
    bytes[offset + 0] = static_cast<std::uint8_t>(value);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 2] = static_cast<std::uint8_t>(value >> 16);
    bytes[offset + 3] = static_cast<std::uint8_t>(value >> 24);
}

void copy_string(std::uint8_t* bytes, std::uint64_t& cursor, std::string_view s)
{
    if (!s.empty())
        std::memcpy(bytes + cursor, s.data(), s.size());
    cursor += s.size() + 1; // the zero fill supplies the terminator
}

} // namespace

MessagePacket build_packet(std::span<const std::string_view> recipients, std::string_view text,
                           Priority priority)
{
    // Summed in 64 bits: on a 32-bit build size_t would wrap first.
    std::uint64_t total = PACKET_HEADER_SIZE + std::uint64_t{text.size()} + 1;
    for (std::string_view r : recipients)
        total += std::uint64_t{r.size()} + 1;
    if (total > std::numeric_limits<std::uint32_t>::max())
        throw std::bad_array_new_length();

    const auto size = static_cast<std::uint32_t>(total);
    auto bytes = std::make_unique<std::uint8_t[]>(size); // zero-filled

    std::memcpy(bytes.get(), PACKET_MAGIC, sizeof PACKET_MAGIC);
    write_u32_le(bytes.get(), 4, static_cast<std::uint32_t>(priority) & 3u);
    write_u32_le(bytes.get(), 8, PACKET_HEADER_SIZE);
    write_u32_le(bytes.get(), 12, size);

    std::uint64_t cursor = PACKET_HEADER_SIZE;
    for (std::string_view r : recipients)
        copy_string(bytes.get(), cursor, r);
    copy_string(bytes.get(), cursor, text);

    return MessagePacket(std::move(bytes), size);
}

std::uint32_t read_u32_le(const std::uint8_t* bytes, std::size_t offset)
{
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
           std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}

std::uint32_t packet_total_size(const std::uint8_t* packet)
{
    return read_u32_le(packet, 12);
}

} // namespace ravlet
