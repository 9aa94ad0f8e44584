#pragma once

#include <nlohmann/json.hpp>

#include "model/records.hpp"

namespace quarlino::quil::cli {

// The JSON object of one action definition, for the output that the program
// builds itself (a filtered list, a single action).
nlohmann::json actionJson(const model::ActionDefinition& action);

}  // namespace quarlino::quil::cli
