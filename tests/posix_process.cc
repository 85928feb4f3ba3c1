#include "posix_process.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ravlet::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Stdout out_mode)
{
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int broken[2] = {-1, -1};
    switch (out_mode) {
    case Stdout::Pipe:
    case Stdout::Unread:
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        break;
    case Stdout::Closed:
    case Stdout::BothClosed:
        posix_spawn_file_actions_addclose(&actions, 1);
        break;
    case Stdout::Full:
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
        break;
    case Stdout::ReaderGone:
        if (::pipe2(broken, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2 failed");
        ::close(broken[0]);
        posix_spawn_file_actions_adddup2(&actions, broken[1], 1);
        break;
    }
    if (out_mode == Stdout::BothClosed)
        posix_spawn_file_actions_addclose(&actions, 2);
    else
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (broken[1] >= 0)
        ::close(broken[1]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error("posix_spawn " + argv[0] + " failed");
    }
    int drained_out = out[0];
    if (out_mode == Stdout::Unread) {
        unread_fd_ = out[0];
        drained_out = -1;
    }
    reader_ = std::thread([this, drained_out, err_fd = err[0]] { drain(drained_out, err_fd); });
}

ChildProcess::~ChildProcess()
{
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable())
        reader_.join();
    if (unread_fd_ >= 0)
        ::close(unread_fd_);
}

// Reads both pipes until both have ended.
void ChildProcess::drain(int out_fd, int err_fd)
{
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* text_of[2] = {&out_, &err_};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            std::lock_guard lock(mutex_);
            if (n > 0) {
                text_of[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1; // poll skips negative descriptors
            }
            changed_.notify_all();
        }
    }
    std::lock_guard lock(mutex_);
    pipes_ended_ = true;
    changed_.notify_all();
}

bool ChildProcess::wait_for_err(const std::string& marker, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout,
                             [&] { return err_.find(marker) != std::string::npos || pipes_ended_; }) &&
           err_.find(marker) != std::string::npos;
}

bool ChildProcess::running()
{
    if (reaped_)
        return false;
    if (::waitpid(pid_, &wait_status_, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

void ChildProcess::signal(int sig)
{
    if (!reaped_)
        ::kill(pid_, sig);
}

Finished ChildProcess::finish()
{
    if (reader_.joinable())
        reader_.join();
    if (!reaped_) {
        ::waitpid(pid_, &wait_status_, 0);
        reaped_ = true;
    }
    if (unread_fd_ >= 0) {
        // The child has ended: what it wrote is in the pipe, up to its end.
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::read(unread_fd_, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            out_.append(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
        ::close(unread_fd_);
        unread_fd_ = -1;
    }
    Finished finished;
    if (WIFEXITED(wait_status_))
        finished.exit_code = WEXITSTATUS(wait_status_);
    else if (WIFSIGNALED(wait_status_))
        finished.signal = WTERMSIG(wait_status_);
    finished.out = out_;
    finished.err = err_;
    return finished;
}

Finished run_process(const std::vector<std::string>& argv, Stdout out)
{
    ChildProcess child(argv, out);
    return child.finish();
}

} // namespace ravlet::test
