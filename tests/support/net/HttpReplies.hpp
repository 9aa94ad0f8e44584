#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport::net {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// "HTTP/1.1 <status> <reason>" with the headers in the order given and a
// Content-Length line for the body.
std::string httpResponse(int status, const std::string& reason, const HeaderList& headers, const std::string& body);
// A 200 "OK" text response.
std::string okResponse(const std::string& body, const HeaderList& headers = {});
// A response whose body is sent chunked in pieces of at most chunkSize bytes.
std::string chunkedResponse(const std::string& body, std::size_t chunkSize, const HeaderList& headers = {});
// A redirect with the given status and Location.
std::string redirectResponse(int status, const std::string& location);

// Parts of a recorded request.
std::string requestLine(const std::string& request);
std::string requestBody(const std::string& request);
// Value of the first header of that name (ASCII case ignored); empty if none.
std::string requestHeader(const std::string& request, const std::string& name);
std::size_t countHeader(const std::string& request, const std::string& name);

}  // namespace testsupport::net
