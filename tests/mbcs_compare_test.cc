#include "support/mbcs_compare.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace ravlet {
namespace {

using test::shift_jis_like;

int sign(int v)
{
    return (v > 0) - (v < 0);
}

struct CompareCase {
    std::string_view a;
    std::string_view b;
    int single_byte; // expected sign without lead bytes
    int double_byte; // expected sign with Shift-JIS-like lead bytes
};

TEST(MbcsCompare, OrdersByUnsignedCharacters)
{
    const LeadBytes sjis = shift_jis_like();
    const CompareCase cases[] = {
        {"", "", 0, 0},
        {"-r", "-r", 0, 0},
        {"-r", "-R", 1, 1},
        {"-r", "-rx", -1, -1},
        {"\x7F", "\x80", -1, -1},
        {"a", "\xFF", -1, -1},
        // A lone lead byte at the end is the end of the string.
        {"-r\x81", "-r", 1, 0},
        {"\x81", "", 1, 0},
        {"\xE0", "\x81", 1, 0},
        // Double-byte characters compare as lead * 256 + trail, so a lead
        // byte's character sorts above any single byte.
        {"\x81\x40", "\x81\x41", -1, -1},
        {"\x81\x40", "\xA0", -1, 1},
        {"\x81\x40z", "\x81\x40", 1, 1},
        // The trail byte is not a character of its own: 0x81 'r' is not 'r'.
        {"\x81r", "\x81R", 1, 1},
    };
    for (const CompareCase& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.a << "\" vs \"" << c.b << '"');
        EXPECT_EQ(sign(mbcs_compare(c.a, c.b, LeadBytes{})), c.single_byte);
        EXPECT_EQ(sign(mbcs_compare(c.b, c.a, LeadBytes{})), -c.single_byte);
        EXPECT_EQ(sign(mbcs_compare(c.a, c.b, sjis)), c.double_byte);
        EXPECT_EQ(sign(mbcs_compare(c.b, c.a, sjis)), -c.double_byte);
    }
}

TEST(MbcsCompare, IgnoringCaseFoldsOnlyAsciiLettersOfSingleByteCharacters)
{
    const LeadBytes sjis = shift_jis_like();
    EXPECT_TRUE(mbcs_equal_ignoring_case("HIGH", "high", sjis));
    EXPECT_TRUE(mbcs_equal_ignoring_case("lOw", "low", LeadBytes{}));
    EXPECT_FALSE(mbcs_equal_ignoring_case(" low", "low", LeadBytes{}));
    EXPECT_FALSE(mbcs_equal_ignoring_case("lowest", "low", LeadBytes{}));
    EXPECT_FALSE(mbcs_equal_ignoring_case("\xC4", "\xE4", LeadBytes{})); // no Latin-1 folding
    EXPECT_FALSE(mbcs_equal_ignoring_case("[", "{", LeadBytes{}));
    // Trail bytes are not folded: 0x81 'A' and 0x81 'a' are two characters.
    EXPECT_FALSE(mbcs_equal_ignoring_case("\x81" "A", "\x81" "a", sjis));
    EXPECT_TRUE(mbcs_equal_ignoring_case("low\x81", "LOW", sjis));
    EXPECT_FALSE(mbcs_equal_ignoring_case("low\x81", "LOW", LeadBytes{}));
}

} // namespace
} // namespace ravlet
