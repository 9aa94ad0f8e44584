#pragma once

#include "zorvik/detail/ReactorTypes.hpp"

#include <cstddef>
#include <memory>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

namespace zorvik::detail {

// The open connections of one client, by socket, and those of them that went
// idle, by key. Lookups copy the pointers out, so no caller holds the table
// lock while it takes a connection's own mutex.
class ConnectionTable {
public:
    using ConnectionPtr = std::shared_ptr<ConnectionState>;

    void insert(const ConnectionPtr& connection, int fd);
    ConnectionPtr find(int fd) const;
    std::vector<ConnectionPtr> snapshot() const;
    std::size_t size() const;
    // Lists a connection of the table that has just gone idle on socket `fd`,
    // once. Nothing here is proof that it still is: whoever pops it checks
    // that under the connection's own lock.
    void markIdle(const ConnectionPtr& connection, int fd);
    // The connection of that key that went idle last, taken off the list;
    // null when none is listed.
    ConnectionPtr popIdle(const ConnectionKey& key);
    // Erases the socket's entry only while it still belongs to `connection`
    // (the number may already serve a newer socket), and takes the
    // connection off the idle list.
    void remove(int fd, const ConnectionPtr& connection);
    std::vector<ConnectionPtr> takeAll();

private:
    mutable std::shared_mutex mutex_;
    std::unordered_map<int, ConnectionPtr> connections_;
    std::unordered_map<ConnectionKey, std::vector<ConnectionPtr>, ConnectionKeyHash> idle_;
};

}  // namespace zorvik::detail
