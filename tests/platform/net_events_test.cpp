// EventSelect and EnumNetworkEvents over loopback TCP and UDP, as WinSock reports them:
// FD_CONNECT once (with FD_WRITE), FD_READ while data is queued, FD_CLOSE once.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net_test_util.h"

namespace plat_test {
namespace {

using plat::Family;
using plat::SockType;

constexpr unsigned kAllTcp = plat::kFdConnect | plat::kFdWrite | plat::kFdRead | plat::kFdClose;
constexpr std::uint32_t kQuietMs = 200;  // nothing may be reported within this
constexpr int kMaxEmptyWakes = 2;

// Nothing is reported on s for kQuietMs, and the event does not keep waking.
void ExpectQuiet(plat::Socket s, plat::Event* event) {
  int empty_wakes = 0;
  EXPECT_EQ(QuietFor(s, event, kQuietMs, &empty_wakes), 0u);
  EXPECT_LE(empty_wakes, kMaxEmptyWakes);
}

class EventSelectTest : public NetTest, public ::testing::WithParamInterface<Family> {
 protected:
  // A client selected for kAllTcp and connected to listener_; server_ is its accepted peer.
  void ConnectPair() {
    listener_.Reset(Listener(GetParam(), 4, &where_));
    ASSERT_NE(listener_.get(), plat::kInvalidSocket) << plat::LastNetError();
    client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
    ASSERT_EQ(plat::EventSelect(client_.get(), &event_, kAllTcp), 0);
    ASSERT_EQ(plat::SocketConnect(client_.get(), where_), plat::kSocketError);
    ASSERT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);
    plat::NetworkEvents got;
    ASSERT_TRUE(Collect(client_.get(), &event_, plat::kFdConnect, kEventBoundMs, &got));
    ASSERT_EQ(got.errors[plat::kFdConnectSlot], 0);
    server_.Reset(plat::SocketAccept(listener_.get(), nullptr));
    ASSERT_NE(server_.get(), plat::kInvalidSocket) << plat::LastNetError();
  }

