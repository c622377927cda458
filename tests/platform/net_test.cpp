// Sockets without EventSelect: start-up, addresses, look-ups, blocking TCP and UDP, options
// and error codes. Where the posix backend bridges a POSIX difference, a comment says which.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "net_test_util.h"

namespace plat_test {
namespace {

using plat::Family;
using plat::SockType;

class AddressTest : public NetTest {};

TEST(NetStartupTest, GrantsVersionTwoTwo) {
  std::uint16_t granted = 0;
  ASSERT_EQ(plat::NetStartup(0x0202, &granted), 0);
  EXPECT_EQ(granted, 0x0202);
  EXPECT_EQ(plat::NetCleanup(), 0);
}

// The camera control asks for 2.0 and keeps the library only when 2.0 is what it gets.
TEST(NetStartupTest, GrantsVersionTwoZeroWhenAskedForIt) {
  std::uint16_t granted = 0;
  ASSERT_EQ(plat::NetStartup(0x0002, &granted), 0);
  EXPECT_EQ(granted, 0x0002);
  EXPECT_EQ(plat::NetCleanup(), 0);
}

TEST_F(AddressTest, HostNameFitsItsRoomAndAShortBufferFails) {
  char name[plat::kHostNameBytes];
  std::memset(name, 'x', sizeof name);
  ASSERT_EQ(plat::GetHostName(name, sizeof name), 0) << plat::LastNetError();
  const void* end = std::memchr(name, '\0', sizeof name);
  ASSERT_NE(end, nullptr);
  EXPECT_GT(static_cast<const char*>(end) - name, 0);
  // Too small for any name and its terminator: glibc's ENAMETOOLONG is WinSock's WSAEFAULT.
  char tiny[1];
  EXPECT_EQ(plat::GetHostName(tiny, sizeof tiny), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEFAULT);
}

TEST_F(AddressTest, ParseIPv4GivesNetworkOrder) {
  const std::uint32_t a = plat::ParseIPv4("1.2.3.4");
  unsigned char bytes[4];
  std::memcpy(bytes, &a, sizeof bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 2);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3], 4);
}

TEST_F(AddressTest, ParseIPv4RejectsBadText) {
  EXPECT_EQ(plat::ParseIPv4("not an address"), 0xFFFFFFFFu);
  EXPECT_EQ(plat::ParseIPv4("1.2.3.400"), 0xFFFFFFFFu);
  EXPECT_EQ(plat::ParseIPv4(""), 0xFFFFFFFFu);
}

TEST_F(AddressTest, MadeAddressesFormatAndKeepPort) {
  char text[64];
  const plat::SockAddr v4 = plat::MakeIPv4Address(plat::ParseIPv4("127.0.0.1"), 8080);
  EXPECT_EQ(v4.family, Family::kInet);
  EXPECT_EQ(v4.Port(), 8080);
  plat::FormatAddress(v4, text, sizeof text);
  EXPECT_STREQ(text, "127.0.0.1");

  const plat::SockAddr v6 = plat::MakeIPv6Loopback(65535);
  EXPECT_EQ(v6.family, Family::kInet6);
  EXPECT_EQ(v6.Port(), 65535);
  plat::FormatAddress(v6, text, sizeof text);
  EXPECT_STREQ(text, "::1");
}

struct ResolveCase {
  const char* name;
  const char* host;
  Family family;
  bool numeric;
  const char* want;  // the first address's numeric form
  friend void PrintTo(const ResolveCase& c, std::ostream* os) { *os << c.name; }
};

class ResolveOkTest : public NetTest, public ::testing::WithParamInterface<ResolveCase> {};

