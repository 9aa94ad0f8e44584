#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace quarlino::quil::cli {

// Fails the test unless the action throws an Error with exactly this message.
template <typename Error, typename Action>
void expectFailure(Action&& action, const std::string& message) {
    try {
        std::forward<Action>(action)();
        ADD_FAILURE() << "no failure, expected: " << message;
    } catch (const Error& error) {
        EXPECT_EQ(error.what(), message);
    }
}

}  // namespace quarlino::quil::cli
