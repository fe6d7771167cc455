// The queue id indexes must pair exactly like walks from the list heads.
// Many generated logs (ids reused, lines out of order, every kind mixed) are
// read by the program and replayed by a plain linear model written here; every
// list, chain and counter of every host must come out the same.
#include <gtest/gtest.h>

#include <strings.h>

#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "input/log_header.h"
#include "tests/test_support.h"
#include "tools/loggen/log_generator.h"

namespace {

// One line with a queue id as the linear model sees it.
struct ref_line {
    std::string id;
    std::string text;
};

struct ref_chain {
    const ref_line* from;
    std::vector<const ref_line*> to;
};

struct ref_pair {
    const ref_line* reject;  // the ruleset or milter line
    const ref_line* from;    // null for the sender of a connect line
};

// The pending lists and chains of one host, searched from their heads.
struct ref_host {
    std::string name;
    std::vector<const ref_line*> from_list, to_list, ruleset_list, milter_list;
    std::vector<ref_chain> msg_chain;
    std::vector<ref_pair> ruleset_chain, milter_chain;
    std::vector<std::string> other_list, unknown_user_list, no_action_list;
    unsigned syserr = 0, daemon = 0, alias = 0, tls = 0, unknown = 0;

    static std::size_t first_with(const std::vector<const ref_line*>& list, const std::string& id)
    {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i]->id == id)
                return i;
        return list.size();
    }

    void ruleset(const ref_line* line) { ruleset_list.push_back(line); }

    void milter(const ref_line* line)
    {
        if (std::strstr(line->text.c_str() + 7, "connect:"))
            milter_chain.push_back({line, nullptr});
        else
            milter_list.push_back(line);
    }

    void from(const ref_line* line)
    {
        if (std::size_t i = first_with(ruleset_list, line->id); i < ruleset_list.size()) {
            ruleset_chain.push_back({ruleset_list[i], line});
            ruleset_list.erase(ruleset_list.begin() + static_cast<long>(i));
            return;
        }
        bool paired = false;
        for (std::size_t i; (i = first_with(milter_list, line->id)) < milter_list.size(); paired = true) {
            milter_chain.push_back({milter_list[i], line});
            milter_list.erase(milter_list.begin() + static_cast<long>(i));
        }
        if (!paired)
            from_list.push_back(line);
    }

    void to(const ref_line* line)
    {
        const char* after = line->text.c_str() + 3;
        if (!std::strchr(after, ' ') || !std::strchr(after, ','))
            return;  // recipients unreadable: dropped
        if (std::size_t i = first_with(from_list, line->id); i < from_list.size()) {
            msg_chain.push_back({from_list[i], {line}});
            from_list.erase(from_list.begin() + static_cast<long>(i));
        } else {
            for (ref_chain& chain : msg_chain)
                if (chain.from->id == line->id) {
                    chain.to.push_back(line);
                    return;
                }
            to_list.push_back(line);
        }
        if (std::size_t i = first_with(milter_list, line->id); i < milter_list.size())
            milter_list.erase(milter_list.begin() + static_cast<long>(i));
    }

    void with_queue_id(const ref_line* line)
    {
        const std::string& t = line->text;
        if (t.starts_with("ruleset="))
            ruleset(line);
        else if (t.starts_with("Milter:"))
            milter(line);
        else if (t.starts_with("from="))
            from(line);
        else if (t.starts_with("to="))
            to(line);
        else if (strncasecmp(t.c_str(), "SYSERR", 6) == 0)
            ++syserr;
        else if (t.find(" did not issue ") != std::string::npos)
            no_action_list.push_back(t);
        else if (t.find("User unknown") != std::string::npos)
            unknown_user_list.push_back(t);
        else
            other_list.push_back(t);
    }

    void without_queue_id(const std::string& body)
    {
        std::string lower;
        for (char c : body)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find(" daemon ") != std::string::npos)
            ++daemon;
        else if (lower.find("alias ") != std::string::npos && lower.find("rebuilt") != std::string::npos)
            ++alias;
        else if (lower.find("starttls=") != std::string::npos)
            ++tls;
        else
            ++unknown;
    }
};

// Replays the accepted lines of `log` through the linear model.
std::vector<ref_host> replay(const std::string& log, std::vector<ref_line>& storage)
{
    std::vector<ref_host> hosts;
    std::vector<std::pair<std::size_t, std::string>> lines;  // host index, body
    std::size_t start = 0;
    storage.reserve(log.size() / 30 + 1);
    line_time_cache times;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        std::string text = log.substr(start, end - start);
        start = end == std::string::npos ? log.size() : end + 1;
        log_header header;
        if (text.size() + 1 < 30 || parse_log_header(text.c_str(), run_date{126, 12}, times, header) != line_fault::none)
            continue;
        std::size_t h = 0;
        while (h < hosts.size() && hosts[h].name != header.host)
            ++h;
        if (h == hosts.size()) {
            if (hosts.size() == 4)
                continue;
            hosts.emplace_back();
            hosts.back().name = header.host;
        }
        std::string body = header.line_body;
        queue_id_split split = split_queue_id(body.c_str());
        if (!split.has_queue_id) {
            hosts[h].without_queue_id(body);
            continue;
        }
        storage.push_back({body.substr(0, split.id_length), std::string(split.message_text)});
        hosts[h].with_queue_id(&storage.back());
    }
    return hosts;
}

