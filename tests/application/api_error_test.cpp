#include "application/api_error.hpp"

#include <gtest/gtest.h>

namespace quarlino::quil::application {
namespace {

TEST(ApiError, KeepsStatusBodyAndMessageThroughItsBases) {
    const ApiError error(0, "x", "");
    EXPECT_EQ(error.statusCode(), 0);
    EXPECT_EQ(error.responseBody(), "");
    const std::exception& base = error;
    EXPECT_STREQ(base.what(), "x");
    const std::runtime_error& runtime = error;
    EXPECT_STREQ(runtime.what(), "x");
}

}  // namespace
}  // namespace quarlino::quil::application
