// The POSIX window-messaging layer against real sockets in a private desktop.
#include "cli/send_driver.h"
#include "packet/message_packet.h"
#include "platform/platform.h"
#include "platform/copydata_frame.h"
#include "platform/posix_desktop.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ravlet {
namespace {

namespace fs = std::filesystem;

UniqueFd listen_at(const std::string& path)
{
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = socket_address(path);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 8) != 0)
        ADD_FAILURE() << "cannot listen at " << path << ": " << std::strerror(errno);
    return fd;
}

std::string read_exactly(int fd, std::size_t size)
{
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::recv(fd, bytes.data() + got, size - got, 0);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

enum class Reply { Answer, CloseAfterFrame, CloseAtOnce };

// A window of the stand-in desktop, served by a thread for one message.
class FakeWindow {
public:
    FakeWindow(const std::string& path, Reply reply)
        : path_(path)
        , listener_(listen_at(path))
    {
        thread_ = std::thread([this, reply] {
            UniqueFd client(::accept(listener_.get(), nullptr, nullptr));
            if (reply == Reply::CloseAtOnce)
                return;
            frame = read_exactly(client.get(), COPYDATA_FRAME_HEADER_SIZE);
            if (frame.size() == COPYDATA_FRAME_HEADER_SIZE) {
                const auto* h = reinterpret_cast<const std::uint8_t*>(frame.data());
                frame += read_exactly(client.get(), read_u32_le(h, 4));
            }
            if (reply == Reply::Answer)
                ::send(client.get(), "\0\0\0\0\0\0\0\0", 8, MSG_NOSIGNAL);
        });
    }
    ~FakeWindow()
    {
        join();
        ::unlink(path_.c_str());
    }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::string frame; // what arrived, valid after join()

private:
    std::string path_;
    UniqueFd listener_;
    std::thread thread_;
};

class PosixDesktop : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ravlet-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        runtime_dir_ = pattern;
        desktop_ = runtime_dir_ + "/wm-copydata";
        ASSERT_EQ(::mkdir(desktop_.c_str(), 0700), 0);
        ::setenv("XDG_RUNTIME_DIR", runtime_dir_.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_RUNTIME_DIR");
        std::error_code ignored;
        fs::permissions(desktop_, fs::perms::owner_all, ignored);
        fs::remove_all(runtime_dir_, ignored);
    }

    std::string window_path(const char* title = MESSENGER_WINDOW_TITLE) const { return desktop_ + "/" + title; }

    // Looks the messenger window up and sends it a small packet.
    std::optional<HandOver> try_send(const MessagePacket& packet)
    {
        Platform& platform = native_platform();
        const std::optional<WindowRef> window = platform.find_window(MESSENGER_WINDOW_TITLE);
        if (!window)
            return std::nullopt;
        return platform.send_copy_data(*window, CopyData{0, packet.size(), packet.data()}, std::nullopt);
    }

    std::string runtime_dir_;
    std::string desktop_;
};

MessagePacket sample_packet()
{
    const std::string_view recipients[] = {"ann"};
    return build_packet(recipients, "hi", Priority::Normal);
}

TEST_F(PosixDesktop, SendsOneFrameAndWaitsForTheReply)
{
    const MessagePacket packet = sample_packet();
    FakeWindow window(window_path(), Reply::Answer);
    EXPECT_EQ(try_send(packet), HandOver::Delivered);
    window.join();
    EXPECT_EQ(test::to_hex(window.frame),
              "4A 00 00 00 17 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 " +
                  test::to_hex(packet.bytes()));
}

TEST_F(PosixDesktop, ReceiverClosingWithoutReplyIsAWindowGone)
{
    // SIGPIPE keeps its default here: a send that raised it would end the test.
    const MessagePacket packet = sample_packet();
    {
        FakeWindow window(window_path(), Reply::CloseAfterFrame);
        EXPECT_EQ(try_send(packet), HandOver::WindowGone);
    }
    const std::string big(4 << 20, 'x');
    const std::string_view recipients[] = {"ann"};
    const MessagePacket large = build_packet(recipients, big, Priority::Normal);
    FakeWindow window(window_path(), Reply::CloseAtOnce);
    EXPECT_EQ(try_send(large), HandOver::WindowGone);
}