  plat::SockAddr where_;
  plat::Event event_{true, false};
  SocketGuard listener_, client_, server_;
};

TEST_P(EventSelectTest, NonBlockingConnectReportsConnectWithWriteOnce) {
  listener_.Reset(Listener(GetParam(), 4, &where_));
  ASSERT_NE(listener_.get(), plat::kInvalidSocket);
  client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  ASSERT_EQ(plat::EventSelect(client_.get(), &event_, kAllTcp), 0);
  // POSIX says EINPROGRESS; WinSock says WSAEWOULDBLOCK.
  ASSERT_EQ(plat::SocketConnect(client_.get(), where_), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);

  ASSERT_EQ(plat::WaitForEvent(&event_, kEventBoundMs), 0u);
  plat::NetworkEvents first;
  ASSERT_EQ(plat::EnumNetworkEvents(client_.get(), &event_, &first), 0);
  EXPECT_EQ(first.events, static_cast<unsigned>(plat::kFdConnect | plat::kFdWrite));
  EXPECT_EQ(first.errors[plat::kFdConnectSlot], 0);

  server_.Reset(plat::SocketAccept(listener_.get(), nullptr));
  ASSERT_NE(server_.get(), plat::kInvalidSocket);
  // Both were reported once; nothing else is pending.
  ExpectQuiet(client_.get(), &event_);
}

TEST_P(EventSelectTest, RefusedConnectReportsConnectErrorAndNoClose) {
  plat::SockAddr closed;
  // Bound but not listening: a connect to it is refused, and nobody else can take the port.
  SocketGuard holder(BoundSocket(GetParam(), SockType::kStream, &closed));
  ASSERT_NE(holder.get(), plat::kInvalidSocket);
  client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  ASSERT_EQ(plat::EventSelect(client_.get(), &event_, kAllTcp), 0);
  // Linux may know of the refusal at once; WinSock always reports it through FD_CONNECT.
  ASSERT_EQ(plat::SocketConnect(client_.get(), closed), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);

  plat::NetworkEvents got;
  ASSERT_TRUE(Collect(client_.get(), &event_, plat::kFdConnect, kEventBoundMs, &got));
  EXPECT_EQ(got.errors[plat::kFdConnectSlot], plat::kWsaECONNREFUSED);
  EXPECT_EQ(got.events & plat::kFdWrite, 0u);

  // Linux reports a hang-up (POLLHUP) on the dead socket; WinSock gives no FD_CLOSE.
  ExpectQuiet(client_.get(), &event_);
}

TEST_P(EventSelectTest, PeerCloseReportsReadThenCloseOnce) {
  ASSERT_NO_FATAL_FAILURE(ConnectPair());
  ASSERT_EQ(plat::SocketSend(server_.get(), "hello", 5), 5);
  server_.Reset();

  std::string data;
  plat::NetworkEvents seen;
  bool closed = false;
  int close_error = -1;
  const std::uint32_t start = plat::TickMs();
  while (!closed && plat::TickMs() - start < kEventBoundMs) {
    if (plat::WaitForEvent(&event_, kEventBoundMs) != 0) continue;
    plat::NetworkEvents now;
    ASSERT_EQ(plat::EnumNetworkEvents(client_.get(), &event_, &now), 0);
    seen.events |= now.events;
    if (now.events & plat::kFdRead) {  // one receive per report, as the controls do
      char buf[64];
      const int n = plat::SocketRecv(client_.get(), buf, sizeof buf);
      if (n > 0) data.append(buf, n);
    }
    if (now.events & plat::kFdClose) {
      closed = true;
      close_error = now.errors[plat::kFdCloseSlot];
    }
  }
  ASSERT_TRUE(closed);
  EXPECT_EQ(close_error, 0);
  EXPECT_TRUE(seen.events & plat::kFdRead);
  char buf[64];
  int n;
  while ((n = plat::SocketRecv(client_.get(), buf, sizeof buf)) > 0) data.append(buf, n);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(data, "hello");
  // Linux keeps the closed socket readable forever; FD_CLOSE came once and wakes no more.
  ExpectQuiet(client_.get(), &event_);
}

TEST_P(EventSelectTest, PeerResetReportsCloseWithConnReset) {
  ASSERT_NO_FATAL_FAILURE(ConnectPair());
  // The server closes with data unread, which resets the connection.
  ASSERT_EQ(plat::SocketSend(client_.get(), "data", 4), 4);
  char c;
  ASSERT_EQ(plat::SocketRecv(server_.get(), &c, 1, /*peek=*/true), 1);
  server_.Reset();

  plat::NetworkEvents got;
  ASSERT_TRUE(Collect(client_.get(), &event_, plat::kFdClose, kEventBoundMs, &got));
  EXPECT_EQ(got.errors[plat::kFdCloseSlot], plat::kWsaECONNRESET);
  // Linux reports the reset once and then an orderly end (0); WinSock keeps WSAECONNRESET.
  char buf[8];
  EXPECT_EQ(plat::SocketRecv(client_.get(), buf, sizeof buf), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaECONNRESET);
  // A send to the dead connection fails; on Linux it would raise SIGPIPE without the bridge.
  EXPECT_EQ(plat::SocketSend(client_.get(), "x", 1), plat::kSocketError);
  const int e = plat::LastNetError();
  EXPECT_TRUE(e == plat::kWsaECONNRESET || e == plat::kWsaECONNABORTED) << e;
  ExpectQuiet(client_.get(), &event_);
}

TEST_P(EventSelectTest, ReceiveAndSendOnASocketNotYetConnectedFailWithNotConn) {
  plat::SockAddr where;
  SocketGuard listener(Listener(GetParam(), 1, &where));
  ASSERT_NE(listener.get(), plat::kInvalidSocket);
  // Connect until the backlog is full: Linux then drops the handshake and the connect stays
  // in progress; Windows refuses it. Either way the socket is not connected.
  std::vector<std::unique_ptr<plat::Event>> events;
  std::vector<SocketGuard> clients;
  bool checked = false;
  for (int i = 0; i < 16 && !checked; ++i) {
    events.push_back(std::make_unique<plat::Event>(true, false));
    clients.emplace_back(plat::SocketCreate(GetParam(), SockType::kStream, 0));
    const plat::Socket s = clients.back().get();
    ASSERT_EQ(plat::EventSelect(s, events.back().get(), kAllTcp), 0);
    ASSERT_EQ(plat::SocketConnect(s, where), plat::kSocketError);
    ASSERT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);
    plat::NetworkEvents got;
    const bool reported = Collect(s, events.back().get(), plat::kFdConnect, 300, &got);
    if (reported && got.errors[plat::kFdConnectSlot] == 0) continue;  // queued in the backlog
    // POSIX lets recv and send on a connecting socket wait (EAGAIN); WinSock: WSAENOTCONN.
    char c = 'x';
    EXPECT_EQ(plat::SocketRecv(s, &c, 1), plat::kSocketError);
    EXPECT_EQ(plat::LastNetError(), plat::kWsaENOTCONN);
    EXPECT_EQ(plat::SocketSend(s, &c, 1), plat::kSocketError);
    EXPECT_EQ(plat::LastNetError(), plat::kWsaENOTCONN);
    checked = true;
  }
  EXPECT_TRUE(checked) << "every connect completed; the backlog never filled";
}

