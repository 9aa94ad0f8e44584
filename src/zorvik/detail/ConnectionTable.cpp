#include "zorvik/detail/ConnectionTable.hpp"

#include <mutex>

namespace zorvik::detail {

void ConnectionTable::insert(const ConnectionPtr& connection, int fd) {
    const std::unique_lock lock(mutex_);
    connections_[fd] = connection;
}

ConnectionTable::ConnectionPtr ConnectionTable::find(int fd) const {
    const std::shared_lock lock(mutex_);
    const auto found = connections_.find(fd);
    return found == connections_.end() ? nullptr : found->second;
}

std::vector<ConnectionTable::ConnectionPtr> ConnectionTable::snapshot() const {
    const std::shared_lock lock(mutex_);
    std::vector<ConnectionPtr> result;
    result.reserve(connections_.size());
    for (const auto& entry : connections_) {
        result.push_back(entry.second);
    }
    return result;
}

std::size_t ConnectionTable::size() const {
    const std::shared_lock lock(mutex_);
    return connections_.size();
}

void ConnectionTable::markIdle(const ConnectionPtr& connection, int fd) {
    const std::unique_lock lock(mutex_);
    // One removed meanwhile is closed: listing it would keep it alive.
    const auto byFd = connections_.find(fd);
    if (connection->listedIdle || byFd == connections_.end() || byFd->second != connection) {
        return;
    }
    connection->listedIdle = true;
    idle_[connection->key].push_back(connection);
}

ConnectionTable::ConnectionPtr ConnectionTable::popIdle(const ConnectionKey& key) {
    const std::unique_lock lock(mutex_);
    const auto list = idle_.find(key);
    if (list == idle_.end()) {
        return nullptr;
    }
    ConnectionPtr connection = std::move(list->second.back());
    list->second.pop_back();
    if (list->second.empty()) {
        idle_.erase(list);
    }
    connection->listedIdle = false;
    return connection;
}

void ConnectionTable::remove(int fd, const ConnectionPtr& connection) {
    const std::unique_lock lock(mutex_);
    const auto byFd = connections_.find(fd);
    if (byFd != connections_.end() && byFd->second == connection) {
        connections_.erase(byFd);
    }
    if (!connection->listedIdle) {
        return;
    }
    connection->listedIdle = false;
    const auto list = idle_.find(connection->key);
    if (list != idle_.end()) {
        std::erase(list->second, connection);
        if (list->second.empty()) {
            idle_.erase(list);
        }
    }
}

std::vector<ConnectionTable::ConnectionPtr> ConnectionTable::takeAll() {
    const std::unique_lock lock(mutex_);
    std::vector<ConnectionPtr> result;
    result.reserve(connections_.size());
    for (auto& entry : connections_) {
        entry.second->listedIdle = false;
        result.push_back(std::move(entry.second));
    }
    connections_.clear();
    idle_.clear();
    return result;
}

}  // namespace zorvik::detail
