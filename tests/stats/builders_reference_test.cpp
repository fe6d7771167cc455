// Every statistic builder against plain linear searches written here, on
// generated logs of five hosts (the table keeps four) whose texts are partly
// put in upper case or taken away, so that keys differing in letter case and
// absent keys meet: each host's tables must equal the expected ones entry by
// entry, in order of first appearance. Then each build step runs out of arena
// memory at every allocation in turn and must end with one of its messages.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <deque>
#include <new>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "stats/build_helpers.h"
#include "stats/build_phase.h"
#include "tests/test_support.h"
#include "tools/loggen/log_generator.h"

namespace {

std::string field(const char* text) { return text ? text : "~"; }
std::string field(double n) { return std::to_string(n); }

// The fields of one entry, joined.
template <class... F>
std::string row(const F&... fields)
{
    std::string out;
    ((out += field(fields) + "|"), ...);
    return out;
}

bool same(const char* a, const char* b) { return a && b ? std::strcmp(a, b) == 0 : a == b; }
bool same_nocase(const char* a, const char* b) { return a && b ? strcasecmp(a, b) == 0 : a == b; }

// The linear search: the first entry `match` accepts, else `fresh` appended.
template <class T, class M>
T& find_or_add(std::vector<T>& table, M match, const T& fresh)
{
    for (T& entry : table)
        if (match(entry))
            return entry;
    return table.emplace_back(fresh);
}

// The same in a linked list, from `head`.
template <class T, class M>
T* find_in(T* head, M match)
{
    while (head && !match(*head))
        head = head->next;
    return head;
}

template <class T>
void append(T*& head, T*& tail, T* entry)
{
    (tail ? tail->next : head) = entry;
    tail = entry;
}

const char* host_part(const char* a) { return a && std::strchr(a, '@') ? std::strchr(a, '@') + 1 : nullptr; }

// What every builder should make of one host (the same parts as host_info),
// with storage for its lists and texts.
struct expected {
    general_statistics general;
    envelope_statistics envelope;
    relay_statistics relay;
    domain_tables env_dom, rel_dom;
    ruleset_statistics ruleset;
    milter_statistics milter;
    summary_statistics summary;
    std::vector<msg_rej_stat> msg_rej;
    std::deque<other_rcpt> others;
    std::deque<pair_status> statuses;
    std::deque<summary_addr> addresses;
    std::deque<std::string> texts;