TEST_P(EventSelectTest, AcceptedSocketInheritsTheSelection) {
  listener_.Reset(Listener(GetParam(), 4, &where_));
  ASSERT_NE(listener_.get(), plat::kInvalidSocket);
  ASSERT_EQ(plat::EventSelect(listener_.get(), &event_, plat::kFdAccept | plat::kFdRead), 0);
  client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  ASSERT_EQ(plat::SocketConnect(client_.get(), where_), 0);  // blocking
  plat::NetworkEvents got;
  ASSERT_TRUE(Collect(listener_.get(), &event_, plat::kFdAccept, kEventBoundMs, &got));
  server_.Reset(plat::SocketAccept(listener_.get(), nullptr));
  ASSERT_NE(server_.get(), plat::kInvalidSocket);
  // Linux's accept inherits neither the non-blocking mode nor a selection; WinSock's both.
  char c;
  EXPECT_EQ(plat::SocketRecv(server_.get(), &c, 1), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);
  ASSERT_EQ(plat::SocketSend(client_.get(), "z", 1), 1);
  plat::NetworkEvents read;
  ASSERT_TRUE(Collect(server_.get(), &event_, plat::kFdRead, kEventBoundMs, &read));
  EXPECT_EQ(plat::SocketRecv(server_.get(), &c, 1), 1);
  EXPECT_EQ(c, 'z');
}

