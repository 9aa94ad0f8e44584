#pragma once

#include <string>

namespace quarlino::quil::model {

// A parsed result together with the response body exactly as received; JSON
// output prints the body, never a re-serialisation of the value.
template <typename T>
struct ApiResponse {
    T value;
    std::string body;
};

}  // namespace quarlino::quil::model