TEST_F(PosixDesktop, NoWindowWithoutALiveSocketInAPrivateDesktop)
{
    const MessagePacket packet = sample_packet();
    EXPECT_EQ(try_send(packet), std::nullopt) << "no socket";

    {
        UniqueFd stale = listen_at(window_path());
    } // closed: the socket file stays, nobody listens
    EXPECT_EQ(try_send(packet), std::nullopt) << "stale socket";
    ::unlink(window_path().c_str());

    FakeWindow window(window_path(), Reply::Answer);
    // Each change spoils the desktop; the window must then not be found.
    ::chmod(desktop_.c_str(), 0750);
    EXPECT_EQ(try_send(packet), std::nullopt) << "group bits";
    ::chmod(desktop_.c_str(), 0701);
    EXPECT_EQ(try_send(packet), std::nullopt) << "others bits";
    ::chmod(desktop_.c_str(), 0700);

    const std::string moved = runtime_dir_ + "/real-desktop";
    ASSERT_EQ(::rename(desktop_.c_str(), moved.c_str()), 0);
    ASSERT_EQ(::symlink(moved.c_str(), desktop_.c_str()), 0);
    EXPECT_EQ(try_send(packet), std::nullopt) << "symbolic link";
    ::unlink(desktop_.c_str());
    ASSERT_EQ(::rename(moved.c_str(), desktop_.c_str()), 0);

    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(desktop_.c_str(), 65534, 65534), 0);
        EXPECT_EQ(try_send(packet), std::nullopt) << "owned by another user";
        ASSERT_EQ(::chown(desktop_.c_str(), 0, 0), 0);
    }

    // Unchanged again, the same window is found and served.
    EXPECT_EQ(try_send(packet), HandOver::Delivered);
}

TEST_F(PosixDesktop, ListenerOfAnotherUserIsNotAWindow)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to listen as another user";
    const std::string path = window_path();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Bound as root inside the private desktop, then listening as nobody:
        // the peer credentials are taken at listen().
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = socket_address(path);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0 || ::listen(fd, 1) != 0)
            ::_exit(1);
        ::alarm(20);
        (void)::write(ready[1], "x", 1);
        int client = ::accept(fd, nullptr, nullptr);
        char buffer[64];
        ::_exit(client >= 0 && ::recv(client, buffer, sizeof buffer, 0) > 0 ? 2 : 0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    EXPECT_EQ(try_send(sample_packet()), std::nullopt);
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "bytes reached another user";
}

TEST_F(PosixDesktop, TitlesThatCannotNameASocket)
{
    for (const char* title : {"", ".", "..", "a/b", "/"})
        EXPECT_EQ(window_socket_path(desktop_, title), std::nullopt) << title;
    EXPECT_EQ(window_socket_path(desktop_, std::string(200, 'x').c_str()), std::nullopt);
    EXPECT_EQ(window_socket_path(desktop_, "Corvane.NET"), desktop_ + "/Corvane.NET");
    EXPECT_EQ(window_socket_path(desktop_, "..."), desktop_ + "/...");
}

TEST(PosixDesktopDirectory, FromXdgRuntimeDirOrTmp)
{
    const std::string fallback = "/tmp/wm-copydata-" + std::to_string(::geteuid());
    ::setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
    EXPECT_EQ(desktop_directory(), "/run/user/7/wm-copydata");
    ::setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
    EXPECT_EQ(desktop_directory(), fallback);
    ::setenv("XDG_RUNTIME_DIR", "", 1);
    EXPECT_EQ(desktop_directory(), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(desktop_directory(), fallback);
}

class StringStream final : public OutputStream {
public:
    void write(std::string_view bytes) override { text.append(bytes); }
    void flush() override {}
    std::string text;
};

TEST_F(PosixDesktop, WholeRunDeliversThroughTheRealPlatform)
{
    FakeWindow window(window_path(), Reply::Answer);
    const char* argv[] = {"ravlet", "-r", "ann", "bob", "-m", "hi", "-p", "high"};
    StringStream out;
    StringStream err;
    EXPECT_EQ(run_send(8, argv, native_platform(), out, err), ExitStatus::Sent);
    window.join();
    EXPECT_TRUE(out.text.ends_with("Message has been sent.\n")) << out.text;
    const std::string_view recipients[] = {"ann", "bob"};
    const MessagePacket expected = build_packet(recipients, "hi", Priority::High);
    EXPECT_EQ(test::to_hex(window.frame.substr(COPYDATA_FRAME_HEADER_SIZE)), test::to_hex(expected.bytes()));
}

} // namespace
} // namespace ravlet
