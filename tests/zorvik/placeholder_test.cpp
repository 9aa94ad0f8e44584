#include <gtest/gtest.h>
TEST(Placeholder, ZorvikSuiteLinks) {}
