// The streaming JSON writer: punctuation, numbers and the hand-over of the
// buffer. Its input is the program's statistics (trusted); texts go through
// the rule of json_text.h.
#include "export/json_writer.h"

#include <charconv>
#include <cmath>

#include "export/json_text.h"

namespace {

constexpr std::size_t buffer_size = std::size_t{1} << 20;
constexpr double exact_integer_limit = 9007199254740992.0;  // 2^53

}  // namespace

json_writer::json_writer(export_file& out) : out_(out), buffer_(buffer_size)
{
}

void json_writer::flush()
{
    out_.write(std::string_view(buffer_.data(), used_));
    used_ = 0;
}

void json_writer::make_room(std::size_t size)
{
    flush();
    if (size > buffer_.size())
        buffer_.resize(size);
}

void json_writer::before_value()
{
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (levels_.empty())
        return;
    level& current = levels_.back();
    if (!current.first)
        put(',');
    current.first = false;
    if (current.one_per_line)
        put('\n');
}

void json_writer::begin_object()
{
    before_value();
    put('{');
    levels_.push_back({});
}

void json_writer::end_object()
{
    put('}');
    levels_.pop_back();
}

void json_writer::begin_array(bool one_per_line)
{
    before_value();
    put('[');
    levels_.push_back({true, one_per_line});
}

void json_writer::end_array()
{
    if (levels_.back().one_per_line && !levels_.back().first)
        put('\n');
    put(']');
    levels_.pop_back();
}

void json_writer::key(std::string_view name)
{
    // A key is always inside an object, never right after another key.
    level& current = levels_.back();
    const bool comma = !current.first;
    current.first = false;
    char* at = room(name.size() + 3 + comma + current.one_per_line);
    if (comma)
        *at++ = ',';
    if (current.one_per_line)
        *at++ = '\n';
    *at++ = '"';
    std::memcpy(at, name.data(), name.size());
    at += name.size();
    *at++ = '"';
    *at = ':';
    after_key_ = true;
}

void json_writer::text(const char* text)
{
    if (text == nullptr) {
        null();
        return;
    }
    before_value();
    const measured_text measured = measure_text(text);
    const std::string_view view(text, measured.length);
    if (!measured.plain) {
        put(json_value_of_text(view));
        return;
    }
    char* at = room(view.size() + 2);
    *at++ = '"';
    std::memcpy(at, view.data(), view.size());
    at[view.size()] = '"';
}

void json_writer::text(std::string_view text)
{
    before_value();
    if (!is_plain_json_text(text)) {
        put(json_value_of_text(text));
        return;
    }
    put('"');
    put(text);
    put('"');
}

void json_writer::number(std::uint64_t value)
{
    before_value();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void json_writer::number(std::int64_t value)
{
    before_value();
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void json_writer::number(double value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < exact_integer_limit) {
        number(static_cast<std::int64_t>(value));
        return;
    }
    before_value();
    put(nlohmann::ordered_json(value).dump());
}

void json_writer::null()
{
    before_value();
    put("null");
}

void json_writer::tree(const nlohmann::ordered_json& value)
{
    before_value();
    put(value.dump());
}

void json_writer::finish()
{
    put('\n');
    flush();
}
