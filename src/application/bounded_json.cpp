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

// Where the list handed to a sink sits: the root, or a member of a root object.
struct SunkList {
    JsonListSink& sink;
    std::optional<std::string_view> member;
};

// Builds the document from the library's parse events as its own parser does,
// and stops the parse at the first value past a limit. Strings and keys are
// moved out of the parser's buffer rather than copied. With a sink, the
// elements of its list go to it one by one instead of into the tree.
class BoundedDocumentBuilder {
public:
    BoundedDocumentBuilder(Json& root, bool allowExceptions, const SunkList* sunk)
        : root_(root), allowExceptions_(allowExceptions), sunk_(sunk),
          budget_(JsonMemoryBudget::current() != nullptr ? *JsonMemoryBudget::current() : ownBudget_) {}

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(Json::number_integer_t value) { return add(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return add(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) { return add(value); }
    bool string(Json::string_t& value) {
        return charge(kStringBytes + stringHeapBytes(value.size())) && add(std::move(value));
    }
    bool binary(Json::binary_t& value) { return add(std::move(value)); }

    bool start_object(std::size_t /*size*/) {
        if (sunk_ != nullptr && !sunk_->member && open_.empty()) {
            return stop(Json::object());  // no list: nothing of it is worth reading
        }
        return open(Json::value_t::object, kObjectBytes);
    }
    bool key(Json::string_t& name) {
        if (!charge(kMemberBytes + stringHeapBytes(name.size()))) {
            return false;
        }
        atListMember_ = sunk_ != nullptr && sunk_->member && open_.size() == 1 && name == *sunk_->member;
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

    // Whether the parse ended early on purpose, with a usable result.
    bool stopped() const { return stopped_; }

private:
    bool charge(std::size_t bytes) { return budget_.tryCharge(bytes) || refuse(jsonMemoryRefusal()); }

    // Whether the next value takes the place of the sink's list.
    bool atListPlace() const {
        if (sunk_ == nullptr) {
            return false;
        }
        return sunk_->member ? open_.size() == 1 && atListMember_ : open_.empty();
    }
    // Whether the next value is an element of the sink's list.
    bool inList() const { return list_ != nullptr && !open_.empty() && open_.back() == list_; }

    // What the place of the next value costs (an object member's was charged with its key).
    std::size_t slotBytes() const {
        if (open_.empty()) {
            return kRootBytes;
        }
        return !inList() && open_.back()->is_array() ? kArraySlotBytes : 0;
    }

    template <typename Value>
    Json* place(Value&& value) {
        if (atListPlace()) {
            list_ = nullptr;
            sunk_->sink.drop();
        }
        if (open_.empty()) {
            root_ = Json(std::forward<Value>(value));
            return &root_;
        }
        if (inList()) {
            element_ = Json(std::forward<Value>(value));
            return &element_;
        }
        if (auto* array = open_.back()->get_ptr<Json::array_t*>()) {
            return &array->emplace_back(std::forward<Value>(value));
        }
        *member_ = Json(std::forward<Value>(value));
        return member_;
    }

    // The element is dropped: what stays charged is what the sink keeps of it.
    bool sinkElement() {
        const std::size_t treeBytes = budget_.used() - elementStart_;
        const bool more = sunk_->sink.take(element_);
        element_ = Json();
        budget_.release(treeBytes);
        elementStart_ = budget_.used();
        return more || stop(Json());
    }

    // Ends the parse early; `root` takes the root's place unless it is null.
    bool stop(Json root) {
        if (!root.is_null()) {
            root_ = std::move(root);
        }
        stopped_ = true;
        return false;
    }

    template <typename Value>
    bool add(Value&& value) {
        if (!charge(slotBytes())) {
            return false;
        }
        const bool element = inList();
        place(std::forward<Value>(value));
        return !element || sinkElement();
    }

    bool open(Json::value_t type, std::size_t bytes) {
        if (open_.size() == kMaxJsonDepth) {
            return refuse("JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
        }
        if (!charge(bytes + slotBytes())) {
            return false;
        }
        const bool opensList = type == Json::value_t::array && atListPlace();
        open_.push_back(place(type));
        if (opensList) {  // the baseline of its first element
            list_ = open_.back();
            sunk_->sink.restart();
            elementStart_ = budget_.used();
        }
        return true;
    }

    bool close() {
        open_.pop_back();
        return !inList() || sinkElement();
    }

    Json& root_;
    bool allowExceptions_;
    const SunkList* sunk_;
    JsonMemoryBudget ownBudget_;  // unused within an answer's budget
    JsonMemoryBudget& budget_;
    std::vector<Json*> open_;        // the containers being filled, innermost last
    Json* member_ = nullptr;         // the object member the next value fills
    bool atListMember_ = false;      // whether that member is where the sink's list goes
    Json* list_ = nullptr;           // the sink's list while it is open
    Json element_;                   // the list element being built for the sink
    std::size_t elementStart_ = 0;   // bytes charged before that element
    bool stopped_ = false;
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

Json parse(std::string_view text, bool allowExceptions, const SunkList* sunk) {
    Json root;
    BoundedDocumentBuilder builder(root, allowExceptions, sunk);
    if (hasTokenLongerThan(text, kMaxJsonTokenBytes)) {
        builder.refuse("JSON token longer than " + std::to_string(kMaxJsonTokenBytes) + " bytes");
        return Json(Json::value_t::discarded);
    }
    if (!Json::sax_parse(text.begin(), text.end(), &builder) && !builder.stopped()) {
        return Json(Json::value_t::discarded);
    }
    return root;
}

}  // namespace

Json parseBoundedJson(std::string_view text) { return parse(text, true, nullptr); }

Json tryParseBoundedJson(std::string_view text) { return parse(text, false, nullptr); }

Json parseBoundedJsonList(std::string_view text, std::optional<std::string_view> member, JsonListSink& sink) {
    const SunkList sunk{sink, member};
    return parse(text, true, &sunk);
}

}  // namespace quarlino::quil::application
