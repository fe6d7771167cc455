// The queue id indexes must pair exactly like walks from the list heads. Many generated logs (ids
// reused, lines out of order, every kind mixed) are read by the program and replayed by a plain
// linear model written here; every list, chain and counter of every host must come out the same.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "input/log_header.h"
#include "tests/test_support.h"
#include "tools/loggen/log_generator.h"

namespace {

struct ref_line {  // a line with a queue id as the linear model sees it
    std::string id, text;
};
using ref_list = std::vector<const ref_line*>;

// A ruleset or milter line paired with its sender (none: a connect line's own).
std::string pair_text(const std::string& reject, const std::string& id, const char* from)
{
    return reject + " <- " + id + " " + (from ? from : "(connect)");
}

// The pending lists and chains of one host, searched from their heads.
struct ref_host {
    std::string name;
    ref_list from_list, to_list, ruleset_list, milter_list;
    std::vector<std::pair<const ref_line*, ref_list>> msg_chain;  // sender, deliveries
    std::vector<std::string> ruleset_chain, milter_chain, other_list, unknown_user_list;
    unsigned no_action = 0, syserr = 0, daemon = 0, alias = 0, tls = 0, unknown = 0;

    // Takes the first line of `list` with the queue id of `line`; null when none.
    static const ref_line* take_first(ref_list& list, const ref_line* line)
    {
        const auto i = std::find_if(list.begin(), list.end(), [&](const ref_line* l) { return l->id == line->id; });
        const ref_line* found = i == list.end() ? nullptr : *i;
        if (found)
            list.erase(i);
        return found;
    }

    void from(const ref_line* line)
    {
        if (const ref_line* ruleset = take_first(ruleset_list, line)) {
            ruleset_chain.push_back(pair_text(ruleset->text, line->id, line->text.c_str()));
            return;
        }
        bool paired = false;
        for (const ref_line* milter; (milter = take_first(milter_list, line)) != nullptr; paired = true)
            milter_chain.push_back(pair_text(milter->text, line->id, line->text.c_str()));
        if (!paired)
            from_list.push_back(line);
    }

    void to(const ref_line* line)
    {
        const char* after = line->text.c_str() + 3;
        if (!std::strchr(after, ' ') || !std::strchr(after, ','))
            return;  // recipients unreadable: dropped
        if (const ref_line* sender = take_first(from_list, line)) {
            msg_chain.push_back({sender, {line}});
        } else {
            for (auto& [sender, deliveries] : msg_chain)
                if (sender->id == line->id) {
                    deliveries.push_back(line);
                    return;
                }
            to_list.push_back(line);
        }
        take_first(milter_list, line);
    }

    void with_queue_id(const ref_line* line)
    {
        const std::string& t = line->text;
        if (t.starts_with("ruleset="))
            ruleset_list.push_back(line);
        else if (t.starts_with("Milter:") && std::strstr(t.c_str() + 7, "connect:"))
            milter_chain.push_back(pair_text(t, line->id, nullptr));
        else if (t.starts_with("Milter:"))
            milter_list.push_back(line);
        else if (t.starts_with("from="))
            from(line);
        else if (t.starts_with("to="))
            to(line);
        else if (strncasecmp(t.c_str(), "SYSERR", 6) == 0)
            ++syserr;
        else if (t.find(" did not issue ") != std::string::npos)
            ++no_action;
        else if (t.find("User unknown") != std::string::npos)
            unknown_user_list.push_back(t);
        else
            other_list.push_back(t);
    }

