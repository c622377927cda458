#include "Oru_cam/CamCtl.h"

#include <climits>
#include <cstdio>
#include <vector>

#include "Oru_cam/CommandBytes.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace orucam {

using automation::Member;
using automation::Param;
using automation::Type;

namespace {

constexpr std::uint16_t kNetVersion = 0x0002;  // 2.0
constexpr std::uint32_t kNotDotted = 0xFFFFFFFFu;
// The most late input one command throws away before it sends.
constexpr std::size_t kMaxDiscardBytes = 64 * 1024;

constexpr Param kSendCmdParams[] = {{"cmd", Type::kText}, {"ack", Type::kUI1}};

using C = CCamCtl;
using automation::Method;
using automation::Property;

constexpr Member kMembers[] = {
    automation::ExtentX(1),
    automation::ExtentY(2),
    automation::StockEnabled(3),
    Property<&C::get_Port, &C::put_Port>(1, "Port", "プロパティPort", 4),
    Property<&C::get_IP, &C::put_IP>(2, "IP", "プロパティIP", 5),
    Method<&C::SendCmd>(3, "SendCmd", kSendCmdParams, "メソッドSendCmd"),
    Property<&C::get_MyIP, &C::put_MyIP>(4, "MyIP", "プロパティMyIP"),
};

// The first IPv4 address of a look-up, as inet_addr gives it: its bytes in address order.
bool FirstIPv4(const char* host, std::uint32_t* address, std::string* dotted) {
  plat::ResolveHints hints;
  hints.family = plat::Family::kInet;
  std::vector<plat::AddrInfo> found;
  if (plat::Resolve(host, nullptr, hints, &found) != 0 || found.empty()) return false;
  char text[64];
  plat::FormatAddress(found.front().addr, text, sizeof text);
  *address = plat::ParseIPv4(text);
  if (dotted) *dotted = text;
  return true;
}

std::uint32_t OwnAddress() {
  char name[plat::kHostNameBytes];
  std::uint32_t address = 0;
  if (plat::GetHostName(name, sizeof name) != 0 || !FirstIPv4(name, &address, nullptr)) return 0;
  return address;
}

enum class ConnectOutcome { kConnected, kFailed, kTimedOut };

ConnectOutcome AwaitConnect(plat::Socket s, plat::Event* event, std::uint32_t limit_ms) {
  const std::uint32_t start = plat::TickMs();
  for (;;) {
    const std::uint32_t spent = plat::TickMs() - start;
    if (spent >= limit_ms) return ConnectOutcome::kTimedOut;
    const std::uint32_t r = plat::WaitForEvent(event, limit_ms - spent);
    if (r == plat::kWaitTimeout) return ConnectOutcome::kTimedOut;
    if (r != 0) return ConnectOutcome::kFailed;
    plat::NetworkEvents events;
    if (plat::EnumNetworkEvents(s, event, &events) != 0) return ConnectOutcome::kFailed;
    // A wake with nothing reported yet is possible; the limit still counts from the start.
    if (events.events & plat::kFdConnect) {
      return events.errors[plat::kFdConnectSlot] == 0 ? ConnectOutcome::kConnected : ConnectOutcome::kFailed;
    }
  }
}

// Connects without blocking past limit_ms, then leaves s blocking and unselected for the
// exchange.
ConnectOutcome ConnectWithin(plat::Socket s, const plat::SockAddr& to, std::uint32_t limit_ms) {
  plat::Event connected(true, false);
  if (plat::EventSelect(s, &connected, plat::kFdConnect) != 0) return ConnectOutcome::kFailed;
  ConnectOutcome outcome = ConnectOutcome::kFailed;
  if (plat::SocketConnect(s, to) == 0) {
    outcome = ConnectOutcome::kConnected;
  } else if (plat::LastNetError() == plat::kWsaEWOULDBLOCK) {
    outcome = AwaitConnect(s, &connected, limit_ms);
  }
  // The selection must end before the event goes, and before the socket can block again.
  if (plat::EventSelect(s, nullptr, 0) != 0 || plat::SocketSetNonBlocking(s, false) != 0) {
    return ConnectOutcome::kFailed;
  }
  return outcome;
}

void SendAll(plat::Socket s, const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const std::size_t left = bytes.size() - sent;
    const int chunk = left > INT_MAX ? INT_MAX : static_cast<int>(left);
    const int n = plat::SocketSend(s, bytes.data() + sent, chunk);
    // A failed send is not reported: the receive that follows finds out what became of the
    // connection.
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

}  // namespace

CCamCtl::CCamCtl() : automation::Control(kDefaultExtent) {
  std::uint16_t granted = 0;
  if (plat::NetStartup(kNetVersion, &granted) == 0) {
    m_netStarted = granted == kNetVersion;
    // Any other version is of no use; this start-up is given back now, so only one that is
    // kept is released at destruction (a failed start-up has nothing to give back).
    if (!m_netStarted) plat::NetCleanup();
  }
  m_myIp = OwnAddress();
}

CCamCtl::~CCamCtl() {
  CloseConnection();
  if (m_netStarted) plat::NetCleanup();
}

HResult CCamCtl::get_Port(std::int32_t* out) {
  *out = m_port;
  return automation::kS_OK;
}

HResult CCamCtl::put_Port(std::int32_t port) {
  m_port = port;
  return automation::kS_OK;
}

HResult CCamCtl::get_IP(std::string* out) {
  *out = m_ip;
  return automation::kS_OK;
}

HResult CCamCtl::put_IP(const std::string& ip) {
  m_ip = ip;
  return automation::kS_OK;
}

HResult CCamCtl::get_MyIP(std::uint32_t* out) {
  *out = m_myIp;
  return automation::kS_OK;
}

HResult CCamCtl::put_MyIP(std::uint32_t address) {
  m_myIp = address;
  return automation::kS_OK;
}

HResult CCamCtl::SendCmd(const std::string& cmd, std::uint8_t ack, std::uint8_t* ret) {
  // A reused connection may hold a reply that came after the previous command gave up on it,
  // or a second message; neither may pass for this command's reply.
  if (Connected() && !DiscardWaitingInput()) {
    ++m_stats.drops;
    CloseConnection();
  }
  if (!Connected() && !OpenConnection()) {
    *ret = kNotConnected;
    return automation::kS_OK;
  }
  SendAll(m_socket, CommandBytes(cmd));
  ++m_stats.commands;
  std::uint8_t first = 0;
  if (!ReceiveReply(&first)) {
    ++m_stats.drops;
    CloseConnection();
  }
  *ret = first == ack ? kAckMatched : kAckDiffers;
  return automation::kS_OK;
}

bool CCamCtl::OpenConnection() {
  const plat::Socket s = plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0);
  if (s == plat::kInvalidSocket) {
    ++m_stats.connect_failures;
    return false;
  }
  std::uint32_t address = plat::ParseIPv4(m_ip.c_str());
  if (address == kNotDotted) {
    // A name: looked up once, and IP then holds the address, so later connects skip the look-up.
    ++m_stats.lookups;
    std::string dotted;
    if (!FirstIPv4(m_ip.c_str(), &address, &dotted)) {
      plat::SocketClose(s);
      ++m_stats.connect_failures;
      return false;
    }
    m_ip = dotted;
  }
  const plat::SockAddr to = plat::MakeIPv4Address(address, static_cast<std::uint16_t>(m_port & 0xFFFF));
  const ConnectOutcome outcome = ConnectWithin(s, to, kConnectLimitMs);
  if (outcome != ConnectOutcome::kConnected || plat::SetRecvTimeout(s, kReplyWaitMs) != 0) {
    plat::SocketClose(s);
    ++m_stats.connect_failures;
    if (outcome == ConnectOutcome::kTimedOut) ++m_stats.connect_timeouts;
    return false;
  }
  m_socket = s;
  ++m_stats.connects;
  return true;
}

