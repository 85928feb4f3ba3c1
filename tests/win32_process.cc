#include "win32_process.h"

#include <stdexcept>

namespace ravlet::test {

std::string beside_this_program(const std::string& name)
{
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self(path, length);
    return self.substr(0, self.find_last_of("\\/") + 1) + name;
}

Win32Child::Win32Child(const std::string& exe_name, const std::string& arguments, const std::string* input)
{
    // A bare name is found beside this program; a path is taken as it is.
    const bool is_path = exe_name.find_first_of("\\/:") != std::string::npos;
    const std::string exe = is_path ? exe_name : beside_this_program(exe_name);
    std::string command_line = "\"" + exe + "\" " + arguments;

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out_read = nullptr;
    HANDLE out_write = nullptr;
    HANDLE err_read = nullptr;
    HANDLE err_write = nullptr;
    if (!::CreatePipe(&out_read, &out_write, &inherit, 0) || !::CreatePipe(&err_read, &err_write, &inherit, 0))
        throw std::runtime_error("CreatePipe failed");
    HANDLE in_read = nullptr;
    HANDLE in_write = nullptr;
    if (input != nullptr) {
        if (!::CreatePipe(&in_read, &in_write, &inherit, 0))
            throw std::runtime_error("CreatePipe failed");
        ::SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    }
    ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input != nullptr ? in_read : ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    const BOOL started = ::CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                         nullptr, &startup, &process_);
    const DWORD error = ::GetLastError();
    ::CloseHandle(out_write);
    ::CloseHandle(err_write);
    if (in_read != nullptr)
        ::CloseHandle(in_read);
    if (!started) {
        if (in_write != nullptr)
            ::CloseHandle(in_write);
        ::CloseHandle(out_read);
        ::CloseHandle(err_read);
        throw std::runtime_error("CreateProcessA " + exe + " failed, error " + std::to_string(error));
    }
    if (in_write != nullptr) {
        in_writer_ = std::thread([in_write, data = *input] {
            DWORD written = 0;
            for (std::size_t at = 0; at < data.size(); at += written) {
                if (!::WriteFile(in_write, data.data() + at, static_cast<DWORD>(data.size() - at), &written, nullptr))
                    break;
            }
            ::CloseHandle(in_write);
        });
    }
    out_reader_ = std::thread([this, out_read] { drain(out_read, out_); });
    err_reader_ = std::thread([this, err_read] {
        drain(err_read, err_);
        std::lock_guard lock(mutex_);
        err_ended_ = true;
        changed_.notify_all();
    });
}

Win32Child::~Win32Child()
{
    if (!finished_) {
        ::TerminateProcess(process_.hProcess, 99);
        finish();
    }
}

void Win32Child::drain(HANDLE pipe, std::string& text)
{
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::lock_guard lock(mutex_);
        text.append(buffer, got);
        changed_.notify_all();
    }
    ::CloseHandle(pipe);
}

bool Win32Child::wait_for_err(const std::string& marker, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return err_.find(marker) != std::string::npos || err_ended_; }) &&
           err_.find(marker) != std::string::npos;
}

Win32Finished Win32Child::finish()
{
    Win32Finished result;
    if (out_reader_.joinable())
        out_reader_.join();
    if (err_reader_.joinable())
        err_reader_.join();
    if (in_writer_.joinable())
        in_writer_.join();
    ::WaitForSingleObject(process_.hProcess, INFINITE);
    ::GetExitCodeProcess(process_.hProcess, &result.exit_code);
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
    finished_ = true;
    result.out = out_;
    result.err = err_;
    return result;
}

Win32Finished run_child(const std::string& exe_name, const std::string& arguments)
{
    Win32Child child(exe_name, arguments);
    return child.finish();
}

} // namespace ravlet::test
