#include "zorvik/ZorvikConfig.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace zorvik {
namespace {

class StubContext : public SSLContext {
public:
    SSLProvider getProvider() const override { return SSLProvider::OpenSSL; }
    std::string getProviderName() const override { return "STUB"; }
    bool isConfigured() const override { return true; }
    std::unique_ptr<SSLConnection> createConnection() const override { return nullptr; }
    SSLContext& setCertificateFile(const std::string&) override { return *this; }
    SSLContext& setPrivateKeyFile(const std::string&) override { return *this; }
    SSLContext& setCABundleFile(const std::string&) override { return *this; }
    SSLContext& setVerifyPeer(bool) override { return *this; }
    SSLContext& setVerifyHost(bool) override { return *this; }
    SSLContext& setCipherList(const std::string&) override { return *this; }
};

TEST(ZorvikConfig, FreshConfigurationHasTheLibraryDefaults) {
    const ZorvikConfig config;
    EXPECT_EQ(config.getTimeout(), 30000);
    EXPECT_TRUE(config.shouldFollowRedirects());
    EXPECT_EQ(config.getMaxRedirects(), 5);
    EXPECT_FALSE(config.shouldPrintRequests());
    EXPECT_FALSE(config.shouldPrintResponses());
    EXPECT_TRUE(config.getDefaultHeaders().empty());
    EXPECT_FALSE(config.hasSSL());
    EXPECT_EQ(config.getSSLContext(), nullptr);
    EXPECT_NE(dynamic_cast<ConsoleLoggerAdapter*>(config.getLogger().get()), nullptr);
    ASSERT_NE(config.getThreadFactory(), nullptr);
    EXPECT_EQ(config.getThreadFactory()->getMaxThreads(), 2U);
    EXPECT_EQ(config.getMaxResponseBytes(), UINT64_MAX);
}

TEST(ZorvikConfig, FreshConfigurationsShareOneConsoleLogger) {
    const ZorvikConfig first;
    const ZorvikConfig second;
    EXPECT_EQ(first.getLogger(), second.getLogger());
    EXPECT_NE(first.getThreadFactory(), second.getThreadFactory());
}

TEST(ZorvikConfig, DefaultHeaderReplacesOnlyTheExactName) {
    ZorvikConfig config;
    config.defaultHeader("X-Id", "1").defaultHeader("X-Id", "2").defaultHeader("x-id", "3");
    EXPECT_EQ(config.getDefaultHeaders(), (ZorvikConfig::HeaderMap{{"X-Id", "2"}, {"x-id", "3"}}));
}

TEST(ZorvikConfig, SettersChainAndStore) {
    const auto context = std::make_shared<StubContext>();
    const auto factory = std::make_shared<ZorvikThreadFactory>(7);
    ZorvikConfig config;
    config.logger(nullptr)
        .printRequests(true)
        .printResponses(true)
        .timeout(-5)
        .followRedirects(false)
        .maxRedirects(0)
        .ssl(context)
        .threadFactory(factory)
        .maxResponseBytes(1024);
    EXPECT_EQ(config.getLogger(), nullptr);
    EXPECT_TRUE(config.shouldPrintRequests());
    EXPECT_TRUE(config.shouldPrintResponses());
    EXPECT_EQ(config.getTimeout(), -5);
    EXPECT_FALSE(config.shouldFollowRedirects());
    EXPECT_EQ(config.getMaxRedirects(), 0);
    EXPECT_TRUE(config.hasSSL());
    EXPECT_EQ(config.getSSLContext(), context);
    EXPECT_EQ(config.getThreadFactory(), factory);
    EXPECT_EQ(config.getMaxResponseBytes(), 1024U);
}

TEST(ZorvikThreadFactory, StartsAThreadOnEveryCallWhateverItsMaximum) {
    ZorvikThreadFactory factory(1);
    EXPECT_EQ(factory.getMaxThreads(), 1U);
    std::atomic<int> ran{0};
    std::thread first = factory.createThread([&] { ++ran; });
    std::thread second = factory.createThread([&] { ++ran; });
    ASSERT_TRUE(first.joinable());
    ASSERT_TRUE(second.joinable());
    first.join();
    second.join();
    EXPECT_EQ(ran.load(), 2);
}

}  // namespace
}  // namespace zorvik
