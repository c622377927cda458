// Net_TcpClient against listeners of the test's own on 127.0.0.1 (port 0): connects that
// succeed, are refused or never complete, a byte sent at once, a peer that closes or resets,
// the close's wait, sends, and the records each of these writes.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "net_log_capture.h"
#include "passthrough/util/Net_TcpClient.h"
#include "platform/net.h"
#include "platform/thread.h"

namespace net_test {
namespace {

constexpr std::uint32_t kBoundMs = 5000;  // generous: loopback answers in well under that
constexpr int kLimitMs = 1500;            // the control's own limit

class Sock {
 public:
  explicit Sock(plat::Socket s = plat::kInvalidSocket) : _s(s) {}
  ~Sock() { reset(); }
  Sock(const Sock&) = delete;
  Sock& operator=(const Sock&) = delete;
  plat::Socket get() const { return _s; }
  void reset(plat::Socket s = plat::kInvalidSocket) {
    if (_s != plat::kInvalidSocket) plat::SocketClose(_s);
    _s = s;
  }

 private:
  plat::Socket _s;
};

Net_PoolingAddress* Entry(std::uint16_t port) {
  Net_PoolingAddress* a = Net_PoolingAddress::acquire();
  if (a) a->set("127.0.0.1", port);
  return a;
}

Net_PoolingBuffer* Buffer(const std::string& bytes) {
  Net_PoolingBuffer* b = Net_PoolingBuffer::acquire();
  if (b) b->set(bytes.data(), static_cast<int>(bytes.size()));
  return b;
}

class NetTcpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::uint16_t granted = 0;
    ASSERT_EQ(plat::NetStartup(0x0202, &granted), 0);
  }
  void TearDown() override {
    _client.close();
    plat::NetCleanup();
  }

  // A socket on 127.0.0.1, port picked by the system; listening unless told otherwise.
  std::uint16_t Listen(Sock* sock, int backlog = 4, bool listen = true) {
    sock->reset(plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0));
    plat::SockAddr where;
    EXPECT_EQ(plat::SocketBind(sock->get(), plat::MakeIPv4Address(plat::ParseIPv4("127.0.0.1"), 0)), 0);
    EXPECT_EQ(plat::SocketGetName(sock->get(), &where), 0);
    if (listen) {
      EXPECT_EQ(plat::SocketListen(sock->get(), backlog), 0);
    }
    return where.Port();
  }

  // Connects _client to a listener and accepts its peer into _peer.
  void ConnectPair() {
    const std::uint16_t port = Listen(&_listener);
    ASSERT_EQ(_client.connect(Entry(port), kLimitMs), 1);
    _peer.reset(plat::SocketAccept(_listener.get(), nullptr));
    ASSERT_NE(_peer.get(), plat::kInvalidSocket);
  }

  // receiveByte until it gives something other than 0 or the peer's close is known.
  int ReceiveUntilSomething(char* c) {
    const std::uint32_t start = plat::TickMs();
    int r = 0;
    while ((r = _client.receiveByte(c)) == 0 && !_client.peerClosed() &&
           plat::TickMs() - start < kBoundMs) {
      plat::SleepMs(5);
    }
    return r;
  }

  LogCapture _log;  // before the client, so its start-up records are seen
  Net_TcpClient _client;
  Sock _listener, _peer;
};

TEST_F(NetTcpClientTest, ConnectsWithinTheLimitAndCloseWaitsForItsPolls) {
  ConnectPair();
  EXPECT_TRUE(_client.connected());
  EXPECT_FALSE(_client.peerClosed());
  const int polls = _client.pollCount();
  EXPECT_GE(polls, 1);
  EXPECT_LE(polls, kLimitMs / Net_TcpClient::kPollMs);

  const int start = Util_GetTick();
  EXPECT_EQ(_client.close(), 1);
  const std::uint32_t waited = Util_TickDiff(Util_GetTick(), start);
  EXPECT_GE(waited, static_cast<std::uint32_t>(polls * Net_TcpClient::kCloseWaitPerPollMs));
  EXPECT_LT(waited, static_cast<std::uint32_t>(polls * Net_TcpClient::kCloseWaitPerPollMs) + kBoundMs);
  EXPECT_FALSE(_client.connected());
  // The peer sees the orderly end.
  char c;
  EXPECT_EQ(plat::SocketRecv(_peer.get(), &c, 1), 0);

  // Only the start-up's announcement: nothing failed.
  const std::vector<Record> records = _log.records("Net_TcpClient");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, "DETAIL");
  EXPECT_EQ(records[0].text1, "instance ID=");

  // Closed: a second close waits nothing and does nothing.
  const int again = Util_GetTick();
  EXPECT_EQ(_client.close(), 1);
  EXPECT_LT(Util_TickDiff(Util_GetTick(), again), static_cast<std::uint32_t>(Net_TcpClient::kCloseWaitPerPollMs));
}

