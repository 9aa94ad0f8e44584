#include "application/bounded_json.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarlino::quil::application {
namespace {

using Json = nlohmann::json;

// What the tree holds for each kind of value, in bytes of the allocator
// (16-byte steps, 8 bytes of its own a block): an array slot, three while the
// array grows; an object member's node with its key; a string's own block; a
// fresh object or array. Long texts add their own block.
constexpr std::size_t kArraySlotBytes = 48;
constexpr std::size_t kMemberBytes = 96;
constexpr std::size_t kRootBytes = 16;
constexpr std::size_t kStringBytes = 48;
constexpr std::size_t kObjectBytes = 64;
constexpr std::size_t kArrayBytes = 32;

std::size_t textBytes(std::size_t length) { return length < 16 ? 0 : (length + 1 + 8 + 15) / 16 * 16; }

// Builds the document from the library's parse events as its own parser does,
// and stops the parse at the first value past a limit. Strings and keys are
// moved out of the parser's buffer rather than copied. With a sink, the
// elements of a root array go to it one by one instead of into the tree.
class BoundedDocumentBuilder {
public:
    BoundedDocumentBuilder(Json& root, bool allowExceptions, const JsonElementSink* sink)
        : root_(root), allowExceptions_(allowExceptions), sink_(sink) {}

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(Json::number_integer_t value) { return add(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return add(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) { return add(value); }
    bool string(Json::string_t& value) {
        const std::size_t text = textBytes(value.size());
        elementText_ += text;
        return charge(kStringBytes + text) && add(std::move(value));
    }
    bool binary(Json::binary_t& value) { return add(std::move(value)); }

    bool start_object(std::size_t /*size*/) { return open(Json::value_t::object, kObjectBytes); }
    bool key(Json::string_t& name) {
        if (!charge(kMemberBytes + textBytes(name.size()))) {
            return false;
        }
        member_ = &(*open_.back()->get_ptr<Json::object_t*>())[std::move(name)];
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t /*size*/) { return open(Json::value_t::array, kArrayBytes); }
    bool end_array() { return close(); }

    // Fails the parse for `problem`, as parse_error would.
    bool refuse(std::string_view problem) {
        return parse_error(0, {}, Json::parse_error::create(101, 0, std::string(problem), nullptr));
    }

    template <typename Exception>
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception& error) {
        if (allowExceptions_) {
            throw error;
        }
        return false;
    }

private:
    bool charge(std::size_t bytes) {
        used_ += bytes;
        return used_ <= kMaxJsonBytes ||
               refuse("JSON taking more than " + std::to_string(kMaxJsonBytes) + " bytes of memory");
    }

    // Whether the next value is an element of a root array that goes to the sink.
    bool inSunkList() const { return sink_ != nullptr && open_.size() == 1 && open_.front() == &root_; }

    // What the place of the next value costs (an object member's was charged with its key).
    std::size_t slotBytes() const {
        if (open_.empty()) {
            return kRootBytes;
        }
        return !inSunkList() && open_.back()->is_array() ? kArraySlotBytes : 0;
    }

    template <typename Value>
    Json* place(Value&& value) {
        if (open_.empty()) {
            root_ = Json(std::forward<Value>(value));
            return &root_;
        }
        if (inSunkList()) {
            element_ = Json(std::forward<Value>(value));
            return &element_;
        }
        if (auto* array = open_.back()->get_ptr<Json::array_t*>()) {
            return &array->emplace_back(std::forward<Value>(value));
        }
        *member_ = Json(std::forward<Value>(value));
        return member_;
    }

    // The element is dropped: what stays charged is what the sink keeps of
    // it and the strings it may have copied.
    bool sinkElement() {
        const std::size_t kept = (*sink_)(element_);
        element_ = Json();
        used_ = elementStart_ + elementText_ + kept;
        elementText_ = 0;
        elementStart_ = used_;
        return charge(0);
    }

    template <typename Value>
    bool add(Value&& value) {
        if (!charge(slotBytes())) {
            return false;
        }
        const bool sunk = inSunkList();
        place(std::forward<Value>(value));
        return !sunk || sinkElement();
    }

    bool open(Json::value_t type, std::size_t bytes) {
        if (open_.size() == kMaxJsonDepth) {
            return refuse("JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
        }
        if (!charge(bytes + slotBytes())) {
            return false;
        }
        open_.push_back(place(type));
        if (inSunkList()) {  // the list opens: the baseline of its first element
            elementStart_ = used_;
            elementText_ = 0;
        }
        return true;
    }

    bool close() {
        open_.pop_back();
        return !inSunkList() || sinkElement();
    }

    Json& root_;
    bool allowExceptions_;
    const JsonElementSink* sink_;
    std::vector<Json*> open_;  // the containers being filled, innermost last
    Json* member_ = nullptr;   // the object member the next value fills
    std::size_t used_ = 0;     // bytes charged so far
    Json element_;             // the list element being built for the sink
    std::size_t elementStart_ = 0;  // bytes charged before that element
    std::size_t elementText_ = 0;   // bytes of the long strings read since then
};

constexpr auto kTokenSeparators = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view(" \t\n\r{}[],:")) {
        table[static_cast<unsigned char>(c)] = true;
    }
    return table;
}();

bool separatesTokens(char c) { return kTokenSeparators[static_cast<unsigned char>(c)]; }

// One past the closing quote of the string opening at `open`, looking no
// further than `limit` bytes past it (text.size() when it is not closed).
std::size_t stringEnd(std::string_view text, std::size_t open, std::size_t limit) {
    const std::size_t stop = std::min(text.size(), open + limit + 2);
    std::size_t from = open + 1;
    while (from < stop) {
        const void* found = std::memchr(text.data() + from, '"', stop - from);
        if (found == nullptr) {
            return stop;
        }
        const auto quote = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        std::size_t backslashes = 0;
        while (quote - backslashes > open + 1 && text[quote - backslashes - 1] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            return quote + 1;
        }
        from = quote + 1;
    }
    return stop;
}

// Whether a string, number or literal of `text` is longer than `limit`
// bytes. One quick pass, stopping at the first such token, so that the
// parse never starts on it.
bool hasTokenLongerThan(std::string_view text, std::size_t limit) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = at;
        if (text[at] == '"') {
            at = stringEnd(text, at, limit);
        } else if (separatesTokens(text[at])) {
            ++at;
            continue;
        } else {
            while (at < text.size() && text[at] != '"' && !separatesTokens(text[at])) {
                ++at;
            }
        }
        if (at - start > limit) {
            return true;
        }
    }
    return false;
}

Json parse(std::string_view text, bool allowExceptions, const JsonElementSink* sink) {
    Json root;
    BoundedDocumentBuilder builder(root, allowExceptions, sink);
    if (hasTokenLongerThan(text, kMaxJsonTokenBytes)) {
        builder.refuse("JSON token longer than " + std::to_string(kMaxJsonTokenBytes) + " bytes");
        return Json(Json::value_t::discarded);
    }
    if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
        return Json(Json::value_t::discarded);
    }
    return root;
}

}  // namespace

Json parseBoundedJson(std::string_view text) { return parse(text, true, nullptr); }

Json tryParseBoundedJson(std::string_view text) { return parse(text, false, nullptr); }

Json parseBoundedJsonElements(std::string_view text, const JsonElementSink& take) { return parse(text, true, &take); }

}  // namespace quarlino::quil::application
