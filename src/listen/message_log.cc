#include "listen/message_log.h"

#include "packet/message_packet.h"

namespace ravlet {
namespace {

constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

std::string_view priority_word(Priority priority)
{
    switch (priority) {
    case Priority::Low:
        return "low";
    case Priority::High:
        return "high";
    case Priority::Normal:
        break;
    }
    return "normal";
}

std::string hex_line(std::span<const std::uint8_t> data)
{
    std::string line = " ";
    line.reserve(1 + data.size() * 3);
    for (std::uint8_t b : data) {
        line += ' ';
        line += HEX_DIGITS[b >> 4];
        line += HEX_DIGITS[b & 15];
    }
    return line;
}

} // namespace

std::string quote_bytes(std::string_view bytes)
{
    std::string quoted = "\"";
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (b >= 0x20 && b < 0x7F) {
            quoted += c;
        } else {
            quoted += "\\x";
            quoted += HEX_DIGITS[b >> 4];
            quoted += HEX_DIGITS[b & 15];
        }
    }
    quoted += '"';
    return quoted;
}

MessageLog::MessageLog(const ListenOptions& options, OutputStream& out, OutputStream& err)
    : options_(options)
    , out_(out)
    , err_(err)
{
}

std::int64_t MessageLog::on_copy_data(std::span<const std::uint8_t> data, std::uint64_t)
{
    const std::uint64_t number = ++received_;
    const DecodeResult decoded = decode_packet(data.data(), data.size());
    OutputStream& stream = decoded.ok() ? out_ : err_;
    if (decoded.ok()) {
        std::string line = "#";
        line.append(std::to_string(number)).append(" priority=").append(priority_word(decoded.packet.priority));
        line.append(" to=");
        for (std::size_t i = 0; i < decoded.packet.recipients.size(); ++i) {
            if (i > 0)
                line += ',';
            line.append(quote_bytes(decoded.packet.recipients[i]));
        }
        line.append(" text=").append(quote_bytes(decoded.packet.text));
        print_line(out_, line);
    } else {
        ++malformed_;
        print_line(err_, "ravlet-listen: message #" + std::to_string(number) + " is malformed: " +
                             std::string(describe(decoded.error)) + " (" + std::to_string(data.size()) + " bytes)");
    }
    if (options_.hex)
        print_line(stream, hex_line(data));
    return options_.reply;
}

bool MessageLog::finished() const
{
    return options_.count && received_ >= *options_.count;
}

} // namespace ravlet