    void without_queue_id(std::string body)
    {
        for (char& c : body)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto has = [&](const char* part) { return body.find(part) != std::string::npos; };
        ++(has(" daemon ") ? daemon : has("alias ") && has("rebuilt") ? alias : has("starttls=") ? tls : unknown);
    }
};

// Replays the accepted lines of `log` through the linear model.
std::vector<ref_host> replay(const std::string& log, std::vector<ref_line>& storage)
{
    std::vector<ref_host> hosts;
    storage.reserve(log.size() / 30 + 1);
    line_time_cache times;
    for (std::size_t start = 0, end; start < log.size(); start = end == std::string::npos ? log.size() : end + 1) {
        end = log.find('\n', start);
        const std::string text = log.substr(start, end - start);
        log_header header;
        if (text.size() + 1 < 30 || parse_log_header(text.c_str(), run_date{126, 12}, times, header) != line_fault::none)
            continue;
        const auto same_name = [&](const ref_host& host) { return host.name == header.host; };
        const std::size_t h = static_cast<std::size_t>(std::find_if(hosts.begin(), hosts.end(), same_name) - hosts.begin());
        if (h == hosts.size()) {
            if (hosts.size() == 4)
                continue;
            hosts.emplace_back().name = header.host;
        }
        const std::string body = header.line_body;
        const queue_id_split split = split_queue_id(body.c_str());
        if (!split.has_queue_id) {
            hosts[h].without_queue_id(body);
            continue;
        }
        storage.push_back({body.substr(0, split.id_length), std::string(split.message_text)});
        hosts[h].with_queue_id(&storage.back());
    }
    return hosts;
}

template <class Item>
std::vector<std::string> pairs_of(const Item* item)
{
    std::vector<std::string> out;
    for (; item; item = item->next) {
        const char* reject = [item] {
            if constexpr (requires { item->p_rul; }) return item->p_rul->msg_txt; else return item->p_mil->msg_txt;
        }();
        const bool connect = std::strcmp(item->p_from->env_from, "EMPTY_ADDRESS") == 0;
        out.push_back(pair_text(reject, item->p_from->msg_id, connect ? nullptr : item->p_from->msg_txt));
    }
    return out;
}

void compare_host(const ref_host& want, const host_info& got)
{
    SCOPED_TRACE(want.name);
    ASSERT_EQ(got.host_name, want.name);
    const message_model& m = got.messages;
    auto texts = [](const ref_list& list) {
        std::vector<std::string> out;
        for (const ref_line* line : list)
            out.push_back(line->text);
        return out;
    };
    EXPECT_EQ(test_support::texts_of(m.from_list), texts(want.from_list));
    EXPECT_EQ(test_support::texts_of(m.to_list), texts(want.to_list));
    EXPECT_EQ(test_support::texts_of(m.ruleset_list), texts(want.ruleset_list));
    EXPECT_EQ(test_support::texts_of(m.milter_list), texts(want.milter_list));
    EXPECT_EQ(test_support::texts_of(m.other_list), want.other_list);
    EXPECT_EQ(test_support::texts_of(m.unknown_user_list), want.unknown_user_list);
    EXPECT_EQ(pairs_of(m.ruleset_chain.head), want.ruleset_chain);
    EXPECT_EQ(pairs_of(m.milter_chain.head), want.milter_chain);

    std::string got_chain, want_chain;
    for (const msg_chain_item* item = m.msg_chain.head; item; item = item->next) {
        got_chain += std::string("\n") + item->p_from->msg_txt + " <- " + std::to_string(item->Recipients_num);
        for (const msg_to* to = item->p_to; to; to = to->next)
            got_chain += " | " + std::string(to->msg_txt);
    }
    for (const auto& [sender, deliveries] : want.msg_chain) {
        want_chain += "\n" + sender->text + " <- " + std::to_string(deliveries.size());
        for (const ref_line* to : deliveries)
            want_chain += " | " + to->text;
    }
    EXPECT_EQ(got_chain, want_chain);

    using counts = std::vector<std::size_t>;
    EXPECT_EQ((counts{m.from_msgs_ooo, m.to_msgs_ooo, m.msg_chains, m.ruleset_msgs_ooo, m.ruleset_chains, m.milter_msgs_ooo,
                      m.milter_chains, m.no_action_msgs, m.other_msgs, m.unknown_user_msgs, got.events.other_syserr,
                      got.events.daemon_restarts, got.events.alias_rebuilds, m.tls_msgs, m.unknown_msgs}),
              (counts{want.from_list.size(), want.to_list.size(), want.msg_chain.size(), want.ruleset_list.size(),
                      want.ruleset_chain.size(), want.milter_list.size(), want.milter_chain.size(), want.no_action,
                      want.other_list.size(), want.unknown_user_list.size(), want.syserr, want.daemon, want.alias,
                      want.tls, want.unknown}));
}

TEST(PairingReference, IndexesPairLikeLinearWalksOnGeneratedLogs)
{
    log_generator_options options;
    options.reuse_permille = 250;     // ids come back often
    options.disorder_permille = 200;  // rejects after senders, deliveries before them
    options.lost_delivery_permille = options.lost_envelope_permille = 100;
    options.malformed_permille = 20;
    for (std::uint64_t seed = 1; seed <= 2000 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        options.hosts = seed % 7 == 0 ? 5 : 1 + seed % 3;
        options.open_messages = 2 + seed % 24;
        const std::string log = generate_log(seed, 250, options);
        test_support::read_log_text(log);
        std::vector<ref_line> storage;
        const std::vector<ref_host> want = replay(log, storage);
        ASSERT_EQ(hosts_found, want.size());
        for (std::size_t h = 0; h < want.size(); ++h)
            compare_host(want[h], host_table[h]);
    }
}

}  // namespace
