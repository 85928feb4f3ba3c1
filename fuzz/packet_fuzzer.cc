// build_packet and decode_packet must invert each other, and decode_packet
// must read nothing outside the bytes it is given.
//
// Input: one byte of priority, then recipients and the text, separated by
// zero bytes. The same input is also decoded as raw packet bytes.
#include "packet/message_packet.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<std::uint8_t> rebuild(const ravlet::DecodedPacket& packet)
{
    const std::vector<std::string_view> recipients(packet.recipients.begin(), packet.recipients.end());
    const ravlet::MessagePacket built = ravlet::build_packet(recipients, packet.text, packet.priority);
    return {built.data(), built.data() + built.size()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;

    ravlet::DecodedPacket message;
    message.priority = static_cast<ravlet::Priority>(data[0] % 3);
    std::vector<std::string> pieces(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0)
            pieces.emplace_back();
        else
            pieces.back() += static_cast<char>(data[i]);
    }
    if (pieces.size() < 2)
        pieces.emplace_back();
    message.text = pieces.back();
    pieces.pop_back();
    message.recipients = pieces;

    const std::vector<std::uint8_t> bytes = rebuild(message);
    const ravlet::DecodeResult decoded = ravlet::decode_packet(bytes.data(), bytes.size());
    check(decoded.ok() && decoded.packet == message);

    // Arbitrary bytes, in a block of exactly their size so that the
    // sanitizer sees any read beyond it.
    const std::vector<std::uint8_t> raw(data, data + size);
    const ravlet::DecodeResult any = ravlet::decode_packet(raw.data(), raw.size());
    if (any.ok())
        check(rebuild(any.packet) == raw);
    return 0;
}
