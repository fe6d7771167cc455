// Field extraction from the message text of a sendmail log line: addresses
// and their domain levels, size and recipient count, delivery status, reject
// reason, relay or client host with its address and country. Every function
// here sees raw log text and reads only up to its terminating NUL. A text
// that runs to the end of the message text points into it (the text must
// outlive the record); any other kept text is copied into the host's arena.
// A text result is null when absent (or when memory ran out); a kept empty
// text is never null.
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/arena.h"
#include "model/address_parts.h"
#include "model/message_model.h"

// Reject reason of lines that carry none.
inline constexpr char unknown_reject_text[] = "unknown";
// Sender of the synthetic envelope of a milter "connect:" line.
inline constexpr char empty_address_text[] = "EMPTY_ADDRESS";

// The first address of a "from=" or "to=" value starting at p (just after the
// "="): one "<" dropped in front; one ">", then one ".", then one blank
// dropped at its end; "<>" when nothing is left. Null when no comma follows.
char* extract_address(arena& memory, const char* p);
char* get_env_from(arena& memory, const char* text);
char* get_env_to(arena& memory, const char* text);

// Adds the second and further addresses of the "to=" value at p to the
// delivery's recipient list; returns how many, or -2 (no blank after p),
// -3 (no comma after p), -4/-5 (memory ran out).
int add_other_recipients(arena& memory, const char* p, msg_to& delivery);

std::uint32_t get_size(const char* text);    // "size=" as %lu; 0 when absent
std::int32_t get_nrcpts(const char* text);   // "nrcpts=" as %d; 0 when absent
const char* get_stat_txt(const char* text);  // in place, or the shared "Sent"
std::int32_t get_stat_code(const char* text);
const char* get_reject_txt(const char* text);  // in place, or unknown_reject_text

// Fills `relay` from the "relay=" field of a message text; 0, -1 when the
// text has no relay information, -2 when memory ran out.
int split_relay(arena& memory, const char* text, relay_info& relay);
// Fills `relay` from a client text ("name [address]"), cutting it in place.
int split_client(arena& memory, char* client_text, relay_info& relay);
// Fills `relay` from "host=" and "addr=" of a milter "connect:" text; the
// text is to be read only up to `kept_length` afterwards (it ends at the
// first comma after "addr="). 0, -1 without "host=", -2 out of memory.
int split_milter_host(arena& memory, const char* text, relay_info& relay, std::size_t& kept_length);

// True for addresses of private, loopback, link-local, documentation,
// benchmark, relay-anycast and multicast ranges and below 1.0.0.0.
bool is_special_ip(const char* text);
