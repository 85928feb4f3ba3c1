#include "packet/message_packet.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace ravlet {
namespace {

using test::to_hex;

struct PacketCase {
    std::vector<std::string_view> recipients;
    std::string_view text;
    Priority priority;
    const char* hex;
};

TEST(BuildPacket, LaysOutExactBytes)
{
    const PacketCase cases[] = {
        {{"ann", "bob"}, "hi", Priority::Normal,
         "43 56 33 31 01 00 00 00 10 00 00 00 1B 00 00 00 61 6E 6E 00 62 6F 62 00 68 69 00"},
        {{"ann"}, "hi", Priority::Normal,
         "43 56 33 31 01 00 00 00 10 00 00 00 17 00 00 00 61 6E 6E 00 68 69 00"},
        {{"ann"}, "", Priority::Low, "43 56 33 31 00 00 00 00 10 00 00 00 15 00 00 00 61 6E 6E 00 00"},
        {{"ann", ""}, "hi", Priority::High,
         "43 56 33 31 02 00 00 00 10 00 00 00 18 00 00 00 61 6E 6E 00 00 68 69 00"},
        {{""}, "", Priority::Normal, "43 56 33 31 01 00 00 00 10 00 00 00 12 00 00 00 00 00"},
        {{"b", "a", "b"}, "x", Priority::Normal,
         "43 56 33 31 01 00 00 00 10 00 00 00 18 00 00 00 62 00 61 00 62 00 78 00"},
        {{"\xC4\xE4"}, "\xFF", Priority::Low,
         "43 56 33 31 00 00 00 00 10 00 00 00 15 00 00 00 C4 E4 00 FF 00"},
        // Only the two low bits of a priority reach the packet.
        {{"a"}, "b", static_cast<Priority>(7), "43 56 33 31 03 00 00 00 10 00 00 00 14 00 00 00 61 00 62 00"},
    };
    for (const PacketCase& c : cases) {
        SCOPED_TRACE(c.hex);
        const MessagePacket packet = build_packet(c.recipients, c.text, c.priority);
        EXPECT_EQ(to_hex(packet.bytes()), c.hex);
        EXPECT_EQ(packet_total_size(packet.data()), packet.size());
    }
}

TEST(BuildPacket, LongStringsKeepEveryByte)
{
    std::string text(100000, 'x');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>(1 + i % 255); // every non-zero byte value
    const std::vector<std::string_view> recipients(1000, "rcpt");
    const MessagePacket packet = build_packet(recipients, text, Priority::High);

    ASSERT_EQ(packet.size(), 16u + 1000u * 5u + text.size() + 1u);
    EXPECT_EQ(packet_total_size(packet.data()), packet.size());
    const std::string area(reinterpret_cast<const char*>(packet.data()) + 16, packet.size() - 16);
    EXPECT_EQ(area.substr(0, 10), std::string("rcpt\0rcpt\0", 10));
    EXPECT_EQ(area.substr(5000, text.size()), text);
    EXPECT_EQ(area.back(), '\0');
}

TEST(BuildPacket, RefusesTotalSizeBeyond32Bits)
{
    // 4096 views of one MiB plus the header pass 2^32 without allocating it.
    const std::string mebibyte(1u << 20, 'x');
    const std::vector<std::string_view> recipients(4096, mebibyte);
    EXPECT_THROW(build_packet(recipients, "", Priority::Normal), std::bad_alloc);
    // Exactly 2^32 bytes in all: one more than the field can hold.
    const std::vector<std::string_view> fewer(4095, mebibyte);
    const std::string_view text(mebibyte.data(), (1u << 20) - 4112);
    EXPECT_THROW(build_packet(fewer, text, Priority::Normal), std::bad_alloc);
}

} // namespace
} // namespace ravlet

