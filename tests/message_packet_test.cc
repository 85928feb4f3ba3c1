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