TEST_P(EventSelectTest, SelectedSocketCannotBeMadeBlocking) {
  client_.Reset(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  ASSERT_EQ(plat::EventSelect(client_.get(), &event_, kAllTcp), 0);
  EXPECT_EQ(plat::SocketSetNonBlocking(client_.get(), false), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEINVAL);
  ASSERT_EQ(plat::EventSelect(client_.get(), nullptr, 0), 0);
  EXPECT_EQ(plat::SocketSetNonBlocking(client_.get(), false), 0);
}

// A connect made with a time limit of its own (non-blocking, waited on) and then used as a
// plain blocking stream: the receive time-out counts in milliseconds and ends in WSAETIMEDOUT.
TEST_P(EventSelectTest, StreamBackToBlockingWaitsForItsReceiveTimeOut) {
  ASSERT_NO_FATAL_FAILURE(ConnectPair());
  ASSERT_EQ(plat::EventSelect(client_.get(), nullptr, 0), 0);
  ASSERT_EQ(plat::SocketSetNonBlocking(client_.get(), false), 0);
  ASSERT_EQ(plat::SetRecvTimeout(client_.get(), 300), 0);
  char buf[8];
  const std::uint32_t start = plat::TickMs();
  EXPECT_EQ(plat::SocketRecv(client_.get(), buf, sizeof buf), plat::kSocketError);
  const std::uint32_t spent = plat::TickMs() - start;
  EXPECT_EQ(plat::LastNetError(), plat::kWsaETIMEDOUT);
  EXPECT_GE(spent, 250u);
  EXPECT_LT(spent, kEventBoundMs);
  // Still usable after the time-out, and blocking: the data sent later is waited for.
  ASSERT_EQ(plat::SocketSend(server_.get(), "ok", 2), 2);
  EXPECT_EQ(plat::SocketRecv(client_.get(), buf, sizeof buf), 2);
  EXPECT_EQ(std::string(buf, 2), "ok");
}

TEST_P(EventSelectTest, DatagramReadIsReportedWhileQueued) {
  plat::SockAddr to, from_where;
  SocketGuard rx(BoundSocket(GetParam(), SockType::kDgram, &to));
  SocketGuard tx(BoundSocket(GetParam(), SockType::kDgram, &from_where));
  ASSERT_NE(rx.get(), plat::kInvalidSocket);
  ASSERT_NE(tx.get(), plat::kInvalidSocket);
  ASSERT_EQ(plat::EventSelect(rx.get(), &event_, plat::kFdRead), 0);
  ExpectQuiet(rx.get(), &event_);

  ASSERT_EQ(plat::SocketSendTo(tx.get(), "abc", 3, to), 3);
  plat::NetworkEvents got;
  ASSERT_TRUE(Collect(rx.get(), &event_, plat::kFdRead, kEventBoundMs, &got));
  char buf[8];
  plat::SockAddr from;
  ASSERT_EQ(plat::SocketRecvFrom(rx.get(), buf, sizeof buf, &from), 3);
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(from.Port(), from_where.Port());
  ExpectQuiet(rx.get(), &event_);
  EXPECT_EQ(plat::SocketRecv(rx.get(), buf, sizeof buf), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);
}

unsigned SetSoon(void* arg) {
  plat::SleepMs(50);
  static_cast<plat::Event*>(arg)->Set();
  return 0;
}

TEST_P(EventSelectTest, WaitCoversABoundEventAndAPlainOne) {
  ASSERT_NO_FATAL_FAILURE(ConnectPair());
  plat::Event stop(false, false);
  plat::Event* both[] = {&event_, &stop};
  plat::Thread setter;
  ASSERT_TRUE(setter.Start(SetSoon, &stop));
  // Index 0 may wake with nothing new (see QuietFor); the other thread's Set must come through.
  std::uint32_t r = 0;
  for (int wakes = 0; wakes <= kMaxEmptyWakes && r == 0; ++wakes) {
    r = plat::WaitForEvents(both, 2, kEventBoundMs);
    plat::NetworkEvents now;
    if (r == 0) {
      ASSERT_EQ(plat::EnumNetworkEvents(client_.get(), &event_, &now), 0);
    }
  }
  EXPECT_EQ(r, 1u);
  EXPECT_TRUE(setter.Join(kEventBoundMs));
  ASSERT_EQ(plat::SocketSend(server_.get(), "!", 1), 1);
  EXPECT_EQ(plat::WaitForEvents(both, 2, kEventBoundMs), 0u);
  plat::NetworkEvents got;
  ASSERT_TRUE(Collect(client_.get(), &event_, plat::kFdRead, kEventBoundMs, &got));
}

INSTANTIATE_TEST_SUITE_P(Families, EventSelectTest,
                         ::testing::Values(Family::kInet, Family::kInet6),
                         [](const auto& info) {
                           return std::string(info.param == Family::kInet ? "V4" : "V6");
                         });

}  // namespace
}  // namespace plat_test
