// Placeholder substitution shared by the logger and the translation helper.
#include "shared/text_format.h"

#include <cctype>

namespace tessary {
namespace {

// Length of the conversion that starts after '%' at `conversion`, or 0 if none is recognised.
// Sets `position` for the positional form "N$".
std::size_t conversionLength(std::string_view conversion, std::size_t& position)
{
    std::size_t i = 0;
    position = 0;
    if (i < conversion.size() && std::isdigit(static_cast<unsigned char>(conversion[i])) &&
        conversion[i] != '0') {
        std::size_t n = 0;
        std::size_t j = i;
        while (j < conversion.size() && std::isdigit(static_cast<unsigned char>(conversion[j])) &&
               j < 2) {
            n = n * 10 + static_cast<std::size_t>(conversion[j] - '0');
            ++j;
        }
        if (j < conversion.size() && conversion[j] == '$') {
            position = n;
            i = j + 1;
        }
    }
    // Log annotations such as {public} or {bool} do not change the text.
    if (i < conversion.size() && conversion[i] == '{') {
        const std::size_t close = conversion.find('}', i);
        if (close == std::string_view::npos) {
            return 0;
        }
        i = close + 1;
    }
    while (i < conversion.size() && conversion[i] == 'l') {
        ++i;
    }
    if (i < conversion.size() &&
        std::string_view("s@duif").find(conversion[i]) != std::string_view::npos) {
        return i + 1;
    }
    return 0;
}

} // namespace

std::string formatText(std::string_view format, std::span<const std::string> values)
{
    std::string out;
    out.reserve(format.size() + 32);
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t position = 0;
        const std::size_t length = conversionLength(format.substr(i + 1), position);
        if (length == 0) {
            out += '%';
            continue;
        }
        const std::size_t index = position > 0 ? position - 1 : next++;
        if (index >= values.size()) {
            out += '%';
            continue;
        }
        out += values[index];
        i += length;
    }
    return out;
}

} // namespace tessary
