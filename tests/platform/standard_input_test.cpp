#include "platform/standard_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

using quarlino::quil::platform::DescriptorInputBuffer;
using quarlino::quil::platform::readInputLine;
using quarlino::quil::platform::readRemainingInput;

// A descriptor that cannot be read must not pass for one at its end: a
// write-only one, a directory, and one that is not open at all.
TEST(DescriptorInputTest, AFailedReadIsNoEndOfInput) {
    const int writeOnly = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int directory = ::open("/", O_RDONLY | O_CLOEXEC);
    const int closed = 1021;
    ASSERT_EQ(::fcntl(closed, F_GETFD), -1);
    for (const int fd : {writeOnly, directory, closed}) {
        ASSERT_NE(fd, -1);
        DescriptorInputBuffer lineBuffer(fd);
        std::istream lineInput(&lineBuffer);
        EXPECT_THROW(readInputLine(lineInput), std::runtime_error) << fd;
        DescriptorInputBuffer allBuffer(fd);
        std::istream allInput(&allBuffer);
        try {
            readRemainingInput(allInput);
            ADD_FAILURE() << "read descriptor " << fd;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "cannot read command input");
        }
    }
    ::close(writeOnly);
    ::close(directory);
}

TEST(DescriptorInputTest, OnlyAnEmptyReadEndsTheInput) {
    std::array<int, 2> fds{};
    ASSERT_EQ(::pipe2(fds.data(), O_CLOEXEC), 0);
    ASSERT_EQ(::write(fds[1], "first\r\nlast", 11), 11);
    ::close(fds[1]);
    DescriptorInputBuffer buffer(fds[0]);
    std::istream in(&buffer);
    EXPECT_EQ(readInputLine(in), std::optional<std::string>("first\r"));
    EXPECT_EQ(readInputLine(in), std::optional<std::string>("last"));
    EXPECT_EQ(readInputLine(in), std::nullopt);
    EXPECT_EQ(readRemainingInput(in), "");
    ::close(fds[0]);
}

}  // namespace