TEST_P(ResolveOkTest, FindsTheAddress) {
  const ResolveCase& c = GetParam();
  plat::ResolveHints hints;
  hints.family = c.family;
  hints.numeric_host = c.numeric;
  std::vector<plat::AddrInfo> out;
  ASSERT_EQ(plat::Resolve(c.host, "4321", hints, &out), 0);
  ASSERT_FALSE(out.empty());
  char text[64];
  plat::FormatAddress(out[0].addr, text, sizeof text);
  EXPECT_STREQ(text, c.want);
  EXPECT_EQ(out[0].addr.Port(), 4321);
  EXPECT_EQ(out[0].family, c.family);
  EXPECT_EQ(out[0].type, SockType::kStream);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, ResolveOkTest,
    ::testing::Values(ResolveCase{"NumericV4", "127.0.0.1", Family::kInet, true, "127.0.0.1"},
                      ResolveCase{"NumericV6", "::1", Family::kInet6, true, "::1"},
                      ResolveCase{"LocalhostFromHostsFile", "localhost", Family::kInet, false,
                                  "127.0.0.1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddressTest, ResolveLocalhostAnyFamilyIsLoopback) {
  std::vector<plat::AddrInfo> out;
  ASSERT_EQ(plat::Resolve("localhost", nullptr, plat::ResolveHints{}, &out), 0);
  ASSERT_FALSE(out.empty());
  for (const plat::AddrInfo& a : out) {
    char text[64];
    plat::FormatAddress(a.addr, text, sizeof text);
    EXPECT_TRUE(std::string(text) == "127.0.0.1" || std::string(text) == "::1") << text;
  }
}

TEST_F(AddressTest, ResolvePassiveNullHostIsWildcard) {
  plat::ResolveHints hints;
  hints.family = Family::kInet;
  hints.passive = true;
  hints.type = SockType::kDgram;
  std::vector<plat::AddrInfo> out;
  ASSERT_EQ(plat::Resolve(nullptr, "5000", hints, &out), 0);
  ASSERT_FALSE(out.empty());
  char text[64];
  plat::FormatAddress(out[0].addr, text, sizeof text);
  EXPECT_STREQ(text, "0.0.0.0");
  EXPECT_EQ(out[0].addr.Port(), 5000);
  EXPECT_EQ(out[0].type, SockType::kDgram);
}

struct ResolveFailCase {
  const char* name;
  std::string host;
  const char* service;
  bool numeric;
  int want;  // WinSock's code; 0 = any failure
  friend void PrintTo(const ResolveFailCase& c, std::ostream* os) { *os << c.name; }
};

class ResolveFailTest : public NetTest, public ::testing::WithParamInterface<ResolveFailCase> {};

TEST_P(ResolveFailTest, FailsWithACode) {
  const ResolveFailCase& c = GetParam();
  plat::ResolveHints hints;
  hints.family = Family::kInet;
  hints.numeric_host = c.numeric;
  std::vector<plat::AddrInfo> out;
  const int r = plat::Resolve(c.host.c_str(), c.service, hints, &out);
  if (c.want != 0) {
    EXPECT_EQ(r, c.want);
  } else {
    EXPECT_NE(r, 0);
  }
  EXPECT_TRUE(out.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Bad, ResolveFailTest,
    ::testing::Values(
        ResolveFailCase{"NameWithNumericHost", "localhost", "80", true, plat::kWsaHOST_NOT_FOUND},
        // Windows would resolve "" as the local host; the backends refuse it.
        ResolveFailCase{"EmptyHost", "", "80", false, plat::kWsaHOST_NOT_FOUND},
        ResolveFailCase{"LongHost", std::string(10000, 'a'), "80", false, 0},
        ResolveFailCase{"LongHostNumeric", std::string(10000, '1'), "80", true, 0},
        // glibc takes "70000" modulo 2^16 (port 4464); WinSock refuses it.
        ResolveFailCase{"PortAbove65535", "127.0.0.1", "70000", true, plat::kWsaTYPE_NOT_FOUND},
        ResolveFailCase{"NegativePort", "127.0.0.1", "-1", true, plat::kWsaTYPE_NOT_FOUND}),
    [](const auto& info) { return std::string(info.param.name); });

class TcpTest : public NetTest, public ::testing::WithParamInterface<Family> {};

TEST_P(TcpTest, BlockingConnectSendAndReceive) {
  plat::SockAddr where;
  SocketGuard listener(Listener(GetParam(), 4, &where));
  ASSERT_NE(listener.get(), plat::kInvalidSocket) << plat::LastNetError();
  SocketGuard client(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  ASSERT_EQ(plat::SocketConnect(client.get(), where), 0) << plat::LastNetError();
  plat::SockAddr peer;
  SocketGuard server(plat::SocketAccept(listener.get(), &peer));
  ASSERT_NE(server.get(), plat::kInvalidSocket) << plat::LastNetError();
  EXPECT_EQ(peer.family, GetParam());

  ASSERT_EQ(plat::SocketSend(client.get(), "ping", 4), 4);
  char buf[16] = {};
  ASSERT_EQ(plat::SocketRecv(server.get(), buf, 1, /*peek=*/true), 1);
  EXPECT_EQ(buf[0], 'p');
  int got = 0;
  while (got < 4) {
    const int n = plat::SocketRecv(server.get(), buf + got, sizeof buf - got);
    ASSERT_GT(n, 0) << plat::LastNetError();
    got += n;
  }
  EXPECT_EQ(std::string(buf, 4), "ping");
  ASSERT_EQ(plat::SocketShutdown(client.get(), plat::Shutdown::kSend), 0);
  EXPECT_EQ(plat::SocketRecv(server.get(), buf, sizeof buf), 0);
}

TEST_P(TcpTest, BindToAPortInUseFails) {
  plat::SockAddr where;
  SocketGuard listener(Listener(GetParam(), 4, &where));
  ASSERT_NE(listener.get(), plat::kInvalidSocket);
  SocketGuard other(plat::SocketCreate(GetParam(), SockType::kStream, 0));
  EXPECT_EQ(plat::SocketBind(other.get(), where), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEADDRINUSE);
}

INSTANTIATE_TEST_SUITE_P(Families, TcpTest, ::testing::Values(Family::kInet, Family::kInet6),
                         [](const auto& info) {
                           return std::string(info.param == Family::kInet ? "V4" : "V6");
                         });

class UdpTest : public NetTest {};

TEST_F(UdpTest, TooLongDatagramFailsWithMsgSizeAndKeepsItsStart) {
  plat::SockAddr to, from_where;
  SocketGuard rx(BoundSocket(Family::kInet, SockType::kDgram, &to));
  SocketGuard tx(BoundSocket(Family::kInet, SockType::kDgram, &from_where));
  ASSERT_NE(rx.get(), plat::kInvalidSocket);
  ASSERT_NE(tx.get(), plat::kInvalidSocket);
  ASSERT_EQ(plat::SetRecvTimeout(rx.get(), kEventBoundMs), 0);
  char big[100];
  for (int i = 0; i < 100; ++i) big[i] = static_cast<char>('A' + i % 26);
  ASSERT_EQ(plat::SocketSendTo(tx.get(), big, sizeof big, to), 100);
  ASSERT_EQ(plat::SocketSendTo(tx.get(), "tail!", 5, to), 5);

  // Linux truncates silently (MSG_TRUNC tells); WinSock fails with WSAEMSGSIZE.
  char small[10] = {};
  EXPECT_EQ(plat::SocketRecv(rx.get(), small, sizeof small, /*peek=*/true), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEMSGSIZE);
  EXPECT_EQ(std::string(small, 10), std::string(big, 10));

  std::memset(small, 0, sizeof small);
  plat::SockAddr from;
  EXPECT_EQ(plat::SocketRecvFrom(rx.get(), small, sizeof small, &from), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEMSGSIZE);
  EXPECT_EQ(std::string(small, 10), std::string(big, 10));
  EXPECT_EQ(from.Port(), from_where.Port());

  // The rest of the long datagram is gone; the next one follows.
  char buf[200];
  ASSERT_EQ(plat::SocketRecv(rx.get(), buf, sizeof buf), 5);
  EXPECT_EQ(std::string(buf, 5), "tail!");
}

TEST_F(UdpTest, ReceiveTimeOutFailsWithTimedOut) {
  plat::SockAddr where;
  SocketGuard rx(BoundSocket(Family::kInet, SockType::kDgram, &where));
  ASSERT_NE(rx.get(), plat::kInvalidSocket);
  // WinSock takes milliseconds (a timeval on Linux), and a time-out is WSAETIMEDOUT (EAGAIN).
  ASSERT_EQ(plat::SetRecvTimeout(rx.get(), 200), 0);
  char buf[8];
  const std::uint32_t start = plat::TickMs();
  EXPECT_EQ(plat::SocketRecv(rx.get(), buf, sizeof buf), plat::kSocketError);
  const std::uint32_t spent = plat::TickMs() - start;
  EXPECT_EQ(plat::LastNetError(), plat::kWsaETIMEDOUT);
  EXPECT_GE(spent, 150u);
  EXPECT_LT(spent, 3000u);
}

TEST_F(UdpTest, NonBlockingReceiveWithoutDataWouldBlock) {
  plat::SockAddr where;
  SocketGuard rx(BoundSocket(Family::kInet6, SockType::kDgram, &where));
  ASSERT_NE(rx.get(), plat::kInvalidSocket);
  ASSERT_EQ(plat::SocketSetNonBlocking(rx.get(), true), 0);
  char buf[8];
  EXPECT_EQ(plat::SocketRecv(rx.get(), buf, sizeof buf), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEWOULDBLOCK);
}

TEST_F(UdpTest, ReceiveBufferSizeReadsBackAsSet) {
  SocketGuard s(plat::SocketCreate(Family::kInet, SockType::kDgram, 0));
  ASSERT_EQ(plat::SetRecvBufferSize(s.get(), 65536), 0);
  int bytes = 0;
  ASSERT_EQ(plat::GetRecvBufferSize(s.get(), &bytes), 0);
  // Linux reports twice the size set; WinSock reports the size set.
  EXPECT_EQ(bytes, 65536);
}

TEST_F(UdpTest, OptionsOnAFreshSocketSucceed) {
  SocketGuard s(plat::SocketCreate(Family::kInet, SockType::kDgram, 0));
  EXPECT_EQ(plat::SetReuseAddress(s.get(), true), 0);
  EXPECT_EQ(plat::SetMulticastLoop(s.get(), Family::kInet, true), 0);
  EXPECT_EQ(plat::SetMulticastHops(s.get(), Family::kInet, 1), 0);
  int error = -1;
  EXPECT_EQ(plat::GetSocketError(s.get(), &error), 0);
  EXPECT_EQ(error, 0);
}

class ErrorTest : public NetTest {};

TEST_F(ErrorTest, ClosedOrInvalidSocketIsNotASocket) {
  EXPECT_EQ(plat::SocketClose(plat::kInvalidSocket), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaENOTSOCK);
  const plat::Socket s = plat::SocketCreate(Family::kInet, SockType::kDgram, 0);
  ASSERT_NE(s, plat::kInvalidSocket);
  ASSERT_EQ(plat::SocketClose(s), 0);
  char buf[4];
  EXPECT_EQ(plat::SocketRecv(s, buf, sizeof buf), plat::kSocketError);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaENOTSOCK);
}

TEST_F(ErrorTest, UnspecifiedFamilyIsRefused) {
  EXPECT_EQ(plat::SocketCreate(Family::kUnspec, SockType::kStream, 0), plat::kInvalidSocket);
  const int e = plat::LastNetError();
  EXPECT_TRUE(e == plat::kWsaEAFNOSUPPORT || e == plat::kWsaEINVAL) << e;
}

std::atomic<int> g_other_thread_error{-1};

unsigned FailOnce(void*) {
  plat::SocketClose(plat::kInvalidSocket);
  g_other_thread_error = plat::LastNetError();
  return 0;
}

TEST_F(ErrorTest, LastErrorIsPerThread) {
  SocketGuard s(plat::SocketCreate(Family::kInet, SockType::kDgram, 0));
  plat::SockAddr where;
  SocketGuard bound(BoundSocket(Family::kInet, SockType::kDgram, &where));
  ASSERT_EQ(plat::SocketBind(s.get(), where), plat::kSocketError);
  ASSERT_EQ(plat::LastNetError(), plat::kWsaEADDRINUSE);
  plat::Thread t;
  ASSERT_TRUE(t.Start(FailOnce, nullptr));
  ASSERT_TRUE(t.Join(kEventBoundMs));
  EXPECT_EQ(g_other_thread_error.load(), plat::kWsaENOTSOCK);
  EXPECT_EQ(plat::LastNetError(), plat::kWsaEADDRINUSE);
}

}  // namespace
}  // namespace plat_test
