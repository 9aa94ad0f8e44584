#pragma once

#include <ostream>
#include <string_view>

namespace quarlino::quil::application::port {

class BrowserOpener {
public:
    virtual ~BrowserOpener() = default;

    // Throws std::runtime_error when no browser could be started.
    virtual void open(std::string_view url, std::ostream& out) = 0;

protected:
    BrowserOpener() = default;
    BrowserOpener(const BrowserOpener&) = default;
    BrowserOpener& operator=(const BrowserOpener&) = default;
};

}  // namespace quarlino::quil::application::port
