// The eight message list reports: per host, the raw lines the classification
// kept on a side list or left pending (TLS/SSL, unknown, non-active clients,
// other, unknown user, and the milter, ruleset and from/to messages out of
// order). Their input is the log, so it is untrusted: HTML gets it escaped.
#pragma once

#include <string>

// Each writes its report to `path` (standard output when empty) in `format`
// (0 ASCII, 1 HTML, anything else: the file is left empty); returns 0, or 1
// after the open-failure message when the file cannot be opened.
int write_tls_messages(const std::string& path, int format);
int write_unknown_messages(const std::string& path, int format);
int write_no_action_messages(const std::string& path, int format);
int write_other_messages(const std::string& path, int format);
int write_unknown_user_messages(const std::string& path, int format);
int write_milter_out_of_order(const std::string& path, int format);
int write_ruleset_out_of_order(const std::string& path, int format);
int write_messages_out_of_order(const std::string& path, int format);
