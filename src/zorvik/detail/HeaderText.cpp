#include "zorvik/detail/HeaderText.hpp"

#include <algorithm>
#include <cctype>

#include "zorvik/detail/AsciiText.hpp"

namespace zorvik::detail {

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string trimCopy(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string toLowerCopy(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), toLowerAscii);
    return text;
}

bool hasHeaderIgnoreCase(const std::map<std::string, std::string>& headers, std::string_view name) {
    return std::any_of(headers.begin(), headers.end(),
                       [name](const auto& entry) { return equalsIgnoreCase(entry.first, name); });
}

bool hasHeaderValueIgnoreCase(const std::map<std::string, std::string>& headers,
                              std::string_view name, std::string_view value) {
    return std::any_of(headers.begin(), headers.end(), [name, value](const auto& entry) {
        return equalsIgnoreCase(entry.first, name) && equalsIgnoreCase(trimCopy(entry.second), value);
    });
}

}  // namespace zorvik::detail
