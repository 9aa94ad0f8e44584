#include "support/quil/scripted_gateway_factory.hpp"

#include <deque>
#include <stdexcept>
#include <utility>

#include <gtest/gtest.h>

namespace testsupport::quil {

struct ScriptedGatewayFactory::Script {
    // An empty entry stands for a call scripted to return no gateway.
    std::deque<std::unique_ptr<testing::StrictMock<MockQuarlinoGateway>>> prepared;
    std::vector<quarlino::quil::config::ClientConfig> configs;

    std::unique_ptr<port::QuarlinoGateway> next(const quarlino::quil::config::ClientConfig& config) {
        configs.push_back(config);
        if (prepared.empty()) {
            ADD_FAILURE() << "unexpected gateway request number " << configs.size();
            throw std::logic_error("unexpected gateway request");
        }
        std::unique_ptr<port::QuarlinoGateway> gateway = std::move(prepared.front());
        prepared.pop_front();
        return gateway;
    }
};

ScriptedGatewayFactory::ScriptedGatewayFactory() : script_(std::make_shared<Script>()) {}

ScriptedGatewayFactory::~ScriptedGatewayFactory() {
    EXPECT_TRUE(script_->prepared.empty()) << script_->prepared.size() << " prepared gateway(s) never requested";
}

testing::StrictMock<MockQuarlinoGateway>& ScriptedGatewayFactory::expectGateway() {
    script_->prepared.push_back(std::make_unique<testing::StrictMock<MockQuarlinoGateway>>());
    return *script_->prepared.back();
}

void ScriptedGatewayFactory::expectNoGateway() {
    script_->prepared.push_back(nullptr);
}

ScriptedGatewayFactory::Factory ScriptedGatewayFactory::factory() {
    return [script = script_](const quarlino::quil::config::ClientConfig& config) { return script->next(config); };
}

const std::vector<quarlino::quil::config::ClientConfig>& ScriptedGatewayFactory::configs() const {
    return script_->configs;
}

}  // namespace testsupport::quil
