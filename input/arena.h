// Bump allocator for everything the input phase keeps: texts and records are
// carved out of large blocks and live until the program exits (nothing is
// freed one by one). A saved text is always terminated, so a non-null
// pointer of an empty saved text stays distinguishable from an absent one.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

class arena {
public:
    arena() = default;
    arena(arena&&) = default;
    arena& operator=(arena&&) = default;
    arena(const arena&) = delete;
    arena& operator=(const arena&) = delete;

    // Raw storage of `size` bytes aligned to `align`.
    void* allocate(std::size_t size, std::size_t align);

    // A terminated copy of `text`; the result is never null.
    const char* save_text(std::string_view text);

    // A record constructed in the arena. Records must be trivially
    // destructible: the arena never runs destructors.
    template <class T, class... Args>
    T* make(Args&&... args)
    {
        static_assert(std::is_trivially_destructible_v<T>);
        return ::new (allocate(sizeof(T), alignof(T))) T{std::forward<Args>(args)...};
    }

    std::size_t bytes_used() const { return used_total_; }

private:
    static constexpr std::size_t block_size = 1 << 20;
    std::vector<std::unique_ptr<std::byte[]>> blocks_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t used_total_ = 0;
};
