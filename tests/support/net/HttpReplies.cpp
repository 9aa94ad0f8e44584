#include "support/net/HttpReplies.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace testsupport::net {
namespace {

std::string headLines(int status, const std::string& reason, const HeaderList& headers) {
    std::ostringstream out;
    out << "HTTP/1.1 " << status << ' ' << reason << "\r\n";
    for (const auto& [name, value] : headers) {
        out << name << ": " << value << "\r\n";
    }
    return out.str();
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::pair<std::string, std::string>> headerLines(const std::string& request) {
    std::vector<std::pair<std::string, std::string>> result;
    const auto headEnd = request.find("\r\n\r\n");
    std::size_t pos = request.find("\r\n");
    while (pos != std::string::npos && pos < headEnd) {
        const auto next = request.find("\r\n", pos + 2);
        const auto line = request.substr(pos + 2, next - pos - 2);
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            auto value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            result.emplace_back(line.substr(0, colon), value);
        }
        pos = next;
    }
    return result;
}

}  // namespace

std::string httpResponse(int status, const std::string& reason, const HeaderList& headers, const std::string& body) {
    return headLines(status, reason, headers) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string okResponse(const std::string& body, const HeaderList& headers) {
    return httpResponse(200, "OK", headers, body);
}

std::string chunkedResponse(const std::string& body, std::size_t chunkSize, const HeaderList& headers) {
    HeaderList all = headers;
    all.emplace_back("Transfer-Encoding", "chunked");
    std::ostringstream out;
    out << headLines(200, "OK", all) << "\r\n";
    for (std::size_t pos = 0; pos < body.size(); pos += chunkSize) {
        const auto piece = body.substr(pos, chunkSize);
        out << std::hex << piece.size() << "\r\n" << piece << "\r\n";
    }
    out << "0\r\n\r\n";
    return out.str();
}

std::string redirectResponse(int status, const std::string& location) {
    return httpResponse(status, "Redirect", {{"Location", location}}, "");
}

std::string requestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

std::string requestBody(const std::string& request) {
    const auto headEnd = request.find("\r\n\r\n");
    return headEnd == std::string::npos ? std::string() : request.substr(headEnd + 4);
}

std::string requestHeader(const std::string& request, const std::string& name) {
    for (const auto& [key, value] : headerLines(request)) {
        if (equalsIgnoreCase(key, name)) {
            return value;
        }
    }
    return {};
}

std::size_t countHeader(const std::string& request, const std::string& name) {
    const auto lines = headerLines(request);
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
        return equalsIgnoreCase(line.first, name);
    }));
}

}  // namespace testsupport::net
