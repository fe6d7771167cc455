// Asks the system to back a large block of memory with huge pages where it
// offers them on request (Linux transparent huge pages in "madvise" mode):
// a block filled in random order, or once from start to end, then takes one
// page fault per 2 MiB instead of one per 4 KiB, and fewer TLB misses. Only
// the whole huge pages inside the block are advised; a small block, or a
// system without the feature, is left as it is. The contents never change.
#pragma once

#include <cstddef>

inline constexpr std::size_t huge_page_size = std::size_t{2} << 20;

void advise_huge_pages(void* data, std::size_t bytes);

// The same for the room a vector has reserved.
template <class Vector>
void advise_huge_pages(Vector& vector)
{
    advise_huge_pages(static_cast<void*>(vector.data()), vector.capacity() * sizeof(*vector.data()));
}