TEST_F(NetTcpClientTest, RefusedConnectIsLoggedAndLeavesNothingOpen) {
  Sock closed;
  const std::uint16_t port = Listen(&closed, 0, /*listen=*/false);  // bound, not listening
  EXPECT_EQ(_client.connect(Entry(port), kLimitMs), 0);
  EXPECT_FALSE(_client.connected());
  // The refusal shows either to the first probe or, on a stack that knows at once, to the
  // connect call itself.
  const std::vector<Record> errors = [&] {
    std::vector<Record> out;
    for (const Record& r : _log.records("Net_TcpClient")) {
      if (r.level == "ERROR") out.push_back(r);
    }
    return out;
  }();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].where, 2);
  if (errors[0].text1 == "connect error") {
    EXPECT_FALSE(errors[0].hasValue1);
    EXPECT_EQ(_client.pollCount(), kLimitMs / Net_TcpClient::kPollMs);
  } else {
    EXPECT_EQ(errors[0].text1, "WSAECONNREFUSED(");
    EXPECT_EQ(errors[0].value1, 10061);
  }
  // Nothing is left to close, and the client can connect again.
  EXPECT_EQ(_client.close(), 1);
  ConnectPair();
}

TEST_F(NetTcpClientTest, UnansweredConnectTimesOutAfterItsPolls) {
  // A listener whose accept queue is full drops further handshakes: connects to it stay
  // under way. Fill it first with connects nobody accepts.
  const std::uint16_t port = Listen(&_listener, 1);
  std::vector<std::unique_ptr<Sock>> fillers;
  for (int i = 0; i < 4; ++i) {
    fillers.push_back(std::make_unique<Sock>(plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0)));
    ASSERT_EQ(plat::SocketSetNonBlocking(fillers.back()->get(), true), 0);
    plat::SocketConnect(fillers.back()->get(), plat::MakeIPv4Address(plat::ParseIPv4("127.0.0.1"), port));
  }
  plat::SleepMs(50);  // let the fillers' handshakes take the queue

  const int start = Util_GetTick();
  EXPECT_EQ(_client.connect(Entry(port), 300), 0);
  EXPECT_GE(Util_TickDiff(Util_GetTick(), start), 300u);
  EXPECT_EQ(_client.pollCount(), 3);
  EXPECT_EQ(_log.errors("Net_TcpClient"), std::vector<std::string>{"2:connect timeout"});

  // Under 100 ms there is no poll: the pending connect counts as up, with nothing to read.
  _log.clear();
  EXPECT_EQ(_client.connect(Entry(port), 99), 1);
  EXPECT_EQ(_client.pollCount(), 0);
  char c;
  EXPECT_EQ(_client.receiveByte(&c), 0);
  EXPECT_EQ(_client.close(), 1);
  EXPECT_TRUE(_log.errors("Net_TcpClient").size() <= 2u);  // the shutdowns may fail, not connected
}

TEST_F(NetTcpClientTest, ByteSentAtConnectTimeIsNotLost) {
  const std::uint16_t port = Listen(&_listener);
  struct Accepter {
    plat::Socket listener;
    std::atomic<plat::Socket> peer{plat::kInvalidSocket};
    static unsigned Run(void* arg) {
      auto* self = static_cast<Accepter*>(arg);
      const plat::Socket s = plat::SocketAccept(self->listener, nullptr);
      if (s != plat::kInvalidSocket) plat::SocketSend(s, "Z", 1);
      self->peer = s;
      return 0;
    }
  } accepter{_listener.get()};
  plat::Thread thread;
  ASSERT_TRUE(thread.Start(&Accepter::Run, &accepter));
  EXPECT_EQ(_client.connect(Entry(port), kLimitMs), 1);
  ASSERT_TRUE(thread.Join(kBoundMs));
  _peer.reset(accepter.peer);
  char c = 0;
  EXPECT_EQ(ReceiveUntilSomething(&c), 1);
  EXPECT_EQ(c, 'Z');
}