std::vector<std::string> texts(const std::vector<const ref_line*>& list)
{
    std::vector<std::string> out;
    for (const ref_line* line : list)
        out.push_back(line->text);
    return out;
}

template <class List>
std::vector<std::string> model_texts(const List& list)
{
    return test_support::texts_of(list);
}

void compare_host(const ref_host& want, const host_info& got)
{
    SCOPED_TRACE(want.name);
    ASSERT_EQ(got.host_name, want.name);
    EXPECT_EQ(model_texts(got.messages.from_list), texts(want.from_list));
    EXPECT_EQ(model_texts(got.messages.to_list), texts(want.to_list));
    EXPECT_EQ(model_texts(got.messages.ruleset_list), texts(want.ruleset_list));
    EXPECT_EQ(model_texts(got.messages.milter_list), texts(want.milter_list));
    EXPECT_EQ(model_texts(got.messages.other_list), want.other_list);
    EXPECT_EQ(model_texts(got.messages.unknown_user_list), want.unknown_user_list);

    std::vector<std::string> got_chain, want_chain;
    for (const msg_chain_item* item = got.messages.msg_chain.head; item; item = item->next) {
        std::string entry = item->p_from->msg_txt + std::string(" <- ") + std::to_string(item->Recipients_num);
        for (const msg_to* to = item->p_to; to; to = to->next)
            entry += " | " + std::string(to->msg_txt);
        got_chain.push_back(entry);
    }
    for (const ref_chain& chain : want.msg_chain) {
        std::string entry = chain.from->text + " <- " + std::to_string(chain.to.size());
        for (const ref_line* to : chain.to)
            entry += " | " + to->text;
        want_chain.push_back(entry);
    }
    EXPECT_EQ(got_chain, want_chain);

    auto pairs_of = [](auto* head) {
        std::vector<std::string> out;
        for (auto* item = head; item; item = item->next) {
            const char* reject = nullptr;
            if constexpr (requires { item->p_rul; })
                reject = item->p_rul->msg_txt;
            else
                reject = item->p_mil->msg_txt;
            out.push_back(std::string(reject) + " <- " + item->p_from->msg_id + " " +
                          (std::strcmp(item->p_from->env_from, "EMPTY_ADDRESS") == 0 ? "(connect)"
                                                                                       : item->p_from->msg_txt));
        }
        return out;
    };
    auto want_pairs = [](const std::vector<ref_pair>& list) {
        std::vector<std::string> out;
        for (const ref_pair& pair : list)
            out.push_back(pair.reject->text + " <- " + pair.reject->id + " " + (pair.from ? pair.from->text : "(connect)"));
        return out;
    };
    EXPECT_EQ(pairs_of(got.messages.ruleset_chain.head), want_pairs(want.ruleset_chain));
    EXPECT_EQ(pairs_of(got.messages.milter_chain.head), want_pairs(want.milter_chain));

    EXPECT_EQ(got.messages.from_msgs_ooo, want.from_list.size());
    EXPECT_EQ(got.messages.to_msgs_ooo, want.to_list.size());
    EXPECT_EQ(got.messages.msg_chains, want.msg_chain.size());
    EXPECT_EQ(got.messages.ruleset_msgs_ooo, want.ruleset_list.size());
    EXPECT_EQ(got.messages.ruleset_chains, want.ruleset_chain.size());
    EXPECT_EQ(got.messages.milter_msgs_ooo, want.milter_list.size());
    EXPECT_EQ(got.messages.milter_chains, want.milter_chain.size());
    EXPECT_EQ(got.messages.no_action_msgs, want.no_action_list.size());
    EXPECT_EQ(got.messages.other_msgs, want.other_list.size());
    EXPECT_EQ(got.messages.unknown_user_msgs, want.unknown_user_list.size());
    EXPECT_EQ(got.events.other_syserr, want.syserr);
    EXPECT_EQ(got.events.daemon_restarts, want.daemon);
    EXPECT_EQ(got.events.alias_rebuilds, want.alias);
    EXPECT_EQ(got.messages.tls_msgs, want.tls);
    EXPECT_EQ(got.messages.unknown_msgs, want.unknown);
}

TEST(PairingReference, IndexesPairLikeLinearWalksOnGeneratedLogs)
{
    log_generator_options options;
    options.reuse_permille = 250;    // ids come back often
    options.disorder_permille = 200; // rejects after senders, deliveries before them
    options.lost_delivery_permille = 100;
    options.lost_envelope_permille = 100;
    options.malformed_permille = 20;
    for (std::uint64_t seed = 1; seed <= 2000; ++seed) {
        options.hosts = seed % 7 == 0 ? 5 : 1 + seed % 3;
        options.open_messages = 2 + seed % 24;
        const std::string log = generate_log(seed, 250, options);
        test_support::read_log_text(log);
        std::vector<ref_line> storage;
        const std::vector<ref_host> want = replay(log, storage);
        ASSERT_EQ(hosts_found, want.size()) << "seed " << seed;
        for (std::size_t h = 0; h < want.size(); ++h) {
            SCOPED_TRACE("seed " + std::to_string(seed));
            compare_host(want[h], host_table[h]);
        }
        if (HasFailure())
            return;
    }
}

}  // namespace
