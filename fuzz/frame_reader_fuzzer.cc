// The listener's frame reader, fed arbitrary bytes in arbitrary pieces: it
// must come to the same frame however the bytes are split, take no byte past
// the frame, and never read outside what it is given.
//
// Input: one byte choosing the piece size, then the bytes of the connection.
#include "platform/copydata_frame.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

using ravlet::CopyDataFrameReader;

std::size_t feed_all(CopyDataFrameReader& reader, const std::vector<std::uint8_t>& bytes, std::size_t piece)
{
    std::size_t taken = 0;
    for (std::size_t at = 0; at < bytes.size() && reader.status() == CopyDataFrameReader::Status::NeedMore;
         at += piece) {
        // Each piece in a block of its own size, as recv would fill a buffer.
        const std::size_t length = std::min(piece, bytes.size() - at);
        const std::vector<std::uint8_t> chunk(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                              bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
        const std::size_t took = reader.feed(chunk);
        check(took <= length);
        taken += took;
        if (took < length)
            check(reader.status() != CopyDataFrameReader::Status::NeedMore);
    }
    return taken;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = data[0] % 64 + 1;
    const std::vector<std::uint8_t> bytes(data + 1, data + size);

    CopyDataFrameReader whole;
    const std::size_t taken_whole = feed_all(whole, bytes, bytes.size() + 1);
    CopyDataFrameReader pieces;
    const std::size_t taken_pieces = feed_all(pieces, bytes, piece);

    check(whole.status() == pieces.status());
    check(taken_whole == taken_pieces);
    check(whole.problem() == pieces.problem());
    switch (whole.status()) {
    case CopyDataFrameReader::Status::Complete:
        check(whole.header().message == 0x4A && whole.header().cb_data <= ravlet::MAX_COPYDATA_SIZE);
        check(taken_whole == ravlet::COPYDATA_FRAME_HEADER_SIZE + whole.header().cb_data);
        check(whole.data().size() == whole.header().cb_data);
        check(std::equal(whole.data().begin(), whole.data().end(), pieces.data().begin(), pieces.data().end()));
        check(whole.data().empty() ||
              std::memcmp(whole.data().data(), bytes.data() + ravlet::COPYDATA_FRAME_HEADER_SIZE,
                          whole.data().size()) == 0);
        check(whole.problem().empty());
        break;
    case CopyDataFrameReader::Status::Refused:
        check(taken_whole == ravlet::COPYDATA_FRAME_HEADER_SIZE && !whole.problem().empty());
        break;
    case CopyDataFrameReader::Status::NeedMore:
        check(taken_whole == bytes.size() && (bytes.empty() || !whole.problem().empty()));
        break;
    }
    return 0;
}
