// Child processes for the end-to-end tests: spawned with their standard
// output and error on pipes, which a thread keeps draining so that a child
// never blocks on a full pipe, and reaped.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ravlet::test {

struct Finished {
    int exit_code = -1; // 0-255, or -1 if ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

// Where a child's standard output goes.
enum class Stdout {
    Pipe,       // read by the test
    Closed,     // no descriptor 1 at all
    Full,       // /dev/full: every write fails with ENOSPC
    ReaderGone, // a pipe whose reading end is already closed
    Unread,     // a pipe the test holds but reads only once the child has ended
    BothClosed, // no descriptor 1 and no descriptor 2
};

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, Stdout out = Stdout::Pipe);
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads standard error until it holds `marker`; false on timeout or end.
    bool wait_for_err(const std::string& marker, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True while the child has not ended.
    bool running();
    void signal(int sig);
    // Reads both pipes to their end and reaps the child.
    Finished finish();

    int pid() const { return pid_; }

private:
    void drain(int out_fd, int err_fd);

    int pid_ = -1;
    int unread_fd_ = -1; // Stdout::Unread: read by finish()
    bool reaped_ = false;
    int wait_status_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool pipes_ended_ = false;
    std::string out_;
    std::string err_;
    std::thread reader_;
};

// Runs a program to its end.
Finished run_process(const std::vector<std::string>& argv, Stdout out = Stdout::Pipe);

} // namespace ravlet::test
