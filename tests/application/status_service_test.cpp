#include "application/status_service.hpp"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

#include "support/quil/recording_transport.hpp"

namespace {

using quarlino::quil::application::StatusService;
using quarlino::quil::application::port::HttpMethod;
using testsupport::quil::RecordingTransport;

class StatusServiceTest : public testing::TestWithParam<int> {};

TEST_P(StatusServiceTest, ReportsTheStatusOfTheServerRootUnjudged) {
    RecordingTransport transport;
    transport.expect(HttpMethod::GET, "/", GetParam(), "<html>ignored</html>");

    EXPECT_EQ(StatusService(transport).check(), GetParam());

    const auto& request = transport.onlyRequest();
    EXPECT_EQ(request.headers, (std::map<std::string, std::string>{{"Accept", "text/html, application/json"}}));
    EXPECT_TRUE(request.body.empty());
}

INSTANTIATE_TEST_SUITE_P(Statuses, StatusServiceTest, testing::Values(200, 204, 301, 404, 503, 0));

TEST(StatusServiceFailureTest, LetsTransportFailuresPass) {
    RecordingTransport transport;
    transport.expectThrow(HttpMethod::GET, "/", "connection broke");
    StatusService service(transport);
    EXPECT_THROW(service.check(), std::runtime_error);
}

}  // namespace
