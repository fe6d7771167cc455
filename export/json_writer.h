// A JSON document written piece by piece into an export_file, for tables
// too large to be built as a tree first. The writer places the commas;
// keys are the program's own names (written as given); texts follow the
// rule of json_text.h; small parts can be handed over as nlohmann-json
// trees. An array opened with `one_per_line` puts each element on a line
// of its own. The text is passed on in pieces of about a mebibyte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "export/export_file.h"

class json_writer {
public:
    explicit json_writer(export_file& out);

    void begin_object();
    void end_object();
    void begin_array(bool one_per_line = false);
    void end_array();
    void key(std::string_view name);

    void text(const char* text);  // null: null
    void text(std::string_view text);
    void number(std::uint64_t value);
    void number(std::int64_t value);
    void number(std::uint32_t value) { number(std::uint64_t{value}); }
    // An integral value in the exact range of a double prints as an integer.
    void number(double value);
    void null();
    void tree(const nlohmann::ordered_json& value);

    // Ends the document with a newline and hands the rest to the file.
    void finish();

private:
    struct level {
        bool first = true;
        bool one_per_line = false;
    };
    void before_value();
    void flush();
    // Room for `size` more bytes at the end of the buffer.
    char* room(std::size_t size)
    {
        if (used_ + size > buffer_.size())
            make_room(size);
        char* at = buffer_.data() + used_;
        used_ += size;
        return at;
    }
    void make_room(std::size_t size);
    void put(std::string_view text) { std::memcpy(room(text.size()), text.data(), text.size()); }
    void put(char c) { *room(1) = c; }

    export_file& out_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::vector<level> levels_;
    bool after_key_ = false;
};
