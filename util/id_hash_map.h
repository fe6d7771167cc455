// A flat hash map from queue ids to small values, for the pairing indexes.
// Keys are views of texts that outlive the map (record fields in the host's
// arena); the map stores the pointer, length and hash of each key in one
// slot next to its value, so a look-up usually touches one cache line of the
// table and the key text only when the hashes agree. Open addressing with
// linear probing, at most half full, erasure by backward shift (no
// tombstones). Insertions may throw std::bad_alloc.
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
        slot& s = slots_[locate(key, hash_of(key))];
        return s.key ? &s.value : nullptr;
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
            s.key = key.data() ? key.data() : "";  // a null pointer marks a free slot
            s.length = static_cast<std::uint32_t>(key.size());
            s.hash = hash;
            s.value = V{};
            ++size_;
        }
        return s.value;
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
        const auto* base = reinterpret_cast<const char*>(slots_.data());
        const auto offset = static_cast<std::size_t>(reinterpret_cast<const char*>(value) - base);
        close_gap(offset / sizeof(slot));
        --size_;
    }

    std::size_t size() const { return size_; }

private:
    struct slot {
        const char* key = nullptr;  // null: the slot is free
        std::uint32_t length = 0;
        std::uint32_t hash = 0;
        V value{};
    };

    static std::uint32_t hash_of(std::string_view key)
    {
        const std::size_t full = std::hash<std::string_view>{}(key);
        return static_cast<std::uint32_t>(full ^ (full >> 32));
    }

    // The slot holding `key`, or the free slot that ends its probe run.
    std::size_t locate(std::string_view key, std::uint32_t hash) const
    {
        std::size_t at = hash & mask_;
        while (slots_[at].key != nullptr && !(slots_[at].hash == hash && equal(slots_[at], key)))
            at = (at + 1) & mask_;
        return at;
    }

    static bool equal(const slot& s, std::string_view key)
    {
        return s.length == key.size() && (key.empty() || std::memcmp(s.key, key.data(), key.size()) == 0);
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
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};