namespace ravlet {
namespace {

// Decodes from a heap copy of exactly `bytes`, so a sanitizer sees any read
// past the end.
DecodeResult decode_copy(std::span<const std::uint8_t> bytes)
{
    const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    return decode_packet(copy.data(), copy.size());
}

std::vector<std::uint8_t> rebuild(const DecodedPacket& decoded)
{
    const std::vector<std::string_view> recipients(decoded.recipients.begin(), decoded.recipients.end());
    const MessagePacket packet = build_packet(recipients, decoded.text, decoded.priority);
    return {packet.data(), packet.data() + packet.size()};
}

TEST(DecodePacket, InvertsBuildPacket)
{
    const std::vector<DecodedPacket> messages = {
        {Priority::Normal, {"ann", "bob"}, "hi"},
        {Priority::Low, {""}, ""},
        {Priority::High, {"ann", "", "ann"}, "text with\ttab and \xFF bytes"},
        {Priority::Normal, std::vector<std::string>(300, "r"), std::string(70000, 'x')},
    };
    for (const DecodedPacket& message : messages) {
        const std::vector<std::uint8_t> bytes = rebuild(message);
        const DecodeResult result = decode_copy(bytes);
        ASSERT_TRUE(result.ok()) << describe(result.error);
        EXPECT_EQ(result.packet, message);
    }
}

TEST(DecodePacket, NamesWhatIsWrong)
{
    auto with = [](std::vector<std::uint8_t> bytes, std::size_t offset, std::uint8_t value) {
        bytes[offset] = value;
        return bytes;
    };
    const std::vector<std::uint8_t> good = rebuild({Priority::Normal, {"ann"}, "hi"}); // 23 bytes
    struct Case {
        std::vector<std::uint8_t> bytes;
        PacketError error;
    };
    const Case cases[] = {
        {{}, PacketError::TooShort},
        {{good.begin(), good.begin() + 15}, PacketError::TooShort},
        {with(good, 3, '2'), PacketError::BadMagic},
        {with(good, 8, 17), PacketError::BadHeaderSize},
        {with(good, 11, 1), PacketError::BadHeaderSize},
        {with(good, 12, 22), PacketError::SizeMismatch},
        {{good.begin(), good.end() - 1}, PacketError::SizeMismatch},
        {with(good, 4, 3), PacketError::BadPriority},
        {with(good, 7, 0x80), PacketError::BadPriority},
        {with(good, 22, 'x'), PacketError::NotTerminated},
        {with(good, 19, 'x'), PacketError::TooFewStrings},
        {{0x43, 0x56, 0x33, 0x31, 1, 0, 0, 0, 16, 0, 0, 0, 16, 0, 0, 0}, PacketError::TooFewStrings},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::to_hex(c.bytes));
        EXPECT_EQ(decode_copy(c.bytes).error, c.error);
    }
    EXPECT_EQ(decode_packet(nullptr, 0).error, PacketError::TooShort);
}

// Every truncation and every single-byte change of a valid packet is either
// rejected, or read as a message that builds back into exactly those bytes.
TEST(DecodePacket, DamagedPacketsAreRejectedOrReadExactly)
{
    const std::vector<std::uint8_t> good = rebuild({Priority::High, {"ann", "", "bob"}, "hi"});
    auto check = [](const std::vector<std::uint8_t>& bytes) {
        const DecodeResult result = decode_copy(bytes);
        if (result.ok()) {
            EXPECT_EQ(rebuild(result.packet), bytes) << test::to_hex(bytes);
        }
    };
    for (std::size_t length = 0; length < good.size(); ++length)
        check({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)});
    std::size_t accepted = 0;
    for (std::size_t offset = 0; offset < good.size(); ++offset) {
        for (unsigned value = 0; value < 256; ++value) {
            std::vector<std::uint8_t> bytes = good;
            bytes[offset] = static_cast<std::uint8_t>(value);
            check(bytes);
            accepted += decode_copy(bytes).ok() ? 1u : 0u;
        }
    }
    EXPECT_GT(accepted, good.size()); // the changed strings and priorities that stay valid
}

} // namespace
} // namespace ravlet
