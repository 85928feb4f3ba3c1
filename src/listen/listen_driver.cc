#include "listen/listen_driver.h"

#include "listen/listen_options.h"
#include "listen/message_log.h"
#include "platform/window_server.h"

namespace ravlet {
namespace {

constexpr std::string_view HELP[] = {
    "usage: ravlet-listen [--title T] [--count N] [--reply N] [--delay-ms N] [--hex]",
    "",
    "Stands in for the Corvane NET messenger: owns a top-level window titled",
    "\"Corvane.NET\" and prints one line for every message that ravlet sends it:",
    "  #1 priority=high to=\"ann\",\"bob\" text=\"Lunch is ready\"",
    "Bytes that are not printable ASCII show as \\xNN; quotes and backslashes are escaped.",
    "",
    "  --title T      own a window titled T instead",
    "  --count N      end after N messages (status 0 if all were well-formed, else 1)",
    "  --reply N      the result returned for each message (default 1)",
    "  --delay-ms N   wait N milliseconds before handling each message",
    "  --hex          also print each packet's bytes in hex, and wParam and dwData,",
    "                 on the next two lines",
    "  --help         show this text",
    "",
    "Malformed messages (a bad packet, or wParam or dwData not 0) are reported on",
    "standard error and counted. Ctrl+C ends it.",
};

} // namespace

ListenStatus run_listen(int argc, const char* const* argv, OutputStream& out, OutputStream& err)
{
    const ListenOptionsResult parsed = parse_listen_options(argc, argv);
    if (!parsed.error.empty()) {
        print_line(err, "ravlet-listen: " + parsed.error);
        return ListenStatus::BadCommandLine;
    }
    const ListenOptions& options = parsed.options;
    if (options.help) {
        for (std::string_view line : HELP)
            print_line(out, line);
        return ListenStatus::AllWellFormed;
    }
    if (const std::optional<std::string> problem = window_title_problem(options.title)) {
        print_line(err, "ravlet-listen: " + *problem);
        return ListenStatus::BadCommandLine;
    }

    MessageLog log(options, out, err);
    if (const std::optional<std::string> problem = serve_window({options.title, options.delay_ms}, log, err)) {
        print_line(err, "ravlet-listen: " + *problem);
        return ListenStatus::Failed;
    }
    return static_cast<ListenStatus>(log.exit_status());
}

} // namespace ravlet
