#pragma once

#include <gtest/gtest.h>

#include <concepts>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace testsupport::net {

// Text held by a test parameter: one copy shared by every copy of the
// parameter, and, when given as a recipe, built only once a test reads it.
// Every test process builds and copies each parameter several times while
// registering the tests, whichever one it runs: a large body held by value
// costs each of them megabytes of work before its one test starts.
class SharedText {
public:
    SharedText(std::string text) : state_(std::make_shared<State>()) { state_->text = std::move(text); }
    SharedText(const char* text) : SharedText(std::string(text)) {}
    template <typename Recipe>
        requires std::is_invocable_v<Recipe> && std::convertible_to<std::invoke_result_t<Recipe>, std::string>
    SharedText(Recipe recipe) : state_(std::make_shared<State>()) {
        state_->recipe = std::move(recipe);
    }

    const std::string& str() const {
        std::call_once(state_->built, [this] {
            if (state_->recipe) {
                state_->text = state_->recipe();
            }
        });
        return state_->text;
    }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    std::size_t size() const { return str().size(); }

    friend bool operator==(const SharedText& text, const std::string& other) { return text.str() == other; }
    // A failed comparison shows the text as it would show a std::string.
    friend void PrintTo(const SharedText& text, std::ostream* out) { *out << ::testing::PrintToString(text.str()); }

private:
    struct State {
        std::once_flag built;
        std::function<std::string()> recipe;
        std::string text;
    };
    std::shared_ptr<State> state_;
};

}  // namespace testsupport::net