bool CCamCtl::DiscardWaitingInput() {
  if (plat::SocketSetNonBlocking(m_socket, true) != 0) return false;
  std::uint8_t scrap[kMaxReplyBytes];
  int n = 0;
  std::size_t discarded = 0;
  // A peer that never stops sending must not hold the page here: past the bound, what is left
  // is taken as this command's reply.
  while (discarded < kMaxDiscardBytes && (n = plat::SocketRecv(m_socket, scrap, sizeof scrap)) > 0) {
    discarded += static_cast<std::size_t>(n);
  }
  m_stats.discarded_bytes += discarded;
  // Only "nothing more yet" (or the bound) leaves the connection usable; 0 is the camera's close.
  const bool alive = discarded >= kMaxDiscardBytes || (n < 0 && plat::LastNetError() == plat::kWsaEWOULDBLOCK);
  return plat::SocketSetNonBlocking(m_socket, false) == 0 && alive;
}

bool CCamCtl::ReceiveReply(std::uint8_t* first) {
  std::uint8_t reply[kMaxReplyBytes];
  *first = 0;
  const int n = plat::SocketRecv(m_socket, reply, sizeof reply);
  if (n > 0) {
    ++m_stats.replies;
    *first = reply[0];
    return true;
  }
  if (n < 0 && plat::LastNetError() == plat::kWsaETIMEDOUT) {
    ++m_stats.reply_timeouts;
    return true;  // a camera that is merely slow keeps its connection
  }
  return false;
}

void CCamCtl::CloseConnection() {
  if (m_socket == plat::kInvalidSocket) return;
  plat::SocketClose(m_socket);
  m_socket = plat::kInvalidSocket;
}

std::span<const Member> CCamCtl::Members() const { return kMembers; }

std::string CCamCtl::Summary() const {
  const CamStats& s = m_stats;
  char line[320];
  std::snprintf(line, sizeof line,
                "connections %u (failed %u, timed out %u), look-ups %u, commands %u, replies %u, "
                "reply time-outs %u, dropped %u, late bytes discarded %llu",
                s.connects, s.connect_failures, s.connect_timeouts, s.lookups, s.commands, s.replies,
                s.reply_timeouts, s.drops, static_cast<unsigned long long>(s.discarded_bytes));
  return line;
}

}  // namespace orucam
