// Hash indexes by queue id over one host's pending lists and messages chain.
// They answer the pairing questions with exactly the result of a walk from
// the list head: the oldest pending record of an id comes first, and a chain
// element is found by the first element made for its id. Records leave a
// pending list only through these indexes, so each per-id queue stays in list
// order. Insertions may throw std::bad_alloc.
#pragma once

#include <string_view>
#include "util/id_hash_map.h"
#include "model/message_model.h"

class pairing_index {
public:
    // Senders waiting for their first delivery: the oldest of an id is found
    // first and taken first.
    void add_pending_from(msg_from* record);
    msg_from* oldest_pending_from(std::string_view id) const;
    void take_pending_from(std::string_view id);

    // The first chain element made for an id.
    void add_chain_item(msg_chain_item* item);
    msg_chain_item* find_chain_item(std::string_view id) const;

    // Ruleset rejects waiting for their sender.
    void add_pending_ruleset(msg_ruleset* record);
    msg_ruleset* oldest_pending_ruleset(std::string_view id) const;
    void take_pending_ruleset(std::string_view id);

    // Milter lines waiting for their sender.
    void add_pending_milter(msg_milter* record);
    msg_milter* oldest_pending_milter(std::string_view id) const;
    void take_pending_milter(std::string_view id);

private:
    template <class T>
    struct id_queue {
        T* head = nullptr;
        T* tail = nullptr;
    };
    // Everything pending or chained under one queue id, so that the several
    // questions a line asks about its id find one slot of one table.
    struct id_entry {
        id_queue<msg_from> from;
        id_queue<msg_ruleset> ruleset;
        id_queue<msg_milter> milter;
        msg_chain_item* first_chain_item = nullptr;

        bool unused() const { return !from.head && !ruleset.head && !milter.head && !first_chain_item; }
    };
    template <class T>
    using queue_of = id_queue<T> id_entry::*;

    template <class T>
    void push(queue_of<T> queue, T* record);
    template <class T>
    T* front(queue_of<T> queue, std::string_view id) const;
    template <class T>
    void pop(queue_of<T> queue, std::string_view id);

    id_hash_map<id_entry> by_id_;
};
