#include "application/bounded_json.hpp"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarlino::quil::application {
namespace {

using Json = nlohmann::json;

// Builds the document from the library's parse events as its own parser does,
// and stops the parse at the first value past a limit. Strings and keys are
// moved out of the parser's buffer rather than copied.
class BoundedDocumentBuilder {
public:
    BoundedDocumentBuilder(Json& root, bool allowExceptions) : root_(root), allowExceptions_(allowExceptions) {}

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(Json::number_integer_t value) { return add(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return add(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& /*text*/) { return add(value); }
    bool string(Json::string_t& value) { return add(std::move(value)); }
    bool binary(Json::binary_t& value) { return add(std::move(value)); }

    bool start_object(std::size_t /*size*/) { return open(Json::value_t::object); }
    bool key(Json::string_t& name) {
        member_ = &(*open_.back()->get_ptr<Json::object_t*>())[std::move(name)];
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t /*size*/) { return open(Json::value_t::array); }
    bool end_array() { return close(); }

    template <typename Exception>
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const Exception& error) {
        if (allowExceptions_) {
            throw error;
        }
        return false;
    }

private:
    bool overLimit(std::string_view problem) {
        return parse_error(0, {}, Json::parse_error::create(101, 0, std::string(problem), nullptr));
    }

    template <typename Value>
    Json* place(Value&& value) {
        if (open_.empty()) {
            root_ = Json(std::forward<Value>(value));
            return &root_;
        }
        if (auto* array = open_.back()->get_ptr<Json::array_t*>()) {
            return &array->emplace_back(std::forward<Value>(value));
        }
        *member_ = Json(std::forward<Value>(value));
        return member_;
    }

    bool countValue() {
        return ++values_ <= kMaxJsonValues ||
               overLimit("JSON with more than " + std::to_string(kMaxJsonValues) + " values");
    }

    template <typename Value>
    bool add(Value&& value) {
        if (!countValue()) {
            return false;
        }
        place(std::forward<Value>(value));
        return true;
    }

    bool open(Json::value_t type) {
        if (open_.size() == kMaxJsonDepth) {
            return overLimit("JSON nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
        }
        if (!countValue()) {
            return false;
        }
        open_.push_back(place(type));
        return true;
    }

    bool close() {
        open_.pop_back();
        return true;
    }

    Json& root_;
    bool allowExceptions_;
    std::vector<Json*> open_;  // the containers being filled, innermost last
    Json* member_ = nullptr;   // the object member the next value fills
    std::size_t values_ = 0;
};

Json parse(std::string_view text, bool allowExceptions) {
    Json root;
    BoundedDocumentBuilder builder(root, allowExceptions);
    if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
        return Json(Json::value_t::discarded);
    }
    return root;
}

}  // namespace

Json parseBoundedJson(std::string_view text) { return parse(text, true); }

Json tryParseBoundedJson(std::string_view text) { return parse(text, false); }

}  // namespace quarlino::quil::application
