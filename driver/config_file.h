// The configuration file: three bracketed sections of key = value lines whose
// values overwrite what the command line set. One table row per key drives
// the parser (and the sample configuration and its check). The file is
// trusted as the administrator's, but no line of it can overflow anything.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "driver/settings.h"

enum class config_section { none, general, input, output };

struct config_key {
    const char* name;
    config_section section;
    std::variant<int program_settings::*, setting_text program_settings::*> field;
};

// Every key, in the order in which the keys of a section are tried on a line.
std::span<const config_key> config_keys();

// Results of parse_config_file.
enum config_result { config_ok = 0, config_no_path = 1, config_cannot_open = 2, config_errors = 3 };

// Reads the file at `path` into `settings`.
int parse_config_file(const char* path);

// Where a key's value stands in a line: start offset and length.
struct key_value {
    std::size_t start;
    std::size_t length;
};

// Finds "key = value" (or key = "quoted value") in a line that has been cut at
// its first line end; no value when the key is absent, not followed by "=",
// or the quoted value is unclosed.
std::optional<key_value> find_key_value(std::string_view key, std::string_view line);
