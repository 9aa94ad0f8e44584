#pragma once

#include "support/quil/fake_platform.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace testsupport::quil {

// Scripts a fake platform from a canned scenario:
//
//   {"requests": [
//     {"method": "GET", "target": "/api/workspaces", "status": 200,
//      "json": [{"id": "w1"}],           // or "body": "raw text"
//      "headers": {"X-Trace": "1"},      // optional
//      "times": 2,                       // optional; a number or "any"
//      "delayMs": 0, "chunked": 5, "gzip": false}]}
//
// Requests may arrive in any order. A malformed scenario throws
// std::invalid_argument naming the entry and the member at fault.
void loadScenario(FakePlatform& platform, const nlohmann::json& scenario);
// Reads and parses the scenario file first ("cannot read scenario: <path>").
void loadScenarioFile(FakePlatform& platform, const std::string& path);

}  // namespace testsupport::quil
