#include "listen/message_log.h"

#include "packet/message_packet.h"
#include "support/hex_digits.h"

#include <optional>

namespace ravlet {
namespace {


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
        append_hex_byte(line, b);
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
            append_hex_byte(quoted, b);
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

namespace {

std::string hex_number(std::uint64_t value)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), hex_digit(static_cast<unsigned>(value & 15)));
        value >>= 4;
    } while (value != 0);
    return "0x" + digits;
}

// Why a message is malformed, or nothing when it is well-formed. The tool
// always sends wParam 0 and dwData 0.
std::optional<std::string> message_problem(const CopyDataMessage& message, const DecodeResult& decoded)
{
    if (!message.record_problem.empty())
        return std::string(message.record_problem);
    if (message.w_param != 0)
        return "wParam is " + hex_number(message.w_param) + ", not 0";
    if (message.dw_data != 0)
        return "dwData is " + hex_number(message.dw_data) + ", not 0";
    if (!decoded.ok())
        return std::string(describe(decoded.error));
    return std::nullopt;
}

} // namespace

std::int64_t MessageLog::on_copy_data(const CopyDataMessage& message)
{
    const std::uint64_t number = ++received_;
    const std::span<const std::uint8_t> data = message.data;
    const DecodeResult decoded = decode_packet(data.data(), data.size());
    const std::optional<std::string> problem = message_problem(message, decoded);
    OutputStream& stream = problem ? err_ : out_;
    if (!problem) {
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
        print_line(err_, "ravlet-listen: message #" + std::to_string(number) + " is malformed: " + *problem + " (" +
                             std::to_string(data.size()) + " bytes)");
    }
    if (options_.hex) {
        print_line(stream, hex_line(data));
        print_line(stream, "  wParam=" + hex_number(message.w_param) + " dwData=" + hex_number(message.dw_data));
    }
    return options_.reply;
}

bool MessageLog::finished() const
{
    return options_.count && received_ >= *options_.count;
}

int MessageLog::exit_status() const
{
    return malformed_ == 0 ? 0 : 1;
}

} // namespace ravlet