TEST_F(NetTcpClientTest, PeerCloseAndResetAreRemembered) {
  struct Case {
    const char* name;
    bool reset;  // close with our data unread: the peer's stack answers with a reset
    int result;
    std::vector<std::string> errors;
  };
  const Case cases[] = {
      {"orderly close", false, 0, {}},
      {"reset", true, -10054, {"8:WSAECONNRESET("}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _log.clear();
    ASSERT_NO_FATAL_FAILURE(ConnectPair());
    if (c.reset) {
      ASSERT_EQ(_client.send(Buffer("data")), 4);
      char seen;
      const std::uint32_t start = plat::TickMs();
      while (plat::SocketRecv(_peer.get(), &seen, 1, /*peek=*/true) != 1 && plat::TickMs() - start < kBoundMs) {
        plat::SleepMs(5);
      }
    }
    _peer.reset();
    char byte;
    EXPECT_EQ(ReceiveUntilSomething(&byte), c.result);
    EXPECT_TRUE(_client.peerClosed());
    // Every later call says the same; the client stays connected until close().
    EXPECT_EQ(_client.receiveByte(&byte), c.result);
    EXPECT_TRUE(_client.connected());
    std::vector<std::string> errors = _log.errors("Net_TcpClient");
    errors.resize(std::min(errors.size(), c.errors.size()));
    EXPECT_EQ(errors, c.errors);
    _client.close();
    _listener.reset();
  }
}

TEST_F(NetTcpClientTest, SendHandsOverTheBufferInEveryCase) {
  EXPECT_EQ(_client.send(Buffer("early")), -1);  // not connected: released, not logged
  EXPECT_EQ(_client.send(nullptr), -1);
  ConnectPair();
  EXPECT_EQ(_client.send(Buffer("hello")), 5);
  const std::string big(Net_PoolingBuffer::kCapacity, 'b');
  EXPECT_EQ(_client.send(Buffer(big)), Net_PoolingBuffer::kCapacity);
  std::string got;
  char chunk[512];
  const std::uint32_t start = plat::TickMs();
  while (got.size() < 5 + big.size() && plat::TickMs() - start < kBoundMs) {
    const int n = plat::SocketRecv(_peer.get(), chunk, sizeof chunk);
    if (n <= 0) break;
    got.append(chunk, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, "hello" + big);
  EXPECT_TRUE(_log.errors("Net_TcpClient").empty());
}

TEST_F(NetTcpClientTest, ConnectWhileConnectedOrWithoutAnEntryFails) {
  ConnectPair();
  Sock other;
  const std::uint16_t otherPort = Listen(&other);
  EXPECT_EQ(_client.connect(Entry(otherPort), kLimitMs), 0);  // the entry is released
  EXPECT_EQ(_client.connect(nullptr, kLimitMs), 0);
  ASSERT_EQ(_client.send(Buffer("x")), 1);  // still the first connection
  char c;
  EXPECT_EQ(plat::SocketRecv(_peer.get(), &c, 1), 1);
  EXPECT_EQ(c, 'x');
}

TEST_F(NetTcpClientTest, ReceiveWhileNotConnectedIsMinusOne) {
  char c;
  EXPECT_EQ(_client.receiveByte(&c), -1);
}

TEST_F(NetTcpClientTest, SocketErrorsAreReportedWithTheirNameAndDescription) {
  struct Case {
    int code;
    const char* name;
    const char* description;
  };
  const Case cases[] = {
      {10004, "WSAEINTR(", ":The blocking Windows Socket 1.1 call was canceled through WSACancelBlockingCall.)"},
      {10013, "WSAEACCES(", ":Attempt to connect datagram socket to broadcast address failed because setsockopt option SO_BROADCAST is not enabled.)"},
      {10014, "WSAEFAULT(", ":The argp parameter is not a valid part of the user address space.)"},
      {10022, "WSAEINVAL(", ":The parameter s is a listening socket.)"},
      {10024, "WSAEMFILE(", ":No more socket descriptors are available.)"},
      {10035, "WSAEWOULDBLOCK (", ":The socket is marked as nonblocking and the connection cannot be completed immediately.)"},
      {10036, "WSAEINPROGRESS(", ":A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.)"},
      {10037, "WSAEALREADY(", ":A nonblocking connect call is in progress on the specified socket.)"},
      {10038, "WSAENOTSOCK(", ":The descriptor s is not a socket.)"},
      {10040, "WSAEMSGSIZE(", ":The message was too large to fit into the specified buffer and was truncated.)"},
      {10041, "WSAEPROTOTYPE(", ":The specified protocol is the wrong type for this socket.)"},
      {10043, "WSAEPROTONOSUPPORT(", ":The specified protocol is not supported.)"},
      {10044, "WSAESOCKTNOSUPPORT(", ":The specified socket type is not supported in this address family.)"},
      {10045, "WSAEOPNOTSUPP(", ":MSG_OOB was specified)"},
      {10047, "WSAEAFNOSUPPORT(", ":The specified address family is not supported.)"},
      {10048, "WSAEADDRINUSE(", ":The socket's local address is already in use and the socket was not marked to allow address reuse with SO_REUSEADDR.)"},
      {10049, "WSAEADDRNOTAVAIL(", ":The remote address is not a valid address (such as ADDR_ANY).)"},
      {10050, "WSAENETDOWN(", ":The network subsystem or the associated service provider has failed.)"},
      {10051, "WSAENETUNREACH(", ":The network cannot be reached from this host at this time.)"},
      {10052, "WSAENETRESET(", ":The connection has been broken due to the keep-alive activity detecting a failure while the operation was in progress.)"},
      {10053, "WSAECONNABORTED(", ":The virtual circuit was terminated due to a time-out or other failure. The application should close the socket as it is no longer usable.)"},
      {10054, "WSAECONNRESET(", ":The virtual circuit was reset by the remote side executing a hard or abortive close. )"},
      {10055, "WSAENOBUFS(", ":No buffer space is available. The socket cannot be created.)"},
      {10056, "WSAEISCONN(", ":The socket is already connected (connection-oriented sockets only).)"},
      {10057, "WSAENOTCONN(", ":The socket is not connected (connection-oriented sockets only).)"},
      {10058, "WSAESHUTDOWN(", ":The socket has been shut down; it is not possible to receive on a socket after shutdown has been invoked with how set to SD_RECEIVE or SD_BOTH.)"},
      {10060, "WSAETIMEDOUT(", ":Attempt to connect timed out without establishing a connection.)"},
      {10061, "WSAECONNREFUSED(", ":The attempt to connect was forcefully rejected.)"},
      {10065, "WSAEHOSTUNREACH(", ":The remote host cannot be reached from this host at this time.)"},
      {10067, "WSAEPROCLIM(", ":Limit on the number of tasks supported by the Windows Sockets implementation has been reached.)"},
      {10091, "WSASYSNOTREADY(", ":Indicates that the underlying network subsystem is not ready for network communication.)"},
      {10092, "WSAVERNOTSUPPORTED(", ":The version of Windows Sockets support requested is not provided by this particular Windows Sockets implementation.)"},
      {10093, "WSANOTINITIALISED(", ":A successful WSAStartup call must occur before using this function.)"},
      {12345, "errorCode=", ""},  // outside the table: the code alone
      {0, "errorCode=", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    _log.clear();
    _client.reportSocketError(7, c.code);
    const std::vector<Record> records = _log.records("Net_TcpClient");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, "ERROR");
    EXPECT_EQ(records[0].where, 7);
    EXPECT_EQ(records[0].text1, c.name);
    EXPECT_TRUE(records[0].hasValue1);
    EXPECT_EQ(records[0].value1, c.code);
    EXPECT_EQ(records[0].text2, c.description);
  }
}

}  // namespace
}  // namespace net_test
