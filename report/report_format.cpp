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
