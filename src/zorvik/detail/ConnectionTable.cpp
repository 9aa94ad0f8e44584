#include "zorvik/detail/ConnectionTable.hpp"

#include <mutex>

namespace zorvik::detail {

void ConnectionTable::insert(const ConnectionPtr& connection, int fd, const ConnectionKey& key) {
    const std::unique_lock lock(mutex_);
    connections_[fd] = connection;
    connectionsByKey_[key] = connection;
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

std::vector<ConnectionTable::ConnectionPtr> ConnectionTable::withKey(const ConnectionKey& key) const {
    const std::shared_lock lock(mutex_);
    std::vector<ConnectionPtr> result;
    for (const auto& entry : connections_) {
        // The key is immutable after creation, so reading it here needs no connection lock.
        if (entry.second->key == key) {
            result.push_back(entry.second);
        }
    }
    return result;
}

std::size_t ConnectionTable::size() const {
    const std::shared_lock lock(mutex_);
    return connections_.size();
}

void ConnectionTable::remove(int fd, const ConnectionKey& key, const ConnectionState* connection) {
    const std::unique_lock lock(mutex_);
    const auto byFd = connections_.find(fd);
    if (byFd != connections_.end() && byFd->second.get() == connection) {
        connections_.erase(byFd);
    }
    const auto byKey = connectionsByKey_.find(key);
    if (byKey != connectionsByKey_.end()) {
        const auto current = byKey->second.lock();
        if (!current || current.get() == connection) {
            connectionsByKey_.erase(byKey);
        }
    }
}

std::vector<ConnectionTable::ConnectionPtr> ConnectionTable::takeAll() {
    const std::unique_lock lock(mutex_);
    std::vector<ConnectionPtr> result;
    result.reserve(connections_.size());
    for (auto& entry : connections_) {
        result.push_back(std::move(entry.second));
    }
    connections_.clear();
    connectionsByKey_.clear();
    return result;
}

}  // namespace zorvik::detail
