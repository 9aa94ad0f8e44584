#pragma once

#include "zorvik/detail/ReactorTypes.hpp"

#include <cstddef>
#include <memory>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

namespace zorvik::detail {

// The open connections of one client, by socket and by key. Lookups copy the
// pointers out, so no caller holds the table lock while it takes a
// connection's own mutex.
class ConnectionTable {
public:
    using ConnectionPtr = std::shared_ptr<ConnectionState>;

    void insert(const ConnectionPtr& connection, int fd, const ConnectionKey& key);
    ConnectionPtr find(int fd) const;
    std::vector<ConnectionPtr> snapshot() const;
    // Connections with that key, in the table's iteration order.
    std::vector<ConnectionPtr> withKey(const ConnectionKey& key) const;
    std::size_t size() const;
    // Erases the socket's entry only while it still belongs to `connection`
    // (the number may already serve a newer socket), and the key's entry when
    // it refers to `connection` or to none alive.
    void remove(int fd, const ConnectionKey& key, const ConnectionState* connection);
    std::vector<ConnectionPtr> takeAll();

private:
    mutable std::shared_mutex mutex_;
    std::unordered_map<int, ConnectionPtr> connections_;
    std::unordered_map<ConnectionKey, std::weak_ptr<ConnectionState>, ConnectionKeyHash> connectionsByKey_;
};

}  // namespace zorvik::detail
