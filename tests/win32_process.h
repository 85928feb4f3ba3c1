// Child processes for the Windows tests: started by CreateProcessA from a
// raw command line, so the C run time's splitting of it is part of what is
// tested, with standard output and error drained by threads.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace ravlet::test {

struct Win32Finished {
    DWORD exit_code = 0;
    std::string out;
    std::string err;
};

class Win32Child {
public:
    // Starts `exe_name`, found beside the running test unless it is a path,
    // with `arguments` appended to its quoted path.
    // With `input`, the child's standard input is a pipe that carries it and
    // then ends.
    Win32Child(const std::string& exe_name, const std::string& arguments, const std::string* input = nullptr);
    ~Win32Child(); // ends the child if it still runs
    Win32Child(const Win32Child&) = delete;
    Win32Child& operator=(const Win32Child&) = delete;

    void terminate() { ::TerminateProcess(process_.hProcess, 99); }
    bool running() const { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits until standard error holds `marker`; false on timeout, or once
    // it has ended without it.
    bool wait_for_err(const std::string& marker, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    Win32Finished finish();
    std::string err_so_far()
    {
        std::lock_guard lock(mutex_);
        return err_;
    }

private:
    void drain(HANDLE pipe, std::string& text);

    PROCESS_INFORMATION process_{};
    bool finished_ = false;
    bool err_ended_ = false; // the child's standard error has reached its end
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string out_;
    std::string err_;
    std::thread out_reader_;
    std::thread err_reader_;
    std::thread in_writer_;
};

Win32Finished run_child(const std::string& exe_name, const std::string& arguments);

// The path of `name` in the folder of the running program.
std::string beside_this_program(const std::string& name);

} // namespace ravlet::test
