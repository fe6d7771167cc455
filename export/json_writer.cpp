// The streaming JSON writer: punctuation, numbers and the hand-over of the
// buffer. Its input is the program's statistics (trusted); texts go through
// append_json_text.
#include "export/json_writer.h"

#include <charconv>
#include <cmath>

#include "export/json_text.h"

namespace {

constexpr std::size_t flush_size = std::size_t{1} << 20;
constexpr double exact_integer_limit = 9007199254740992.0;  // 2^53

template <class Integer>
void append_integer(std::string& out, Integer value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace

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
        buffer_ += ',';
    current.first = false;
    if (current.one_per_line)
        buffer_ += '\n';
}

void json_writer::flush_when_full()
{
    if (buffer_.size() >= flush_size) {
        out_.write(buffer_);
        buffer_.clear();
    }
}

void json_writer::begin_object()
{
    before_value();
    buffer_ += '{';
    levels_.push_back({});
}

void json_writer::end_object()
{
    buffer_ += '}';
    levels_.pop_back();
    flush_when_full();
}

void json_writer::begin_array(bool one_per_line)
{
    before_value();
    buffer_ += '[';
    levels_.push_back({true, one_per_line});
}

void json_writer::end_array()
{
    if (levels_.back().one_per_line && !levels_.back().first)
        buffer_ += '\n';
    buffer_ += ']';
    levels_.pop_back();
    flush_when_full();
}

void json_writer::key(std::string_view name)
{
    before_value();
    buffer_ += '"';
    buffer_ += name;
    buffer_ += "\":";
    after_key_ = true;
}

void json_writer::text(const char* text)
{
    before_value();
    append_json_text(buffer_, text);
}

void json_writer::text(std::string_view text)
{
    before_value();
    append_json_text(buffer_, text);
}

void json_writer::number(std::uint64_t value)
{
    before_value();
    append_integer(buffer_, value);
}

void json_writer::number(std::int64_t value)
{
    before_value();
    append_integer(buffer_, value);
}

void json_writer::number(double value)
{
    before_value();
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < exact_integer_limit)
        append_integer(buffer_, static_cast<std::int64_t>(value));
    else
        buffer_ += nlohmann::ordered_json(value).dump();
}

void json_writer::null()
{
    before_value();
    buffer_ += "null";
}

void json_writer::tree(const nlohmann::ordered_json& value)
{
    before_value();
    buffer_ += value.dump();
    flush_when_full();
}

void json_writer::finish()
{
    buffer_ += '\n';
    out_.write(buffer_);
    buffer_.clear();
}
