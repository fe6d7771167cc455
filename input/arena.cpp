// Block allocation for the arena: big requests get a block of their own, small
// ones are carved from the current block.
#include "input/arena.h"

#include <cstdint>
#include <cstring>

namespace {

std::size_t padding_for(const std::byte* at, std::size_t align)
{
    return (align - reinterpret_cast<std::uintptr_t>(at) % align) % align;
}

}  // namespace

void* arena::allocate(std::size_t size, std::size_t align)
{
    used_total_ += size;
    if (size + align > block_size / 4) {
        // An oversized request gets a block of its own; the current block stays.
        blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(size + align));
        std::byte* own = blocks_.back().get();
        return own + padding_for(own, align);
    }
    std::size_t pad = next_ ? padding_for(next_, align) : 0;
    if (next_ == nullptr || pad + size > left_) {
        blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(block_size));
        next_ = blocks_.back().get();
        left_ = block_size;
        pad = padding_for(next_, align);
    }
    std::byte* result = next_ + pad;
    next_ += pad + size;
    left_ -= pad + size;
    return result;
}

const char* arena::save_text(std::string_view text)
{
    char* copy = static_cast<char*>(allocate(text.size() + 1, 1));
    if (!text.empty())
        std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}
