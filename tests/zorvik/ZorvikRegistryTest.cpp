#include "zorvik/Zorvik.hpp"

#include "zorvik/OpenSSLContext.hpp"

#include "support/net/HttpReplies.hpp"
#include "support/net/LoopbackServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace zorvik {
namespace {

using testsupport::net::LoopbackServer;
using testsupport::net::okResponse;
using testsupport::net::Reply;
using testsupport::net::requestHeader;

// The registry lives for the whole process and never forgets a name, so every
// test registers names of its own, new on every run of the test.
std::string freshName(const std::string& base) {
    static int runs = 0;
    return base + "-" + std::to_string(++runs);
}

std::string messageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "<no exception>";
}

TEST(ZorvikRegistry, ConfiguredInstanceIsFoundByNameWithItsSettings) {
    const std::string name = freshName("registry-found");
    ZorvikConfig& configured = Zorvik::config(name).timeout(1234).defaultHeader("X-Probe", "1");

    ZorvikInstance& instance = Zorvik::use(name);

    EXPECT_EQ(&instance.getConfig(), &configured);
    EXPECT_EQ(instance.getConfig().getTimeout(), 1234);
    EXPECT_EQ(&Zorvik::use(name), &instance);
}

TEST(ZorvikRegistry, NameCannotBeConfiguredTwice) {
    const std::string name = freshName("registry-twice");
    Zorvik::config(name).timeout(1000);

    EXPECT_EQ(messageOf([&] { Zorvik::config(name); }),
              "Configuration '" + name + "' already exists. Cannot reconfigure existing instance.");
    EXPECT_EQ(Zorvik::use(name).getConfig().getTimeout(), 1000);
}

TEST(ZorvikRegistry, UnknownNameIsNotCreatedByUse) {
    EXPECT_EQ(messageOf([] { Zorvik::use("registry-unknown"); }),
              "Configuration 'registry-unknown' not found. Use config(\"registry-unknown\") first to configure it.");
    EXPECT_EQ(messageOf([] { Zorvik::use("registry-unknown"); }),
              "Configuration 'registry-unknown' not found. Use config(\"registry-unknown\") first to configure it.");
}

TEST(ZorvikRegistry, DefaultInstanceIsMadeOnceAndThenCannotBeConfigured) {
    ZorvikInstance& first = Zorvik::use("default");

    EXPECT_EQ(&Zorvik::getDefaultInstance(), &first);
    EXPECT_EQ(&Zorvik::use("default"), &first);
    EXPECT_EQ(messageOf([] { Zorvik::config("default"); }),
              "Configuration 'default' already exists. Cannot reconfigure existing instance.");
}

TEST(ZorvikRegistry, StaticVerbsSendThroughTheDefaultInstance) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("from default")});

    const auto response = Zorvik::get(server.url("/static")).fly();

    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.getBody(), "from default");
    EXPECT_EQ(Zorvik::get(server.url()).build().timeout, Zorvik::getDefaultInstance().getConfig().getTimeout());
}

TEST(ZorvikRegistry, SettingsMadeBeforeTheFirstRequestReachTheWire) {
    LoopbackServer server;
    server.enqueue(Reply{okResponse("")});
    const std::string name = freshName("registry-wire");
    Zorvik::config(name).defaultHeader("X-Instance", "registry-wire");

    const auto response = Zorvik::use(name).post(server.url("/wire")).body("x").fly();

    ASSERT_EQ(response.statusCode, 200);
    ASSERT_EQ(server.requests().size(), 1U);
    EXPECT_EQ(requestHeader(server.requests()[0], "X-Instance"), "registry-wire");
}

TEST(ZorvikSSL, MakesDefaultOpenSSLContextsOnly) {
    const auto context = Zorvik::SSL::createOpenSSLContext();

    ASSERT_NE(std::dynamic_pointer_cast<OpenSSLContext>(context), nullptr);
    EXPECT_EQ(context->getProviderName(), "OPENSSL");
    EXPECT_NE(Zorvik::SSL::createOpenSSLContext(), context);
    EXPECT_TRUE(Zorvik::SSL::sslEnabled());
    EXPECT_EQ(messageOf([] { Zorvik::SSL::createBotanContext(); }),
              "Botan support not compiled. Install Botan development libraries and define ZORVIK_WITH_BOTAN.");
    EXPECT_EQ(messageOf([] { Zorvik::SSL::createMbedTLSContext(); }),
              "mbedTLS support not compiled. Install mbedTLS development libraries and define ZORVIK_WITH_MBEDTLS.");
}

class CountingFactory : public ThreadFactory {
public:
    std::thread createThread(std::function<void()> function) override { return std::thread(std::move(function)); }
    std::uint64_t getMaxThreads() const override { return 7; }
};

TEST(ZorvikThreadPoolConfig, ChoosesTheFactory) {
    EXPECT_EQ(Zorvik::ThreadPoolConfig::create().getThreadFactory()->getMaxThreads(), 2U);
    EXPECT_EQ(Zorvik::ThreadPoolConfig::create().maxThreads(5).getThreadFactory()->getMaxThreads(), 5U);

    const auto custom = std::make_shared<CountingFactory>();
    auto chosen = Zorvik::ThreadPoolConfig::create();
    EXPECT_EQ(chosen.useCustomFactory(custom).getThreadFactory(), custom);
    EXPECT_EQ(chosen.useZorvikThreadPool().getThreadFactory()->getMaxThreads(), 2U);
}

TEST(ZorvikThreadPoolConfig, NullCustomFactoryFallsBackToTheLibraryFactory) {
    const auto factory = Zorvik::ThreadPoolConfig::create().useCustomFactory(nullptr).getThreadFactory();

    ASSERT_NE(factory, nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<ZorvikThreadFactory>(factory), nullptr);
    EXPECT_EQ(factory->getMaxThreads(), 2U);
}

}  // namespace
}  // namespace zorvik
