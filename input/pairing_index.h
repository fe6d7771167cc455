// Hash indexes by queue id over one host's pending lists and messages chain.
// They answer the pairing questions with exactly the result of a walk from
// the list head: the oldest pending record of an id comes first, and a chain
// element is found by the first element made for its id. Records leave a
// pending list only through these indexes, so each per-id queue stays in list
// order. Insertions may throw std::bad_alloc.
#pragma once

#include <string_view>
#include "input/id_hash_map.h"
#include "input/message_model.h"

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
    template <class T>
    using queue_map = id_hash_map<id_queue<T>>;

    template <class T>
    static void push(queue_map<T>& map, T* record);
    template <class T>
    static T* front(const queue_map<T>& map, std::string_view id);
    template <class T>
    static void pop(queue_map<T>& map, std::string_view id);

    queue_map<msg_from> pending_from_;
    queue_map<msg_ruleset> pending_ruleset_;
    queue_map<msg_milter> pending_milter_;
    id_hash_map<msg_chain_item*> chain_;
};
