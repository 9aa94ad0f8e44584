// The connection table survives socket numbers being handed out again.
#include "zorvik/detail/ConnectionTable.hpp"

#include <gtest/gtest.h>

namespace zorvik::detail {
namespace {

std::shared_ptr<ConnectionState> connectionTo(const std::string& host, int fd) {
    auto connection = std::make_shared<ConnectionState>();
    connection->fd = fd;
    connection->key = ConnectionKey{host, 80, false};
    return connection;
}

TEST(ConnectionTable, RemovingAClosedConnectionSparesTheNewOwnerOfItsNumber) {
    ConnectionTable table;
    const auto old = connectionTo("a.example", 7);
    table.insert(old, 7);
    table.markIdle(old, 7);
    // The old socket was closed elsewhere and the kernel gave 7 to a new one.
    const auto fresh = connectionTo("a.example", 7);
    table.insert(fresh, 7);
    table.markIdle(fresh, 7);

    table.remove(7, old);
    EXPECT_EQ(table.find(7), fresh);
    // The closed one is never handed out again; the new one is, once.
    EXPECT_EQ(table.popIdle(fresh->key), fresh);
    EXPECT_EQ(table.popIdle(fresh->key), nullptr);
    // Listing it on a number it no longer holds does nothing either.
    table.markIdle(old, 7);
    EXPECT_EQ(table.popIdle(old->key), nullptr);

    table.remove(7, fresh);
    EXPECT_EQ(table.find(7), nullptr);
    EXPECT_EQ(table.size(), 0u);
}

TEST(ConnectionTable, KeysSeparateHostPortAndScheme) {
    ConnectionTable table;
    const auto plain = connectionTo("a.example", 3);
    auto otherPort = connectionTo("a.example", 4);
    otherPort->key.port = 8080;
    auto tls = connectionTo("a.example", 5);
    tls->key.useTls = true;
    for (const auto& connection : {plain, otherPort, tls}) {
        table.insert(connection, connection->fd);
        table.markIdle(connection, connection->fd);
        table.markIdle(connection, connection->fd);  // listed once
    }
    EXPECT_EQ(table.popIdle(tls->key), tls);
    EXPECT_EQ(table.popIdle(plain->key), plain);
    EXPECT_EQ(table.popIdle(plain->key), nullptr);
    EXPECT_EQ(table.takeAll().size(), 3u);
    EXPECT_EQ(table.popIdle(otherPort->key), nullptr);
    EXPECT_EQ(table.size(), 0u);
}

}  // namespace
}  // namespace zorvik::detail
