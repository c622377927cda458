// SocketConnectStatus: where a non-blocking connect stands, asked without reading anything, so
// a byte the peer sent at once is still there for the first receive, and a refused connect is
// told apart from one still under way (a probing receive says WSAENOTCONN for both).
#include <gtest/gtest.h>

#include "net_test_util.h"

namespace plat_test {
namespace {

using plat::Family;
using plat::SockType;

class ConnectStatusTest : public NetTest, public ::testing::WithParamInterface<Family> {
 protected:
  // Starts a non-blocking connect of client_ to where.
  void StartConnect(const plat::SockAddr& where) {
    client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
    ASSERT_NE(client_.get(), plat::kInvalidSocket);
    ASSERT_EQ(plat::SocketSetNonBlocking(client_.get(), true), 0);
    ASSERT_EQ(plat::SocketConnect(client_.get(), where), plat::kSocketError);
    ASSERT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);
  }

  // Polls until the connect has an outcome or the bound passes; the last status.
  int Settle() {
    const std::uint32_t start = plat::TickMs();
    int status = 0;
    while ((status = plat::SocketConnectStatus(client_.get())) == 0 &&
           plat::TickMs() - start < kEventBoundMs) {
      plat::SleepMs(5);
    }
    return status;
  }

  SocketGuard listener_, client_, server_;
};

TEST_P(ConnectStatusTest, SocketWithoutAConnectIsNotUp) {
  client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  ASSERT_NE(client_.get(), plat::kInvalidSocket);
  ASSERT_EQ(plat::SocketSetNonBlocking(client_.get(), true), 0);
  EXPECT_EQ(plat::SocketConnectStatus(client_.get()), 0);
}

TEST_P(ConnectStatusTest, AcceptedConnectIsUpAndTheFirstByteStaysQueued) {
  plat::SockAddr where;
  listener_.Reset(Listener(GetParam(), 4, &where));
  ASSERT_NE(listener_.get(), plat::kInvalidSocket);
  ASSERT_NO_FATAL_FAILURE(StartConnect(where));
  server_.Reset(plat::SocketAccept(listener_.get(), nullptr));
  ASSERT_NE(server_.get(), plat::kInvalidSocket);
  ASSERT_EQ(plat::SocketSend(server_.get(), "Q", 1), 1);

  ASSERT_EQ(Settle(), 1) << plat::LastNetError();
  // Asked again once the byte is surely queued: the status reads nothing.
  const std::uint32_t start = plat::TickMs();
  char c = 0;
  int got = plat::kSocketError;
  while ((got = plat::SocketRecv(client_.get(), &c, 1, /*peek=*/true)) != 1 &&
         plat::TickMs() - start < kEventBoundMs) {
    plat::SleepMs(5);
  }
  ASSERT_EQ(got, 1);
  EXPECT_EQ(plat::SocketConnectStatus(client_.get()), 1);
  EXPECT_EQ(plat::SocketRecv(client_.get(), &c, 1), 1);
  EXPECT_EQ(c, 'Q');
}

TEST_P(ConnectStatusTest, RefusedConnectFailsWithConnRefusedWhileAReceiveSaysNotConn) {
  plat::SockAddr closed;
  // Bound but not listening: refused, and nobody else can take the port meanwhile.
  SocketGuard holder(BoundSocket(GetParam(), SockType::kStream, &closed));
  ASSERT_NE(holder.get(), plat::kInvalidSocket);
  ASSERT_NO_FATAL_FAILURE(StartConnect(closed));

  EXPECT_EQ(Settle(), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaECONNREFUSED);
  // Asking again gives the same answer: the outcome is kept, not consumed.
  EXPECT_EQ(plat::SocketConnectStatus(client_.get()), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaECONNREFUSED);
  char c;
  EXPECT_EQ(plat::SocketRecv(client_.get(), &c, 1, /*peek=*/true), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaENOTCONN);
}

INSTANTIATE_TEST_SUITE_P(Families, ConnectStatusTest,
                         ::testing::Values(Family::kInet, Family::kInet6),
                         [](const ::testing::TestParamInfo<Family>& info) {
                           return info.param == Family::kInet ? "IPv4" : "IPv6";
                         });

}  // namespace
}  // namespace plat_test
