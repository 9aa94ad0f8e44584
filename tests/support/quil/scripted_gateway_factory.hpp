#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <gmock/gmock.h>

#include "application/port/quarlino_gateway.hpp"
#include "config/client_config.hpp"
#include "support/quil/mock_quarlino_gateway.hpp"

namespace testsupport::quil {

namespace port = quarlino::quil::application::port;

// Hands prepared gateways to code that makes one per command through a
// factory. Each call of the factory takes the next prepared gateway in order
// and records the configuration it was made for. A call with nothing left
// fails the test and throws std::logic_error; prepared gateways still unused
// when the script is destroyed fail the test.
class ScriptedGatewayFactory {
public:
    using Factory = std::function<std::unique_ptr<port::QuarlinoGateway>(const quarlino::quil::config::ClientConfig&)>;

    ScriptedGatewayFactory();
    ~ScriptedGatewayFactory();

    ScriptedGatewayFactory(const ScriptedGatewayFactory&) = delete;
    ScriptedGatewayFactory& operator=(const ScriptedGatewayFactory&) = delete;

    // A strict mock that the next call returns. Set its expectations before
    // the code under test runs: the caller owns it from then on and it is
    // verified when the caller destroys it.
    testing::StrictMock<MockQuarlinoGateway>& expectGateway();
    // Scripts a call that returns an empty pointer.
    void expectNoGateway();

    // The factory to hand to the code under test; it may outlive this object.
    Factory factory();

    // The configuration of every call, in order.
    const std::vector<quarlino::quil::config::ClientConfig>& configs() const;

    struct Script;

private:
    std::shared_ptr<Script> script_;
};

}  // namespace testsupport::quil
