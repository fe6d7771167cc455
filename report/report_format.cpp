// The report formatter: literal runs are copied in one piece, numbers are
// converted with std::to_chars (floating point with its exact, correctly
// rounded fixed form, as glibc's printf gives it), widths pad with blanks or
// zeros as printf does.
#include "report/report_format.h"

#include <charconv>
#include <cstring>

namespace {

struct conversion {
    bool left = false;      // '-'
    bool zero = false;      // '0'
    int width = 0;
    int precision = -1;
    bool is_long = false;   // 'l'
    char kind = 0;
};

// Reads the conversion after a '%'; null when it is not one we handle.
const char* parse_conversion(const char* p, conversion& c)
{
    for (;; ++p) {
        if (*p == '-')
            c.left = true;
        else if (*p == '0')
            c.zero = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9')
        c.width = c.width * 10 + (*p++ - '0');
    if (*p == '.') {
        c.precision = 0;
        for (++p; *p >= '0' && *p <= '9'; ++p)
            c.precision = c.precision * 10 + (*p - '0');
    }
    if (*p == 'l') {
        c.is_long = true;
        ++p;
    }
    switch (*p) {
    case 's': case 'd': case 'u': case 'c': case 'f': case '%':
        c.kind = *p;
        return p + 1;
    default:
        return nullptr;
    }
}

void append_padded(std::string& out, const char* text, std::size_t length, const conversion& c)
{
    std::size_t width = c.width > 0 ? static_cast<std::size_t>(c.width) : 0;
    if (length >= width) {
        out.append(text, length);
        return;
    }
    std::size_t pad = width - length;
    if (c.left) {
        out.append(text, length);
        out.append(pad, ' ');
    } else if (c.zero && c.kind != 's' && c.kind != 'c') {
        // Zeros go after a sign.
        std::size_t sign = (length > 0 && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
        out.append(text, sign);
        out.append(pad, '0');
        out.append(text + sign, length - sign);
    } else {
        out.append(pad, ' ');
        out.append(text, length);
    }
}

// Converts one argument; false when the conversion cannot be done here.
bool append_argument(std::string& out, const conversion& c, va_list& args)
{
    char number[400];
    std::to_chars_result done{};
    switch (c.kind) {
    case '%':
        out += '%';
        return true;
    case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr)
            text = "(null)";
        std::size_t length = c.precision >= 0 ? strnlen(text, static_cast<std::size_t>(c.precision)) : std::strlen(text);
        append_padded(out, text, length, c);
        return true;
    }
    case 'c': {
        char ch = static_cast<char>(va_arg(args, int));
        append_padded(out, &ch, 1, c);
        return true;
    }
    case 'd':
        done = c.is_long ? std::to_chars(number, number + sizeof number, va_arg(args, long))
                         : std::to_chars(number, number + sizeof number, va_arg(args, int));
        break;
    case 'u':
        done = c.is_long ? std::to_chars(number, number + sizeof number, va_arg(args, unsigned long))
                         : std::to_chars(number, number + sizeof number, va_arg(args, unsigned));
        break;
    case 'f':
        done = std::to_chars(number, number + sizeof number, va_arg(args, double), std::chars_format::fixed,
                             c.precision >= 0 ? c.precision : 6);
        break;
    default:
        return false;
    }
    if (done.ec != std::errc())
        return false;
    append_padded(out, number, static_cast<std::size_t>(done.ptr - number), c);
    return true;
}

}  // namespace

bool append_formatted(std::string& out, const char* format, va_list args)
{
    const std::size_t start = out.size();
    va_list own;
    va_copy(own, args);
    const char* p = format;
    bool handled = true;
    while (*p) {
        const char* percent = std::strchr(p, '%');
        if (percent == nullptr) {
            out.append(p);
            break;
        }
        out.append(p, static_cast<std::size_t>(percent - p));
        conversion c;
        const char* next = parse_conversion(percent + 1, c);
        if (next == nullptr || ((c.kind == 's' || c.kind == 'c') && c.zero) ||
            (c.precision >= 0 && c.kind != 'f' && c.kind != 's') || !append_argument(out, c, own)) {
            handled = false;
            break;
        }
        p = next;
    }
    va_end(own);
    if (!handled)
        out.resize(start);
    return handled;
}

namespace {

constexpr std::string_view replacement_character = "\uFFFD";
constexpr std::string_view ellipsis = "\u2026";

// The length of the UTF-8 sequence that starts `text`, or 0 when its first
// bytes do not form one (overlong forms and surrogates included).
std::size_t utf8_sequence_length(std::string_view text)
{
    const auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

void append_ascii_character(std::string& out, char c)
{
    switch (c) {
    case '&': out += "&amp;"; break;
    case '<': out += "&lt;"; break;
    case '>': out += "&gt;"; break;
    case '"': out += "&quot;"; break;
    case '\'': out += "&#39;"; break;
    case '\t': out += ' '; break;
    default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            out += replacement_character;
        else
            out += c;
    }
}

}  // namespace

void append_markup_text(std::string& out, std::string_view text, std::size_t max_characters)
{
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (characters++ == max_characters) {
            out += ellipsis;
            return;
        }
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            append_ascii_character(out, text[i++]);
            continue;
        }
        const std::size_t length = utf8_sequence_length(text.substr(i));
        // U+0080 to U+009F are control characters too.
        const bool control = length == 2 && static_cast<unsigned char>(text[i]) == 0xC2 &&
                             static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length == 0 || control)
            out += replacement_character;
        else
            out.append(text.substr(i, length));
        i += length == 0 ? 1 : length;
    }
}
