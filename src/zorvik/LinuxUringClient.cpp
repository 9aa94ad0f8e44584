#include "zorvik/LinuxUringClient.hpp"

#include "zorvik/detail/ReactorCore.hpp"
#include "zorvik/detail/UringReactor.hpp"

namespace zorvik {
namespace {

std::unique_ptr<detail::ReactorBackend> makeUringReactor(const std::shared_ptr<LoggerAdapter>& logger) {
    return std::make_unique<detail::UringReactor>(logger, detail::UringReactor::kDefaultRingSize);
}

}  // namespace

LinuxUringHttpClient::LinuxUringHttpClient() : LinuxUringHttpClient(std::shared_ptr<ThreadFactory>()) {}

LinuxUringHttpClient::LinuxUringHttpClient(std::shared_ptr<ThreadFactory> threadFactory)
    : LinuxUringHttpClient(detail::ReactorClientParts{std::move(threadFactory), nullptr, nullptr}) {}

LinuxUringHttpClient::LinuxUringHttpClient(const ZorvikConfig& config)
    : LinuxUringHttpClient(detail::ReactorClientParts::from(config)) {}

LinuxUringHttpClient::LinuxUringHttpClient(detail::ReactorClientParts parts)
    : ReactorClient(std::move(parts), makeUringReactor) {
    setMaxConcurrentConnections(kDefaultMaxConcurrentConnections);
}

void LinuxUringHttpClient::setRingSize(std::size_t entries) {
    reactor().setRingSize(entries);
}

void LinuxUringHttpClient::setBufferSize(std::size_t size) {
    reactor().setBufferSize(size);
}

void LinuxUringHttpClient::setMaxConcurrentConnections(std::size_t limit) {
    core().setMaxConnections(limit);
}

detail::UringReactor& LinuxUringHttpClient::reactor() {
    return static_cast<detail::UringReactor&>(backend());
}

}  // namespace zorvik
