// Block allocation for the arena: big requests get a block of their own, small
// ones are carved from the current block.
#include "util/arena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::size_t padding_for(const std::byte* at, std::size_t align)
{
    return (align - reinterpret_cast<std::uintptr_t>(at) % align) % align;
}

// Maps the whole block in one system call instead of one page fault per page
// as the block fills up (the block is used to its end anyway), with huge
// pages where the kernel offers them. Only hints: without them the pages
// are faulted in as usual.
void prefault(std::byte* block, std::size_t size)
{
#ifdef MADV_HUGEPAGE
    madvise(block, size, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    madvise(block, size, MADV_POPULATE_WRITE);
#endif
    (void)block;
    (void)size;
}

}  // namespace

void arena::block_release::operator()(std::byte* block) const
{
    std::free(block);
}

// A new block of `size` bytes (rounded up to whole blocks), its pages
// mapped; null when memory ran out.
std::byte* arena::new_block(std::size_t size)
{
    const std::size_t rounded = (size + block_size - 1) / block_size * block_size;
    block_pointer block(static_cast<std::byte*>(std::aligned_alloc(block_size, rounded)));
    if (!block)
        return nullptr;
    try {
        blocks_.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    prefault(blocks_.back().get(), rounded);
    return blocks_.back().get();
}

void* arena::allocate(std::size_t size, std::size_t align)
{
    if (fail_countdown_ > 0 && --fail_countdown_ == 0) {
        fail_countdown_ = 1;  // keep failing
        return nullptr;
    }
    if (size + align > block_size / 4) {
        // An oversized request gets a block of its own; the current block stays.
        // (Blocks are aligned to their own size: room for the padding is needed only beyond that.)
        std::byte* own = new_block(align <= block_size ? size : size + align);
        if (own == nullptr)
            return nullptr;
        used_total_ += size;
        return own + padding_for(own, align);
    }
    std::size_t pad = next_ ? padding_for(next_, align) : 0;
    if (next_ == nullptr || pad + size > left_) {
        std::byte* block = new_block(block_size);
        if (block == nullptr)
            return nullptr;
        next_ = block;
        left_ = block_size;
        pad = padding_for(next_, align);
    }
    std::byte* result = next_ + pad;
    next_ += pad + size;
    left_ -= pad + size;
    used_total_ += size;
    return result;
}

char* arena::save_text(std::string_view text)
{
    char* copy = static_cast<char*>(allocate(text.size() + 1, 1));
    if (copy == nullptr)
        return nullptr;
    if (!text.empty())
        std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}
