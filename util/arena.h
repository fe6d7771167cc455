// Bump allocator for everything the input phase keeps: texts and records are
// carved out of large blocks and live until the program exits (nothing is
// freed one by one). A saved text is always terminated, so a non-null
// pointer of an empty saved text stays distinguishable from an absent one.
// When memory runs out the allocation functions return null, like malloc, so
// that the caller can drop the line it was filing with its own message.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

class arena {
public:
    arena() = default;
    arena(arena&&) = default;
    arena& operator=(arena&&) = default;
    arena(const arena&) = delete;
    arena& operator=(const arena&) = delete;

    // Raw storage of `size` bytes aligned to `align`; null when memory ran out.
    void* allocate(std::size_t size, std::size_t align);

    // A terminated, writable copy of `text`; null only when memory ran out.
    char* save_text(std::string_view text);

    // A value-initialised record in the arena; null when memory ran out.
    // Records must be trivially destructible: the arena never runs destructors.
    template <class T>
    T* make()
    {
        static_assert(std::is_trivially_destructible_v<T>);
        void* storage = allocate(sizeof(T), alignof(T));
        return storage ? ::new (storage) T{} : nullptr;
    }

    // Makes every allocation after the next `count` ones fail (tests only).
    void fail_after(std::size_t count) { fail_countdown_ = count + 1; }

    std::size_t bytes_used() const { return used_total_; }

private:
    struct block_release {
        void operator()(std::byte* block) const;
    };
    using block_pointer = std::unique_ptr<std::byte, block_release>;

    std::byte* new_block(std::size_t size);

    // One huge page: blocks are aligned to it and mapped with huge pages
    // where the kernel offers them, so a block costs one page fault.
    static constexpr std::size_t block_size = std::size_t{2} << 20;
    std::vector<block_pointer> blocks_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t used_total_ = 0;
    std::size_t fail_countdown_ = 0;  // 0: never fail
};
