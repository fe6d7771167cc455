// Per-id FIFO queues threaded through the records' next_same_id links, and the
// map from queue id to the first chain element of that id.
#include "input/pairing_index.h"

template <class T>
void pairing_index::push(queue_map<T>& map, T* record)
{
    record->next_same_id = nullptr;
    id_queue<T>& queue = map.find_or_add(record->msg_id);
    if (queue.tail)
        queue.tail->next_same_id = record;
    else
        queue.head = record;
    queue.tail = record;
}

template <class T>
T* pairing_index::front(const queue_map<T>& map, std::string_view id)
{
    const id_queue<T>* queue = map.find(id);
    return queue ? queue->head : nullptr;
}

template <class T>
void pairing_index::pop(queue_map<T>& map, std::string_view id)
{
    id_queue<T>* queue = map.find(id);
    if (queue == nullptr)
        return;
    T* oldest = queue->head;
    queue->head = oldest->next_same_id;
    if (queue->head == nullptr)
        map.erase_found(queue);
    oldest->next_same_id = nullptr;
}

void pairing_index::add_pending_from(msg_from* record)
{
    push(pending_from_, record);
}

msg_from* pairing_index::oldest_pending_from(std::string_view id) const
{
    return front(pending_from_, id);
}

void pairing_index::take_pending_from(std::string_view id)
{
    pop(pending_from_, id);
}

void pairing_index::add_chain_item(msg_chain_item* item)
{
    msg_chain_item*& first = chain_.find_or_add(item->p_from->msg_id);
    if (first == nullptr)
        first = item;
}

msg_chain_item* pairing_index::find_chain_item(std::string_view id) const
{
    msg_chain_item* const* first = chain_.find(id);
    return first ? *first : nullptr;
}

void pairing_index::add_pending_ruleset(msg_ruleset* record)
{
    push(pending_ruleset_, record);
}

msg_ruleset* pairing_index::oldest_pending_ruleset(std::string_view id) const
{
    return front(pending_ruleset_, id);
}

void pairing_index::take_pending_ruleset(std::string_view id)
{
    pop(pending_ruleset_, id);
}

void pairing_index::add_pending_milter(msg_milter* record)
{
    push(pending_milter_, record);
}

msg_milter* pairing_index::oldest_pending_milter(std::string_view id) const
{
    return front(pending_milter_, id);
}

void pairing_index::take_pending_milter(std::string_view id)
{
    pop(pending_milter_, id);
}