    const char* day(std::time_t time)
    {
        std::tm local{};
        char text[16];
        std::strftime(text, sizeof text, "%Y%m%d", localtime_r(&time, &local));
        return texts.emplace_back(text).c_str();
    }
};

void expect_general(const host_info& h, general_statistics& g)
{
    auto connect = [&](const auto& r) {
        ++g.hour_connects[r.hr], ++g.wday_connects[r.wd];
        g.wday_mday[r.wd] = g.wday_mday[r.wd] ? g.wday_mday[r.wd] : r.md;  // the first connect counted
    };
    using G = general_statistics;
    std::uint32_t G::*const by_class[] = {&G::out_other_error, &G::out_sent, &G::out_deferred, &G::out_unknown_user,
                                          &G::out_queued, &G::out_host_unavail, &G::out_service_unavail, &G::out_viruses};
    for (const msg_chain_item* item = h.messages.msg_chain.head; item; item = item->next) {
        const msg_from& f = *item->p_from;
        connect(f);
        ++g.hour_in[f.hr], ++g.wday_in[f.wd], ++g.in_messages;
        for (const msg_to* d = item->p_to; d; d = d->next) {
            ++g.hour_out[d->hr], ++g.wday_out[d->wd], ++g.out_messages;
            ++(g.*by_class[d->stat >= 1 && d->stat <= 7 ? d->stat : 0]);
            if (d->stat == 7)
                ++g.hour_viruses[f.hr], ++g.wday_viruses[f.wd];
            if (d->msg_stat)
                ++g.status_total, ++find_or_add(g.statuses, [&](auto& s) { return same_nocase(s.text, d->msg_stat); },
                                                status_entry{0, d->msg_stat}).count;
        }
    }
    for (const msg_from* f = h.messages.from_list.head; f; f = f->next)
        connect(*f);
    auto count_rejects = [&](const auto* item, std::uint32_t& rejects) {
        for (; item; item = item->next, ++rejects)
            connect(*item->p_from), ++g.hour_rejects[item->p_from->hr], ++g.wday_rejects[item->p_from->wd];
    };
    count_rejects(h.messages.ruleset_chain.head, g.ruleset_rejects);
    count_rejects(h.messages.milter_chain.head, g.milter_rejects);
    for (const msg_no_action* c = h.messages.no_action_list.head; c; c = c->next)
        connect(*c);
    for (std::uint32_t n : g.hour_connects)
        g.in_connects += n;
    g.out_unknown_user += h.messages.unknown_user_msgs;
    g.total_time = double(h.last_entry - h.first_entry);
}

void count_member(std::vector<env_mem_stat>& table, const char* name, double size, std::uint32_t count)
{
    env_mem_stat& m = find_or_add(table, [&](auto& m) { return same(m.name, name); }, {name, 0, 0});
    m.size += size, m.count += count;
}

void relay_member(std::vector<relay_mem_stat>& table, const relay_info& r, std::uint32_t size)
{
    relay_mem_stat& m = find_or_add(table, [&](auto& m) { return same(m.name, r.dom_name); },
                                    {r.dom_name, r.ip_address, r.dom_name_lvl_1, r.dom_name_lvl_2, r.ip_bin_addr, 0, 0});
    m.size += size, ++m.count;
}

// The envelope and relay tables, from each delivery.
void expect_deliveries(const host_info& h, expected& x)
{
    envelope_statistics& e = x.envelope;
    for (const msg_chain_item* item = h.messages.msg_chain.head; item; item = item->next)
        for (const msg_to* d = item->p_to; d; d = d->next) {
            const msg_from& f = *item->p_from;
            const relay_info &in = f.relay_info, &out = d->relay_info;
            const env_name_info& from = f.env_name_info;
            env_pair_stat& p = find_or_add(
                e.pairs,
                [&](auto& p) {
                    return same(p.from_relay, in.dom_name) && same(p.sender, f.env_from) && same(p.recipient, d->env_to);
                },
                {f.env_from, d->env_to, from.host_name, d->env_name_info.host_name, from.dom_name_lvl_1,
                 from.dom_name_lvl_2, in.dom_name, out.dom_name, in.ip_address, out.ip_address, in.dom_name_lvl_1,
                 in.dom_name_lvl_2, in.geo_dom_name_lvl_1, x.day(d->msg_time), nullptr, nullptr, nullptr, nullptr,
                 in.ip_bin_addr, out.ip_bin_addr, 0, 0});
            p.size += f.siz, ++p.count, ++e.pair_refs;
            // Into an empty list the other recipients go as they are listed.
            const bool had_others = p.other_rcpts_head != nullptr;
            for (const rcpt_to* r = d->p_rcpt_head; r; r = r->next)
                if (other_rcpt* o = find_in(had_others ? p.other_rcpts_head : nullptr, [&](auto& o) { return same(o.name, r->name); }))
                    ++o->count;
                else
                    append(p.other_rcpts_head, p.other_rcpts_tail, &x.others.emplace_back(other_rcpt{r->name, r->count, nullptr}));
            if (pair_status* s = find_in(p.statuses_head, [&](auto& s) { return same_nocase(s.status, d->msg_stat); }); s && d->msg_stat)
                ++s->count, s->last_time = d->msg_time;
            else if (d->msg_stat)
                append(p.statuses_head, p.statuses_tail,
                       &x.statuses.emplace_back(pair_status{1, d->msg_stat, d->msg_time, d->msg_time, nullptr}));
            count_member(e.senders, f.env_from, f.siz, 1);
            count_member(e.recipients, d->env_to, f.siz, 1);
            for (const rcpt_to* r = d->p_rcpt_head; r; r = r->next)
                count_member(e.recipients, r->name, 0, r->count);
            // The relays: each side whose name is present, pairs of both.
            if (in.dom_name && out.dom_name) {
                relay_pair_stat& rp = find_or_add(
                    x.relay.pairs, [&](auto& p) { return same(p.from_relay, in.dom_name) && same(p.to_relay, out.dom_name); },
                    {in.dom_name, out.dom_name, in.ip_address, out.ip_address, 0, in.ip_bin_addr, out.ip_bin_addr, 0});
                rp.size += f.siz, ++rp.count, ++x.relay.pair_refs;
            }
            if (in.dom_name)
                relay_member(x.relay.senders, in, f.siz);
            if (out.dom_name)
                relay_member(x.relay.recipients, out, f.siz);
        }
}

enum { sending, receiving, milter_reject };

// Level 1, then level 2 when level 1 is present.
void count_domains(domain_tables& t, const auto& parts, int side, double size)
{
    struct level {
        std::vector<domain_stat>& list;
        const char* name;
        std::uint32_t *refs, *counts[3];
    } levels[] = {{t.l1_list, parts.dom_name_lvl_1, &t.l1_refs, {&t.l1_send, &t.l1_recv, &t.l1_milrej}},
                  {t.l2_list, parts.dom_name_lvl_2, &t.l2_refs, {&t.l2_send, &t.l2_recv, &t.l2_milrej}}};
    for (level& l : levels) {
        if (levels[0].name == nullptr || l.name == nullptr)
            continue;
        domain_stat& d = find_or_add(l.list, [&](auto& d) { return same(d.name, l.name); }, {l.name, 0, 0, 0, 0, 0});
        ++d.all, ++*l.refs, ++*l.counts[side];
        ++(side == sending ? d.send : side == receiving ? d.recv : d.milrej);
        d.size += side == sending ? size : 0;
    }
}

template <class Parts>
void expect_domains(const host_info& h, domain_tables& t, Parts parts)
{
    for (const msg_chain_item* item = h.messages.msg_chain.head; item; item = item->next)
        for (const msg_to* d = item->p_to; d; d = d->next)
            count_domains(t, parts(*item->p_from), sending, item->p_from->siz),
                count_domains(t, parts(*d), receiving, 0);
    for (const milter_chain_item* item = h.messages.milter_chain.head; item; item = item->next)
        if (item->p_from)
            count_domains(t, parts(*item->p_from), milter_reject, 0);
}

void expect_rulesets(const host_info& h, ruleset_statistics& rs)
{
    for (const ruleset_chain_item* item = h.messages.ruleset_chain.head; item; item = item->next) {
        const msg_from& f = *item->p_from;
        const char* reason = item->p_rul->reject_txt;
        ruleset_reject_stat& r = find_or_add(
            rs.rejects,
            [&](auto& r) { return same(r.env_from, f.env_from) && same(r.relay_name, f.relay_info.dom_name) && same(r.reason, reason); },
            {0, 0, f.env_from, f.env_name_info.host_name, reason, f.relay_info.dom_name, f.relay_info.ip_address,
             f.relay_info.ip_bin_addr});
        ++r.count, ++rs.refs, r.size += f.siz, rs.size += f.siz;
    }
}

// A reject merges into the first record of its sender, relay and reason that
// has no recipient, or the same one in any letter case, or when it has none.
void expect_milter(const host_info& h, expected& x)
{
    milter_statistics& ms = x.milter;
    for (const milter_chain_item* item = h.messages.milter_chain.head; item; item = item->next) {
        if (!item->p_mil || !item->p_from)
            continue;
        const msg_milter& m = *item->p_mil;
        const msg_from& f = *item->p_from;
        const relay_info& in = f.relay_info;
        const std::size_t records = ms.rejects.size();
        milter_reject_stat& r = find_or_add(
            ms.rejects,
            [&](auto& r) {
                return same(r.env_from, f.env_from) && same(r.relay_name, in.dom_name) && same(r.reason, m.reject_txt) &&
                       (!r.env_to || !m.env_to || same_nocase(r.env_to, m.env_to));
            },
            {0, 0, m.msg_time, m.msg_time, x.day(m.msg_time), f.env_from, m.env_to, f.env_name_info.host_name,
             host_part(m.env_to), f.env_name_info.dom_name_lvl_1, f.env_name_info.dom_name_lvl_2, {}, m.reject_txt,
             in.dom_name, in.ip_address, in.ip_bin_addr, in.geo_dom_name_lvl_1, in.dom_name_lvl_1, in.dom_name_lvl_2});
        if (ms.rejects.size() == records && r.env_to && m.env_to)
            r.last_time = f.msg_time;
        ++r.count, ++ms.refs, r.size += f.siz, ms.size += f.siz;
        ++find_or_add(ms.reasons, [&](auto& e) { return same(e.reason, m.reject_txt); }, {0, m.reject_txt}).count;
        ++ms.reason_refs;
        if (m.env_to)
            count_member(ms.recipients, m.env_to, f.siz, 1), ++ms.recipient_refs;
    }
}

// The address rule: the walk stops at the first entry with this address
// (nothing counted) or with this host (one more address); else a new entry.
void walk(expected& x, summary_relay_stat& r, bool to, const char* address, const char* host)
{
    summary_addr *&head = to ? r.to_addr_head : r.from_addr_head, *&tail = to ? r.to_addr_tail : r.from_addr_tail;
    std::uint32_t &addresses = to ? r.to_addr : r.from_addr, &hosts = to ? r.to_dom : r.from_dom;
    auto has_address = [&](const summary_addr& e) { return address && same(e.address, address); };
    if (const summary_addr* e = find_in(head, [&](auto& e) { return has_address(e) || (host && same(e.name_info.host_name, host)); }))
        addresses += has_address(*e) ? 0 : 1;
    else
        append(head, tail, &x.addresses.emplace_back(summary_addr{address, {nullptr, host_part(address), nullptr, nullptr}, nullptr})),
            ++addresses, ++hosts;
}

void expect_summaries(const host_info& h, expected& x)
{
    std::vector<summary_relay_stat>& relays = x.summary.relays;
    auto row_of = [&](const char* name, std::uint32_t ip_bin) {
        auto r = std::find_if(relays.begin(), relays.end(), [&](auto& r) { return same(r.name, name) && r.ip_bin == ip_bin; });
        return r == relays.end() ? nullptr : &*r;
    };
    for (const relay_mem_stat& s : x.relay.senders) {
        summary_relay_stat* r = row_of(s.name, s.ip_bin);
        if (r == nullptr)
            r = &relays.emplace_back(), r->name = s.name, r->ip = s.ip, r->dom_l2 = s.dom_l2, r->ip_bin = s.ip_bin;
        r->from_msgs += s.count, r->total += s.count;
    }
    for (const env_pair_stat& p : x.envelope.pairs)
        if (summary_relay_stat* r = row_of(p.from_relay, p.from_ip_bin))
            walk(x, *r, false, p.sender, p.from_host), walk(x, *r, true, p.recipient, p.to_host);
    for (const ruleset_reject_stat& j : x.ruleset.rejects)
        if (summary_relay_stat* r = row_of(j.relay_name, j.relay_ip_bin))
            walk(x, *r, false, j.env_from, j.from_host), ++r->rulrej, ++r->total;
    for (const milter_reject_stat& k : x.milter.rejects)
        if (summary_relay_stat* r = row_of(k.relay_name, k.relay_ip_bin)) {
            walk(x, *r, false, k.env_from, k.from_host), ++r->milrej, ++r->total;
            if (k.env_to)
                walk(x, *r, true, k.env_to, k.to_host);
        }
    for (const msg_no_action* c = h.messages.no_action_list.head; c; c = c->next)
        if (summary_relay_stat* r = row_of(c->client_txt, c->relay_info.ip_bin_addr))
            ++r->nonact, ++r->total;
    auto count = [&](const char* name, std::uint32_t msgs, std::uint32_t milrej, std::uint32_t viruses) {
        auto& r = find_or_add(x.summary.recipients, [&](auto& r) { return same(r.name, name); }, {name, 0, 0, 0, 0});
        r.msgs += msgs, r.milrej += milrej, r.viruses += viruses, r.total += msgs + milrej;
    };
    for (const env_pair_stat& p : x.envelope.pairs) {
        std::uint32_t viruses = 0;
        for (const pair_status* s = p.statuses_head; s; s = s->next)
            viruses += s->status && strcasestr(s->status, "virus") ? s->count : 0;
        count(p.recipient, p.count, 0, viruses);
        for (const other_rcpt* o = p.other_rcpts_head; o; o = o->next)
            count(o->name, o->count, 0, 0);
    }
    for (const milter_reject_stat& k : x.milter.rejects)
        if (k.env_to)
            count(k.env_to, 0, k.count, 0);
}

void expect_msg_rej(expected& x)
{
    for (const env_pair_stat& p : x.envelope.pairs) {
        msg_rej_stat& r = x.msg_rej.emplace_back(
            msg_rej_stat{p.sender, p.recipient, p.from_ip, p.from_relay, p.to_relay, p.to_ip, p.date, p.count, 0, 0, 0, 0});
        for (const pair_status* s = p.statuses_head; s; s = s->next)
            (s->status && strncasecmp(s->status, "sent", 4) == 0    ? r.sent
             : s->status && strncasecmp(s->status, "virus", 5) == 0 ? r.virus
                                                                     : r.other) += s->count;
        for (const other_rcpt* o = p.other_rcpts_head; o; o = o->next)
            x.msg_rej.push_back({p.sender, o->name, p.from_ip, p.from_relay, p.to_relay, p.to_ip, p.date, o->count, 0, 0, 0, 0});
    }
    for (const milter_reject_stat& k : x.milter.rejects)
        x.msg_rej.push_back({k.env_from, k.env_to, k.relay_ip, k.relay_name, nullptr, nullptr, k.date, 0, 0, 0, 0, k.count});
}

// Every table of a host_info or of an expected, one line per entry.
template <class Tables>
std::vector<std::string> lines_of(const Tables& t)
{
    const general_statistics& g = t.general;
    std::vector<std::string> out{row(g.ruleset_rejects, g.milter_rejects, g.total_time, g.in_connects, g.in_messages, g.out_messages,
                                     g.out_sent, g.out_deferred, g.out_queued, g.out_unknown_user, g.out_host_unavail,
                                     g.out_service_unavail, g.out_viruses, g.out_other_error, g.status_total)};
    for (int i = 0; i < 24; ++i)
        out.push_back("hour " + row(g.hour_connects[i], g.hour_in[i], g.hour_out[i], g.hour_rejects[i], g.hour_viruses[i]));
    for (int i = 0; i < 7; ++i)
        out.push_back("day " + row(g.wday_connects[i], g.wday_in[i], g.wday_out[i], g.wday_rejects[i], g.wday_viruses[i], g.wday_mday[i]));
    for (const status_entry& s : g.statuses)
        out.push_back("status " + row(s.text, s.count));
    for (const domain_tables* d : {&t.env_dom, &t.rel_dom}) {
        out.push_back("domains " + row(d->l1_refs, d->l2_refs, d->l1_send, d->l1_recv, d->l1_milrej, d->l2_send,
                                       d->l2_recv, d->l2_milrej));
        for (const auto* list : {&d->l1_list, &d->l2_list})
            for (const domain_stat& s : *list)
                out.push_back(row(s.name, s.all, s.send, s.recv, s.milrej, s.size));
    }
    out.push_back("envelope " + row(t.envelope.pair_refs));
    for (const env_pair_stat& p : t.envelope.pairs) {
        out.push_back(row(p.sender, p.recipient, p.from_host, p.to_host, p.from_dom_l1, p.from_dom_l2, p.from_relay,
                          p.to_relay, p.from_ip, p.to_ip, p.from_relay_dom_l1, p.from_relay_dom_l2, p.from_geo_dom,
                          p.date, p.from_ip_bin, p.to_ip_bin, p.size, p.count));
        for (const other_rcpt* o = p.other_rcpts_head; o; o = o->next)
            out.back() += " other " + row(o->name, o->count);
        for (const pair_status* s = p.statuses_head; s; s = s->next)
            out.back() += " status " + row(s->status, s->count, s->first_time, s->last_time);
    }
    for (const auto* table : {&t.envelope.senders, &t.envelope.recipients, &t.milter.recipients})
        for (const env_mem_stat& m : *table)
            out.push_back("member " + row(m.name, m.size, m.count));
    out.push_back("relays " + row(t.relay.pair_refs));
    for (const relay_pair_stat& p : t.relay.pairs)
        out.push_back(row(p.from_relay, p.to_relay, p.from_ip, p.to_ip, p.size, p.from_ip_bin, p.to_ip_bin, p.count));
    for (const auto* table : {&t.relay.senders, &t.relay.recipients})
        for (const relay_mem_stat& m : *table)
            out.push_back(row(m.name, m.ip, m.dom_l1, m.dom_l2, m.ip_bin, m.size, m.count));
    out.push_back("ruleset " + row(t.ruleset.size, t.ruleset.refs));
    for (const ruleset_reject_stat& r : t.ruleset.rejects)
        out.push_back(row(r.count, r.size, r.env_from, r.from_host, r.reason, r.relay_name, r.relay_ip, r.relay_ip_bin));
    out.push_back("milter " + row(t.milter.size, t.milter.refs, t.milter.reason_refs, t.milter.recipient_refs));
    for (const milter_reject_stat& r : t.milter.rejects)
        out.push_back(row(r.count, r.size, r.first_time, r.last_time, r.date, r.env_from, r.env_to, r.from_host,
                          r.to_host, r.from_dom_l1, r.from_dom_l2, r.reason, r.relay_name, r.relay_ip, r.relay_ip_bin,
                          r.relay_geo_dom, r.relay_dom_l1, r.relay_dom_l2));
    for (const reject_reason_stat& r : t.milter.reasons)
        out.push_back("reason " + row(r.reason, r.count));
    for (const summary_relay_stat& r : t.summary.relays) {
        out.push_back(row(r.name, r.ip, r.dom_l2, r.ip_bin, r.from_msgs, r.rulrej, r.milrej, r.nonact, r.from_addr,
                          r.from_dom, r.to_addr, r.to_dom, r.total));
        for (const summary_addr* a : {r.from_addr_head, r.to_addr_head})
            for (out.back() += " |"; a; a = a->next)
                out.back() += row(a->address, a->name_info.host_name);
    }
    for (const summary_rcpt_stat& r : t.summary.recipients)
        out.push_back("recipient " + row(r.name, r.msgs, r.milrej, r.viruses, r.total));
    for (const msg_rej_stat& r : t.msg_rej)
        out.push_back("msg/rej " + row(r.envfrom, r.envrcpt, r.relayfrom_ip, r.relayfrom, r.relayto, r.relayto_ip,
                                       r.date, r.accepted, r.sent, r.virus, r.other, r.rejmilter));
    return out;
}

// Puts some texts of the message model in upper case and takes some away.
void vary_texts(host_info& h, std::mt19937& random)
{
    auto vary = [&](auto& text) {
        const unsigned pick = random() % 8;
        char* upper = pick == 0 && text ? h.memory.save_text(text) : nullptr;
        for (char* c = upper; c && *c; ++c)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        if (pick <= 1)
            text = upper;
    };
    auto vary_from = [&](msg_from* f) {
        if (f)
            vary(f->env_from), vary(f->relay_info.dom_name), vary(f->env_name_info.dom_name_lvl_1),
                vary(f->relay_info.dom_name_lvl_2);
    };
    for (msg_chain_item* item = h.messages.msg_chain.head; item; item = item->next) {
        vary_from(item->p_from);
        for (msg_to* d = item->p_to; d; d = d->next) {
            vary(d->env_to), vary(d->msg_stat), vary(d->relay_info.dom_name), vary(d->env_name_info.dom_name_lvl_2);
            for (rcpt_to* r = d->p_rcpt_head; r; r = r->next)
                vary(r->name);
        }
    }
    for (ruleset_chain_item* item = h.messages.ruleset_chain.head; item; item = item->next)
        vary_from(item->p_from), vary(item->p_rul->reject_txt);
    for (milter_chain_item* item = h.messages.milter_chain.head; item; item = item->next)
        if (vary_from(item->p_from); item->p_mil)
            vary(item->p_mil->env_to), vary(item->p_mil->reject_txt);
}

TEST(BuildSteps, EveryTableEqualsAPlainLinearComputation)
{
    log_generator_options options;
    options.hosts = 5;
    options.disorder_permille = 100;
    for (std::uint64_t seed : {2u, 9u, 31u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test_support::read_log_text(generate_log(seed, 4000, options));
        ASSERT_EQ(hosts_found, 4u) << "the fifth host's lines are refused";
        std::mt19937 random(static_cast<unsigned>(seed));
        for (host_info& h : used_hosts())
            vary_texts(h, random);
        for (const build_step& step : build_steps())
            ASSERT_EQ(step.build(), 0) << step.phase_message;
        for (const host_info& h : used_hosts()) {
            SCOPED_TRACE(h.host_name);
            expected x;
            expect_general(h, x.general);
            expect_domains(h, x.env_dom, [](const auto& r) -> const env_name_info& { return r.env_name_info; });
            expect_domains(h, x.rel_dom, [](const auto& r) -> const relay_info& { return r.relay_info; });
            expect_deliveries(h, x);
            expect_rulesets(h, x.ruleset);
            expect_milter(h, x);
            expect_summaries(h, x);
            expect_msg_rej(x);
            ASSERT_GT(x.envelope.pairs.size() * x.milter.rejects.size() * x.ruleset.rejects.size() *
                          x.summary.relays.size(), 0u) << "the log should fill every table";
            const std::vector<std::string> got = lines_of(h), want = lines_of(x);
            for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i)
                ASSERT_EQ(i < got.size() ? got[i] : "(none)", i < want.size() ? want[i] : "(none)") << "line " << i;
        }
    }
}

// One host whose few messages reach every allocation of every step: a pair
// delivered twice (other recipients and a status new the second time), a
// ruleset reject, a milter reject with recipient and a non-active client.
const std::string small_log = [] {
    std::string log;
    for (const char* body : {
             "Q1: from=<a@mail.x.org>, size=100, class=0, nrcpts=3, relay=r.x.org [192.0.2.1]",
             "Q1: to=<b@y.net>,<c@y.net>, delay=00:00:05, mailer=esmtp, relay=mx.y.net. [198.51.100.5], stat=Sent",
             "Q1: to=<b@y.net>,<d@y.net>, delay=00:00:09, mailer=esmtp, relay=mx.y.net. [198.51.100.5], stat=Deferred: x",
             "Q2: ruleset=check_rcpt, arg1=<x@y.z>, reject=550 no",
             "Q2: from=<g@v.org>, size=3, class=0, nrcpts=0, relay=r.x.org [192.0.2.1]",
             "Q3: Milter: to=<e@z.org>, reject=550 5.7.1 Spam",
             "Q3: from=<f@w.org>, size=5, class=0, nrcpts=1, relay=r.x.org [192.0.2.1]",
             "Q4: client [192.0.2.1] did not issue MAIL"})
        log += std::string("Dec  1 10:00:00 mx1 sm-mta[1]: ") + body + "\n";
    return log;
}();

// The arena messages of each step, in the order of build_steps(): "ERROR:
// cannot get memory for ...!" but for those of a split ("ERROR: cannot parse
// ...!"). A step's other messages are for tables that cannot grow
// (std::bad_alloc, the runner's test below): its texts are the model's own.
const std::vector<std::vector<std::string>> step_messages = {
    {"message status"},
    {"env-domains stat L1", "env-domains stat L2"},
    {"relay domains stat L1", "relay domains stat L2"},
    {"envelope pair stat", "other recipients list [1]", "other recipients list [2]", "message status list [1]",
     "message status list [2]"},
    {},
    {},
    {"milter reject stat", "parse milter reject(env-to)"},
    {"envelope address stat (from)", "parse envelope address (from)", "envelope address stat (to)",
     "parse envelope address (to)"},
    {},
    {},
};

// Whichever allocation fails first, the step ends with status 1 and one of
// its own messages; every message is met at some allocation.
TEST(BuildSteps, EachArenaFailureEndsTheStepWithOneOfItsMessages)
{
    const auto steps = build_steps();
    ASSERT_EQ(steps.size(), step_messages.size());
    for (std::size_t s = 0; s < steps.size(); ++s) {
        SCOPED_TRACE(steps[s].phase_message);
        std::set<std::string> messages, seen;
        for (const std::string& m : step_messages[s])
            messages.insert((m.starts_with("parse") ? "ERROR: cannot " : "ERROR: cannot get memory for ") + m + "!\n");
        for (std::size_t allowed = 0;; ++allowed) {
            ASSERT_LT(allowed, 200u) << "the step should succeed with enough memory";
            test_support::read_log_text(small_log);
            for (std::size_t before = 0; before < s; ++before)
                ASSERT_EQ(steps[before].build(), 0);
            host_table[0].memory.fail_after(allowed);
            testing::internal::CaptureStderr();
            const int status = steps[s].build();
            const std::string message = testing::internal::GetCapturedStderr();
            if (status == 0 && message.empty())
                break;
            EXPECT_EQ(status, 1) << message;
            EXPECT_EQ(messages.count(message), 1u) << message;
            seen.insert(message);
        }
        EXPECT_EQ(seen, messages);
    }
    // Memory the containers cannot get (bad_alloc) gives the runner's message.
    const char* const failure = "no memory";
    EXPECT_EQ(guarded(failure, []() -> bool { throw std::bad_alloc(); }), failure);
    EXPECT_EQ(guarded_message(failure, []() -> const char* { throw std::bad_alloc(); }), failure);
    test_support::read_log_text(small_log);
    testing::internal::CaptureStderr();
    EXPECT_EQ(build_each_host([](host_info&) -> const char* { throw std::bad_alloc(); }, "out of memory\n"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "out of memory\n");
}

}  // namespace
