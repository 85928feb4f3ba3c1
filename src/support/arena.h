// A bump allocator for many small objects that all go away together, and a
// standard allocator that draws from it. Blocks come from operator new and
// grow geometrically, so a short command line costs one allocation and a
// long one a few; nothing is freed before release().
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

namespace ravlet {

class Arena {
public:
    explicit Arena(std::size_t first_block)
        : next_block_(first_block)
    {
    }
    ~Arena() { release(); }
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* allocate(std::size_t size, std::size_t alignment)
    {
        std::uintptr_t at = aligned(cursor_, alignment);
        const auto end = reinterpret_cast<std::uintptr_t>(end_);
        if (cursor_ == nullptr || at > end || size > end - at) {
            add_block(size + alignment);
            at = aligned(cursor_, alignment);
        }
        cursor_ = reinterpret_cast<char*>(at + size);
        return reinterpret_cast<void*>(at);
    }

    // Frees every block; whatever was allocated is gone.
    void release()
    {
        while (blocks_ != nullptr) {
            Block* next = blocks_->next;
            ::operator delete(blocks_);
            blocks_ = next;
        }
        cursor_ = end_ = nullptr;
    }

private:
    struct Block {
        Block* next;
    };

    static std::uintptr_t aligned(const char* at, std::size_t alignment)
    {
        return (reinterpret_cast<std::uintptr_t>(at) + alignment - 1) & ~std::uintptr_t{alignment - 1};
    }

    void add_block(std::size_t least)
    {
        if (least > SIZE_MAX / 2 - sizeof(Block))
            throw std::bad_alloc();
        std::size_t size = next_block_;
        while (size < least + sizeof(Block))
            size *= 2;
        auto* block = static_cast<Block*>(::operator new(size));
        block->next = blocks_;
        blocks_ = block;
        cursor_ = reinterpret_cast<char*>(block) + sizeof(Block);
        end_ = reinterpret_cast<char*>(block) + size;
        next_block_ = size * 2;
    }

    Block* blocks_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    std::size_t next_block_;
};

template <typename T>
class ArenaAllocator {
public:
    using value_type = T;

    explicit ArenaAllocator(Arena* arena)
        : arena_(arena)
    {
    }
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>& other) // NOLINT: allocators convert implicitly
        : arena_(other.arena())
    {
    }

    T* allocate(std::size_t n)
    {
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(arena_->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T*, std::size_t) noexcept {} // released with the arena

    Arena* arena() const { return arena_; }
    template <typename U>
    bool operator==(const ArenaAllocator<U>& other) const
    {
        return arena_ == other.arena();
    }

private:
    Arena* arena_;
};

} // namespace ravlet
