// A static object that is built on first use and never destroyed, so it
// registers nothing to run at exit; for process-wide objects whose clean-up
// the end of the process does anyway.
#pragma once

#include <new>
#include <utility>

namespace ravlet {

template <typename T>
class NoDestructor {
public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args)
    {
        new (storage_) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

} // namespace ravlet
