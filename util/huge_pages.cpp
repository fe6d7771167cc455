// The huge page advice: madvise on the 2 MiB-aligned part of a block.
#include "util/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

void advise_huge_pages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + huge_page_size - 1) / huge_page_size * huge_page_size;
    const std::uintptr_t end = (start + bytes) / huge_page_size * huge_page_size;
    if (data != nullptr && first < end)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#endif
}
