#include "support/quil/mock_quarlino_gateway.hpp"

namespace testsupport::quil {

// Out of line so that the mock's machinery is compiled once, not in every test.
MockQuarlinoGateway::MockQuarlinoGateway() = default;
MockQuarlinoGateway::~MockQuarlinoGateway() = default;

}  // namespace testsupport::quil
