#pragma once

#include <ostream>
#include <string_view>

#include "application/port/browser_opener.hpp"

namespace quarlino::quil::platform {

// Starts the user's browser on a URL: the program named by QUIL_BROWSER, else
// "xdg-open". The browser runs on its own; its fate is not awaited.
class PlatformBrowserOpener final : public application::port::BrowserOpener {
public:
    PlatformBrowserOpener() = default;

    // Throws std::runtime_error when the program cannot be started.
    void open(std::string_view url, std::ostream& out) override;
};

}  // namespace quarlino::quil::platform
