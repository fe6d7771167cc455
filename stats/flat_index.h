// A flat hash index for the statistic builders: maps a key to a small value
// (a position in a table the builder keeps in order of first appearance, or
// a pointer to a record). The caller hashes each key once and passes the
// hash, so one text hash can serve several indexes. Open addressing with
// linear probing in one array, at most half full, no erasure. A slot keeps
// the key, 32 bits of its hash and the value: a look-up compares keys (and
// so reads their texts) only where those bits agree. Keys only point at
// texts, which must outlive the index. Growing may throw std::bad_alloc;
// the index then stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "util/huge_pages.h"

template <class Key, class Value, class Equal>
class flat_index {
    static_assert(std::is_trivially_copyable_v<Key> && std::is_trivially_copyable_v<Value>);

public:
    // Room for `count` keys without growing.
    void reserve(std::size_t count)
    {
        std::size_t capacity = 16;
        while (capacity < 2 * count)
            capacity *= 2;
        if (capacity > capacity_)
            rehash(capacity);
    }

    // The value of `key` (whose hash is `hash`), or null.
    Value* find(const Key& key, std::size_t hash)
    {
        if (capacity_ == 0)
            return nullptr;
        slot& s = slots_[locate(key, tag_of(hash))];
        return s.tag ? &s.value : nullptr;
    }

    // The value of `key`; when the index lacks it, `key` is added with
    // `value`. The flag tells whether it was added.
    std::pair<Value*, bool> try_emplace(const Key& key, std::size_t hash, Value value)
    {
        if (2 * (size_ + 1) > capacity_)
            rehash(capacity_ == 0 ? 16 : 2 * capacity_);
        const std::uint32_t tag = tag_of(hash);
        slot& s = slots_[locate(key, tag)];
        if (s.tag)
            return {&s.value, false};
        s = slot{key, tag, value};
        ++size_;
        return {&s.value, true};
    }

    std::size_t size() const { return size_; }

private:
    struct slot {
        Key key;
        std::uint32_t tag;  // 0: the slot is free
        Value value;
    };

    // 32 bits of the hash, never 0.
    static std::uint32_t tag_of(std::size_t hash)
    {
        const auto tag = static_cast<std::uint32_t>(hash ^ (hash >> 32));
        return tag ? tag : 1;
    }

    // The first slot to probe: the top bits of the tag times a large odd number.
    std::size_t home_of(std::uint32_t tag) const
    {
        return static_cast<std::uint32_t>(tag * 0x9e3779b1U) >> shift_;
    }

    // The slot holding `key`, or the free slot that ends its probe run.
    std::size_t locate(const Key& key, std::uint32_t tag) const
    {
        const std::size_t mask = capacity_ - 1;
        std::size_t at = home_of(tag);
        while (slots_[at].tag && !(slots_[at].tag == tag && Equal{}(slots_[at].key, key)))
            at = (at + 1) & mask;
        return at;
    }

    struct release {
        void operator()(slot* slots) const { std::free(slots); }
    };
    using slot_array = std::unique_ptr<slot[], release>;

    // `capacity` free (all-zero) slots. A large array is asked for in huge
    // pages (see util/huge_pages.h), and is zeroed at once: a page that a
    // probe read before its first write would fault twice.
    static slot_array free_slots(std::size_t capacity)
    {
        std::size_t bytes = capacity * sizeof(slot);
        const bool huge = bytes >= huge_page_size;
        if (huge)
            bytes = (bytes + huge_page_size - 1) / huge_page_size * huge_page_size;
        void* memory = huge ? std::aligned_alloc(huge_page_size, bytes) : std::malloc(bytes);
        if (memory == nullptr)
            throw std::bad_alloc();
        if (huge)
            advise_huge_pages(memory, bytes);
        std::memset(memory, 0, bytes);
        return slot_array(static_cast<slot*>(memory));
    }

    void rehash(std::size_t capacity)
    {
        slot_array old = free_slots(capacity);  // may throw; the index stays as it was
        std::swap(slots_, old);
        const std::size_t old_capacity = capacity_;
        capacity_ = capacity;
        shift_ = 32;
        for (std::size_t c = capacity; c > 1; c /= 2)
            --shift_;
        const std::size_t mask = capacity - 1;
        for (std::size_t i = 0; i < old_capacity; ++i) {
            const slot& s = old[i];
            if (!s.tag)
                continue;
            std::size_t at = home_of(s.tag);
            while (slots_[at].tag)
                at = (at + 1) & mask;
            slots_[at] = s;
        }
    }

    slot_array slots_;
    std::size_t capacity_ = 0;
    int shift_ = 32;
    std::size_t size_ = 0;
};
