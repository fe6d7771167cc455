// Per-id FIFO queues threaded through the records' next_same_id links, and the
// first chain element of each id, all in one entry per queue id.
#include "input/pairing_index.h"

template <class T>
void pairing_index::push(queue_of<T> queue_member, T* record)
{
    record->next_same_id = nullptr;
    id_queue<T>& queue = by_id_.find_or_add(record->msg_id).*queue_member;
    if (queue.tail)
        queue.tail->next_same_id = record;
    else
        queue.head = record;
    queue.tail = record;
}

template <class T>
T* pairing_index::front(queue_of<T> queue_member, std::string_view id) const
{
    const id_entry* entry = by_id_.find(id);
    return entry ? (entry->*queue_member).head : nullptr;
}

template <class T>
void pairing_index::pop(queue_of<T> queue_member, std::string_view id)
{
    id_entry* entry = by_id_.find(id);
    if (entry == nullptr || (entry->*queue_member).head == nullptr)
        return;
    id_queue<T>& queue = entry->*queue_member;
    T* oldest = queue.head;
    queue.head = oldest->next_same_id;
    if (queue.head == nullptr)
        queue.tail = nullptr;
    oldest->next_same_id = nullptr;
    if (entry->unused())
        by_id_.erase_found(entry);
}

void pairing_index::add_pending_from(msg_from* record)
{
    push(&id_entry::from, record);
}

msg_from* pairing_index::oldest_pending_from(std::string_view id) const
{
    return front(&id_entry::from, id);
}

void pairing_index::take_pending_from(std::string_view id)
{
    pop(&id_entry::from, id);
}

void pairing_index::add_chain_item(msg_chain_item* item)
{
    msg_chain_item*& first = by_id_.find_or_add(item->p_from->msg_id).first_chain_item;
    if (first == nullptr)
        first = item;
}

msg_chain_item* pairing_index::find_chain_item(std::string_view id) const
{
    const id_entry* entry = by_id_.find(id);
    return entry ? entry->first_chain_item : nullptr;
}

void pairing_index::add_pending_ruleset(msg_ruleset* record)
{
    push(&id_entry::ruleset, record);
}

msg_ruleset* pairing_index::oldest_pending_ruleset(std::string_view id) const
{
    return front(&id_entry::ruleset, id);
}

void pairing_index::take_pending_ruleset(std::string_view id)
{
    pop(&id_entry::ruleset, id);
}

void pairing_index::add_pending_milter(msg_milter* record)
{
    push(&id_entry::milter, record);
}

msg_milter* pairing_index::oldest_pending_milter(std::string_view id) const
{
    return front(&id_entry::milter, id);
}

void pairing_index::take_pending_milter(std::string_view id)
{
    pop(&id_entry::milter, id);
}
