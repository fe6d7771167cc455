// Small steps shared by the statistic builders. Texts come from the log and
// may be absent: an absent text is never read. The statistics point at the
// texts of the message model, which live until exit; only a text made here
// (a date) is copied, and its function returns false only when the host's
// arena ran out of memory. The guarded runners turn a step whose container threw bad_alloc
// into the step's failure message; they return null when the step succeeded.
#pragma once

#include <ctime>
#include <new>

#include "model/message_model.h"
#include "util/arena.h"

// "YYYYMMDD" of a time in the local time zone, copied into the arena; absent
// when the time does not convert.
bool copy_date(arena& memory, std::time_t time, const char*& target);

// True when split_address made every part the address calls for: user and
// host around an "@", and both domain levels when the host has a dot after
// its first character (split_address leaves a part absent only when its copy
// found no memory). An absent address, or one without "@", calls for none.
bool split_complete(const char* address, const env_name_info& parts);

// Asks for the sender and first delivery of the message after `item`: the
// records of a chain lie far apart, and a walk over the chain then finds
// them in the cache when it gets there.
inline void prefetch_next_message(const msg_chain_item& item)
{
    if (const msg_chain_item* next = item.next) {
        __builtin_prefetch(next->p_from);
        __builtin_prefetch(next->p_to);
    }
}

// Runs a step that returns false when its memory ran out: `failure` then,
// or when the step throws bad_alloc; else null.
template <class Step>
const char* guarded(const char* failure, Step step)
{
    try {
        return step() ? nullptr : failure;
    } catch (const std::bad_alloc&) {
        return failure;
    }
}

// Runs a step that returns its own failure message (null on success);
// `failure` when the step throws bad_alloc.
template <class Step>
const char* guarded_message(const char* failure, Step step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return failure;
    }
}
