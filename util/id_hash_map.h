// A flat hash map from queue ids to small values, for the pairing indexes.
// Keys are views of texts that outlive the map (record fields in the host's
// arena or the kept input). The table itself holds 16-byte slots (key
// pointer, hash, entry number) and is kept at most half full, open
// addressing with linear probing and erasure by backward shift (no
// tombstones); the values sit in entries of fixed address, allocated in
// chunks and reused after erasure, so growing the table moves only slots.
// A look-up reads the key text only when the hashes agree. Insertions may
// throw std::bad_alloc and then leave the map as it was.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

template <class V>
class id_hash_map {
public:
    // The value of `key`, or null when the map does not hold it.
    V* find(std::string_view key)
    {
        if (slots_.empty())
            return nullptr;
        const slot& s = slots_[locate(key, hash_of(key))];
        return s.key ? &entry_at(s.entry).value : nullptr;
    }
    const V* find(std::string_view key) const { return const_cast<id_hash_map*>(this)->find(key); }

    // The value of `key`, default-made and added when the map lacks it.
    // `key` must stay valid while the map holds it.
    V& find_or_add(std::string_view key)
    {
        if ((size_ + 1) * 2 > slots_.size())
            grow();
        const std::uint32_t hash = hash_of(key);
        slot& s = slots_[locate(key, hash)];
        if (s.key == nullptr) {
            const std::uint32_t number = new_entry();  // may throw; nothing changed yet
            entry& e = entry_at(number);
            e.value = V{};
            e.length = static_cast<std::uint32_t>(key.size());
            e.hash = hash;
            s.key = key.data() ? key.data() : "";  // a null pointer marks a free slot
            s.hash = hash;
            s.entry = number;
            ++size_;
        }
        return entry_at(s.entry).value;
    }

    // Removes `key` if held; the other entries stay findable.
    void erase(std::string_view key)
    {
        if (V* value = find(key))
            erase_found(value);
    }

    // Removes the entry whose value `value` is (a pointer find returned).
    void erase_found(V* value)
    {
        const entry& e = *reinterpret_cast<const entry*>(value);
        std::size_t at = 0;
        for (at = e.hash & mask_; slots_[at].entry != e.self || slots_[at].key == nullptr; at = (at + 1) & mask_) {
        }
        close_gap(at);
        free_entry(e.self);
        --size_;
    }

    std::size_t size() const { return size_; }

private:
    struct slot {
        const char* key = nullptr;  // null: the slot is free
        std::uint32_t hash = 0;
        std::uint32_t entry = 0;
    };
    struct entry {
        V value{};                // first member: a value pointer is its entry's address
        std::uint32_t length = 0; // key length; the next free entry while free
        std::uint32_t hash = 0;
        std::uint32_t self = 0;   // its own number
    };
    static constexpr unsigned chunk_bits = 12;
    static constexpr std::uint32_t chunk_size = 1u << chunk_bits;
    static constexpr std::uint32_t no_entry = UINT32_MAX;

    static std::uint32_t hash_of(std::string_view key)
    {
        const std::size_t full = std::hash<std::string_view>{}(key);
        return static_cast<std::uint32_t>(full ^ (full >> 32));
    }

    entry& entry_at(std::uint32_t number) const
    {
        return const_cast<entry&>(chunks_[number >> chunk_bits][number & (chunk_size - 1)]);
    }

    // The slot holding `key`, or the free slot that ends its probe run.
    std::size_t locate(std::string_view key, std::uint32_t hash) const
    {
        std::size_t at = hash & mask_;
        while (slots_[at].key != nullptr && !(slots_[at].hash == hash && equal(slots_[at], key)))
            at = (at + 1) & mask_;
        return at;
    }

    bool equal(const slot& s, std::string_view key) const
    {
        return entry_at(s.entry).length == key.size() &&
               (key.empty() || std::memcmp(s.key, key.data(), key.size()) == 0);
    }

    // A free entry's number (reused or new), its hash still to be set by the caller.
    std::uint32_t new_entry()
    {
        if (free_head_ == no_entry) {
            if (entries_made_ % chunk_size == 0)
                chunks_.emplace_back(chunk_size);  // may throw; a chunk's entries never move
            entry& e = entry_at(entries_made_);
            e.self = entries_made_;
            e.length = no_entry;
            free_head_ = entries_made_++;
        }
        const std::uint32_t number = free_head_;
        entry& e = entry_at(number);
        free_head_ = e.length;
        return number;
    }

    void free_entry(std::uint32_t number)
    {
        entry& e = entry_at(number);
        e.value = V{};
        e.length = free_head_;
        free_head_ = number;
    }

    // Moves later entries of the probe run back into the freed slot `gap`
    // whenever their home slot does not lie cyclically between the gap and them.
    void close_gap(std::size_t gap)
    {
        for (std::size_t at = (gap + 1) & mask_;; at = (at + 1) & mask_) {
            slot& s = slots_[at];
            if (s.key == nullptr)
                break;
            const std::size_t home = s.hash & mask_;
            const bool stays = gap <= at ? (gap < home && home <= at) : (gap < home || home <= at);
            if (stays)
                continue;
            slots_[gap] = s;
            gap = at;
        }
        slots_[gap] = slot{};
    }

    void grow()
    {
        const std::size_t capacity = slots_.empty() ? 64 : slots_.size() * 2;
        std::vector<slot> bigger(capacity);  // may throw; the map stays as it was
        const std::size_t mask = capacity - 1;
        for (const slot& s : slots_) {
            if (s.key == nullptr)
                continue;
            std::size_t at = s.hash & mask;
            while (bigger[at].key != nullptr)
                at = (at + 1) & mask;
            bigger[at] = s;
        }
        slots_.swap(bigger);
        mask_ = mask;
    }

    std::vector<slot> slots_;
    std::vector<std::vector<entry>> chunks_;
    std::uint32_t entries_made_ = 0;
    std::uint32_t free_head_ = no_entry;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};
