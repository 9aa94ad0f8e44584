#include "zorvik/LinuxAsyncEpollClient.hpp"

#include "zorvik/detail/EpollReactor.hpp"

namespace zorvik {
namespace {

std::unique_ptr<detail::ReactorBackend> makeEpollReactor(const std::shared_ptr<LoggerAdapter>& logger) {
    return std::make_unique<detail::EpollReactor>(logger);
}

}  // namespace

LinuxAsyncEpollClient::LinuxAsyncEpollClient() : LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory>()) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(std::shared_ptr<ThreadFactory> threadFactory)
    : ReactorClient({std::move(threadFactory), nullptr, nullptr}, makeEpollReactor) {}

LinuxAsyncEpollClient::LinuxAsyncEpollClient(const ZorvikConfig& config)
    : ReactorClient(detail::ReactorClientParts::from(config), makeEpollReactor) {}

}  // namespace zorvik
