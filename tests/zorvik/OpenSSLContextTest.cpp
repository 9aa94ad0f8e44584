#include "zorvik/OpenSSLContext.hpp"

#include "TlsTestSupport.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <openssl/err.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace zorvik {
namespace {

using zorvik::testing::certificates;

TEST(OpenSSLContextDefaults, AreStrictAndReportTheProvider) {
    const auto context = OpenSSLContext::createDefault();

    EXPECT_EQ(context->getProvider(), SSLProvider::OpenSSL);
    EXPECT_EQ(context->getProviderName(), "OPENSSL");
    EXPECT_TRUE(context->isConfigured());
    EXPECT_TRUE(context->getVerifyPeer());
    EXPECT_TRUE(context->getVerifyHost());
    EXPECT_EQ(context->getCipherList(), "HIGH:!aNULL:!eNULL:!EXPORT:!DES:!MD5:!PSK:!RC4");
    EXPECT_NE(context->createConnection(), nullptr);
}

TEST(OpenSSLContextCipherList, RejectedListThrowsAndIsStillStored) {
    OpenSSLContext context;

    try {
        context.setCipherList("NO-SUCH-CIPHER");
        FAIL() << "expected std::runtime_error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Failed to set cipher list: NO-SUCH-CIPHER");
    }
    EXPECT_EQ(context.getCipherList(), "NO-SUCH-CIPHER");
    EXPECT_EQ(ERR_peek_error(), 0UL);
}

struct FileSetterCase {
    const char* name;
    std::function<void(OpenSSLContext&, const std::string& missing)> call;
    std::string expected;  // "%" stands for the missing file's path
};

void PrintTo(const FileSetterCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class OpenSSLContextFileSetters : public ::testing::TestWithParam<FileSetterCase> {};

TEST_P(OpenSSLContextFileSetters, ThrowTheirMessageAndLeaveNoQueuedError) {
    const auto& testCase = GetParam();
    const std::string missing = certificates().directory() + "/missing.pem";
    std::string expected = testCase.expected;
    if (const auto mark = expected.find('%'); mark != std::string::npos) {
        expected.replace(mark, 1, missing);
    }
    OpenSSLContext context;

    try {
        testCase.call(context, missing);
        FAIL() << "expected std::runtime_error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(error.what(), expected);
    }
    EXPECT_EQ(ERR_peek_error(), 0UL);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenSSLContextFileSetters,
    ::testing::Values(
        FileSetterCase{"MissingCertificate",
                       [](OpenSSLContext& c, const std::string& p) { c.setCertificateFile(p); },
                       "Failed to load certificate file: %"},
        FileSetterCase{"MissingKey", [](OpenSSLContext& c, const std::string& p) { c.setPrivateKeyFile(p); },
                       "Failed to load private key file: %"},
        FileSetterCase{"MissingBundle", [](OpenSSLContext& c, const std::string& p) { c.setCABundleFile(p); },
                       "Failed to load CA bundle file: %"},
        FileSetterCase{"KeyWithoutItsCertificate",
                       [](OpenSSLContext& c, const std::string&) {
                           c.setPrivateKeyFile(certificates().localhost().privateKey);
                       },
                       "Private key does not match certificate"},
        FileSetterCase{"KeyFileAsBundle",
                       [](OpenSSLContext& c, const std::string&) {
                           c.setCABundleFile(certificates().localhost().privateKey);
                       },
                       "Failed to load CA bundle file: " + certificates().localhost().privateKey}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenSSLContextFileSetters, AcceptAMatchingCertificateAndKeyAndChain) {
    OpenSSLContext context;

    context.setCABundleFile(certificates().caFile())
        .setCertificateFile(certificates().localhost().certificate)
        .setPrivateKeyFile(certificates().localhost().privateKey);

    EXPECT_EQ(context.getCABundleFile(), certificates().caFile());
    EXPECT_EQ(context.getCertificateFile(), certificates().localhost().certificate);
    EXPECT_EQ(context.getPrivateKeyFile(), certificates().localhost().privateKey);
}

TEST(OpenSSLContextFileSetters, RefuseTheKeyOfAnotherCertificate) {
    OpenSSLContext context;
    context.setCertificateFile(certificates().localhost().certificate);

    EXPECT_THROW(context.setPrivateKeyFile(certificates().otherName().privateKey), std::runtime_error);
}

TEST(OpenSSLContextVersions, RefusesAnUnknownProtocolVersion) {
    OpenSSLContext context;

    EXPECT_THROW(context.setMinTLSVersion(0x7777), std::runtime_error);
    EXPECT_EQ(ERR_peek_error(), 0UL);
}

}  // namespace
}  // namespace zorvik
