// BSD sockets with WinSock's semantics. Every socket made here has an entry in a table that
// records what WinSock would know and POSIX does not say: whether a connect is going on or has
// failed, which notifications an EventSelect binding still owes (FD_CONNECT and FD_CLOSE once,
// FD_WRITE after a connect or a blocked send), and whether the peer reset the connection.
// Notifications are computed when asked (by WaitForEvents through socket_wait.h, or by
// EnumNetworkEvents) from non-blocking probes of the socket; no thread runs in the background.
// So a wait already blocked does not notice a connect or an EventSelect that another thread
// starts meanwhile; the socket's owner thread is the one expected to wait on its event.
#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/posix/socket_wait.h"
#include "platform/sync.h"

namespace plat {

namespace {

constexpr int kWsaNotEnoughMemory = 8;  // WSA_NOT_ENOUGH_MEMORY, getaddrinfo's EAI_MEMORY

thread_local int t_last_error = 0;
std::atomic<int> g_startups{0};

int WsaFromErrno(int e) {
  switch (e) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS:  // a non-blocking connect: WinSock says WSAEWOULDBLOCK
      return kWsaEWOULDBLOCK;
    case EINTR: return kWsaEINTR;
    case EBADF:
    case ENOTSOCK: return kWsaENOTSOCK;
    case EACCES:
    case EPERM: return kWsaEACCES;
    case EFAULT: return kWsaEFAULT;
    case EINVAL: return kWsaEINVAL;
    case EMFILE:
    case ENFILE: return kWsaEMFILE;
    case EALREADY: return kWsaEALREADY;
    case EDESTADDRREQ: return kWsaEDESTADDRREQ;
    case EMSGSIZE: return kWsaEMSGSIZE;
    case EPROTOTYPE: return kWsaEPROTOTYPE;
    case ENOPROTOOPT: return kWsaENOPROTOOPT;
    case EPROTONOSUPPORT: return kWsaEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT: return kWsaESOCKTNOSUPPORT;
    case EOPNOTSUPP: return kWsaEOPNOTSUPP;
    case EAFNOSUPPORT:
    case EPFNOSUPPORT: return kWsaEAFNOSUPPORT;
    case EADDRINUSE: return kWsaEADDRINUSE;
    case EADDRNOTAVAIL: return kWsaEADDRNOTAVAIL;
    case ENETDOWN: return kWsaENETDOWN;
    case ENETUNREACH: return kWsaENETUNREACH;
    case ENETRESET: return kWsaENETRESET;
    case ECONNABORTED: return kWsaECONNABORTED;
    case ECONNRESET: return kWsaECONNRESET;
    case ENOBUFS:
    case ENOMEM: return kWsaENOBUFS;
    case EISCONN: return kWsaEISCONN;
    case ENOTCONN: return kWsaENOTCONN;
    case ESHUTDOWN: return kWsaESHUTDOWN;
    case ETIMEDOUT: return kWsaETIMEDOUT;
    case ECONNREFUSED: return kWsaECONNREFUSED;
    case EHOSTUNREACH:
    case EHOSTDOWN: return kWsaEHOSTUNREACH;
    default: return kWsaEINVAL;
  }
}

int WsaFromGai(int r) {
  switch (r) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return kWsaHOST_NOT_FOUND;
    case EAI_AGAIN: return kWsaTRY_AGAIN;
    case EAI_FAIL: return kWsaNO_RECOVERY;
    case EAI_FAMILY: return kWsaEAFNOSUPPORT;
    case EAI_SERVICE: return kWsaTYPE_NOT_FOUND;
    case EAI_SOCKTYPE: return kWsaESOCKTNOSUPPORT;
    case EAI_BADFLAGS: return kWsaEINVAL;
    case EAI_MEMORY: return kWsaNotEnoughMemory;
    case EAI_SYSTEM: return WsaFromErrno(errno);
    default: return kWsaNO_RECOVERY;
  }
}

int Fail(int wsa) {
  t_last_error = wsa;
  return kSocketError;
}
int FailErrno() { return Fail(WsaFromErrno(errno)); }

enum class Phase { kIdle, kConnecting, kConnected, kFailed, kListening, kDatagram };

struct SockState {
  Phase phase = Phase::kIdle;
  Event* event = nullptr;  // EventSelect binding
  unsigned mask = 0;
  bool connect_pending = false;  // the connect's outcome is known and FD_CONNECT not reported
  int connect_error = 0;
  bool write_armed = false;  // FD_WRITE is owed once the socket is writable
  bool eof_seen = false;     // the peer closed or reset
  int close_error = 0;       // FD_CLOSE's error: 0 after a graceful close, 10054 after a reset
  bool close_reported = false;
  bool send_shut = false;
};

std::mutex g_mu;  // guards g_socks and every SockState
std::unordered_map<int, SockState> g_socks;

SockState* Find(Socket s) {  // g_mu held
  if (s < 0 || s > INT_MAX) return nullptr;
  auto it = g_socks.find(static_cast<int>(s));
  return it == g_socks.end() ? nullptr : &it->second;
}

// The descriptor of a socket made here, or -1 (and WSAENOTSOCK) for anything else, so that a
// stale handle never reaches a descriptor reused by someone else.
int FdOf(Socket s) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (!Find(s)) {
    t_last_error = kWsaENOTSOCK;
    return -1;
  }
  return static_cast<int>(s);
}

short Probe(int fd, short events) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, 0) > 0 ? p.revents : 0;
}

int TakeSocketError(int fd) {  // reading SO_ERROR clears it
  int e = 0;
  socklen_t len = sizeof e;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0) return errno;
  return e;
}

bool IsBlocking(int fd) { return (fcntl(fd, F_GETFL) & O_NONBLOCK) == 0; }

bool NotConnected(int fd) {
  sockaddr_storage peer;
  socklen_t len = sizeof peer;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 && errno == ENOTCONN;
}

Family FamilyOf(int af) {
  return af == AF_INET ? Family::kInet : af == AF_INET6 ? Family::kInet6 : Family::kUnspec;
}

void StoreAddr(const void* sa, socklen_t len, SockAddr* out) {
  *out = SockAddr{};
  if (len == 0 || len > sizeof out->bytes) return;
  std::memcpy(out->bytes, sa, len);
  out->len = static_cast<int>(len);
  out->family = FamilyOf(static_cast<const sockaddr*>(sa)->sa_family);
}

// Learns the outcome of a connect that is going on; its error is read (and so cleared) here
// only, and kept for FD_CONNECT and GetSocketError.
void UpdateConnect(int fd, SockState& st) {  // g_mu held
  if (st.phase != Phase::kConnecting) return;
  const short r = Probe(fd, POLLOUT);
  if (r == 0) return;
  int e = TakeSocketError(fd);
  if (e == 0 && NotConnected(fd)) e = ECONNREFUSED;
  st.connect_pending = true;
  st.connect_error = e ? WsaFromErrno(e) : 0;
  st.phase = e ? Phase::kFailed : Phase::kConnected;
  if (!e) st.write_armed = true;
}

// The notifications pending now under the socket's mask; reports nothing as consumed.
unsigned Pending(int fd, SockState& st, int* errors) {  // g_mu held
  UpdateConnect(fd, st);
  unsigned ev = st.connect_pending ? unsigned{kFdConnect} : 0u;
  switch (st.phase) {
    case Phase::kListening:
      if (Probe(fd, POLLIN) & POLLIN) ev |= kFdAccept;
      break;
    case Phase::kDatagram: {
      const short r = Probe(fd, POLLIN | POLLOUT);
      if (r & (POLLIN | POLLERR)) {
        if (st.mask & kFdRead) {
          ev |= kFdRead;  // the receive reports a queued ICMP error
        } else if (r & POLLERR) {
          TakeSocketError(fd);  // nobody will receive it: drop it, or poll would spin
        }
      }
      if (st.write_armed && (r & POLLOUT)) ev |= kFdWrite;
      break;
    }
    case Phase::kConnected: {
      const short r = Probe(fd, POLLIN | POLLOUT | POLLRDHUP);
      int queued = 0;  // nothing can be queued without POLLIN: spare the call then
      if ((r & POLLIN) && ioctl(fd, FIONREAD, &queued) != 0) queued = 0;
      if (!st.eof_seen && (r & (POLLRDHUP | POLLHUP | POLLERR))) {
        st.eof_seen = true;
        if (r & POLLERR) {
          if (const int e = TakeSocketError(fd)) st.close_error = WsaFromErrno(e);
        }
      }
      if (queued > 0) ev |= kFdRead;
      const bool reset = st.close_error != 0;
      // After a graceful close FD_CLOSE waits until the data is read (recv would return 0);
      // a reset is reported at once, as WinSock discards the data then.
      if (st.eof_seen && !st.close_reported && (queued == 0 || reset || !(st.mask & kFdRead))) {
        ev |= kFdClose;
      }
      if (st.write_armed && !reset && (r & POLLOUT)) ev |= kFdWrite;
      break;
    }
    default:
      break;
  }
  ev &= st.mask;
  if (ev & kFdConnect) errors[kFdConnectSlot] = st.connect_error;
  if (ev & kFdClose) errors[kFdCloseSlot] = st.close_error;
  return ev;
}

// What poll() must watch so that the next notification wakes the wait, and nothing that
// would wake it forever (a reported hang-up, a closed peer's endless readability).
short PollEvents(const SockState& st) {
  switch (st.phase) {
    case Phase::kConnecting:
      return POLLOUT;
    case Phase::kListening:
      return (st.mask & kFdAccept) ? POLLIN : 0;
    case Phase::kDatagram:
      return ((st.mask & kFdRead) ? POLLIN : 0) |
             ((st.write_armed && (st.mask & kFdWrite)) ? POLLOUT : 0);
    case Phase::kConnected: {
      if (st.eof_seen) return 0;
      short e = 0;
      if (st.mask & kFdRead) e |= POLLIN;
      if (st.mask & kFdClose) e |= POLLRDHUP;
      if (st.write_armed && (st.mask & kFdWrite)) e |= POLLOUT;
      return e;
    }
    default:
      return 0;
  }
}

int SetIntOption(Socket s, int level, int name, int value) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  if (setsockopt(fd, level, name, &value, sizeof value) != 0) return FailErrno();
  return 0;
}

int ReceiveImpl(Socket s, void* buf, int len, SockAddr* from, bool peek) {
  bool datagram;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    SockState* st = Find(s);
    if (!st) return Fail(kWsaENOTSOCK);
    UpdateConnect(static_cast<int>(s), *st);
    // Linux lets a receive on a socket still connecting wait (EAGAIN) and one after a failed
    // connect return 0; WinSock fails both with WSAENOTCONN.
    if (st->phase == Phase::kConnecting || st->phase == Phase::kFailed) return Fail(kWsaENOTCONN);
    datagram = st->phase == Phase::kDatagram;
  }
  if (len < 0 || (buf == nullptr && len > 0)) return Fail(kWsaEFAULT);
  const int fd = static_cast<int>(s);
  sockaddr_storage peer{};
  iovec iov{buf, static_cast<std::size_t>(len)};
  msghdr msg{};
  msg.msg_name = &peer;
  msg.msg_namelen = sizeof peer;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  // MSG_TRUNC makes recvmsg return a datagram's whole length, so a short buffer is noticed.
  const int flags = (peek ? MSG_PEEK : 0) | (datagram ? MSG_TRUNC : 0);
  const ssize_t n = recvmsg(fd, &msg, flags);
  if (n < 0) {
    const int e = errno;
    if (e == EAGAIN || e == EWOULDBLOCK) {
      // SO_RCVTIMEO's expiry is EAGAIN on Linux, WSAETIMEDOUT on WinSock.
      if (IsBlocking(fd)) return Fail(kWsaETIMEDOUT);
    }
    if (e == ECONNRESET) {
      std::lock_guard<std::mutex> lock(g_mu);
      if (SockState* st = Find(s)) {
        st->eof_seen = true;
        st->close_error = kWsaECONNRESET;
      }
    }
    return Fail(WsaFromErrno(e));
  }
  if (from) StoreAddr(&peer, msg.msg_namelen, from);
  if (datagram && n > len) return Fail(kWsaEMSGSIZE);  // the first len bytes are stored
  if (!datagram && n == 0 && len > 0) {
    std::lock_guard<std::mutex> lock(g_mu);
    if (SockState* st = Find(s)) {
      st->eof_seen = true;
      // Linux reports a reset once and then an orderly end; WinSock keeps failing.
      if (st->close_error == kWsaECONNRESET) return Fail(kWsaECONNRESET);
    }
  }
  return static_cast<int>(n);
}

int SendImpl(Socket s, const void* data, int len, const SockAddr* to) {
  {
    std::lock_guard<std::mutex> lock(g_mu);
    SockState* st = Find(s);
    if (!st) return Fail(kWsaENOTSOCK);
    UpdateConnect(static_cast<int>(s), *st);
    // Linux makes a send on a socket still connecting wait (EAGAIN); WinSock says WSAENOTCONN.
    if (st->phase == Phase::kConnecting || st->phase == Phase::kFailed) return Fail(kWsaENOTCONN);
  }
  if (len < 0 || (data == nullptr && len > 0)) return Fail(kWsaEFAULT);
  const int fd = static_cast<int>(s);
  // MSG_NOSIGNAL: a send to a closed peer fails as in WinSock instead of raising SIGPIPE.
  const ssize_t n = to ? sendto(fd, data, static_cast<std::size_t>(len), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(to->bytes),
                                static_cast<socklen_t>(to->len))
                       : send(fd, data, static_cast<std::size_t>(len), MSG_NOSIGNAL);
  if (n >= 0) return static_cast<int>(n);
  const int e = errno;
  std::lock_guard<std::mutex> lock(g_mu);
  SockState* st = Find(s);
  if (e == EAGAIN || e == EWOULDBLOCK) {
    if (st) st->write_armed = true;  // WinSock owes FD_WRITE after a blocked send
    return Fail(kWsaEWOULDBLOCK);
  }
  if (e == EPIPE) return Fail(st && st->send_shut ? kWsaESHUTDOWN : kWsaECONNRESET);
  return Fail(WsaFromErrno(e));
}

}  // namespace

namespace posix {

bool SocketsPending(const Event* event) {
  std::lock_guard<std::mutex> lock(g_mu);
  for (auto& [fd, st] : g_socks) {
    int errors[kFdSlotCount] = {};
    if (st.event == event && Pending(fd, st, errors) != 0) return true;
  }
  return false;
}

void AppendSocketPolls(const Event* event, std::vector<pollfd>* fds) {
  std::lock_guard<std::mutex> lock(g_mu);
  for (const auto& [fd, st] : g_socks) {
    if (st.event != event) continue;
    if (const short e = PollEvents(st)) fds->push_back({fd, e, 0});
  }
}

void ForgetEvent(const Event* event) {
  std::lock_guard<std::mutex> lock(g_mu);
  for (auto& [fd, st] : g_socks) {
    if (st.event == event) {
      st.event = nullptr;
      st.mask = 0;
    }
  }
}

}  // namespace posix

std::uint16_t SockAddr::Port() const {
  if (family == Family::kInet) {
    sockaddr_in sa;
    std::memcpy(&sa, bytes, sizeof sa);
    return ntohs(sa.sin_port);
  }
  if (family == Family::kInet6) {
    sockaddr_in6 sa;
    std::memcpy(&sa, bytes, sizeof sa);
    return ntohs(sa.sin6_port);
  }
  return 0;
}

int NetStartup(std::uint16_t requested_version, std::uint16_t* granted) {
  if (granted) *granted = requested_version;
  g_startups.fetch_add(1);
  return 0;
}

int NetCleanup() {
  int n = g_startups.load();
  while (n > 0 && !g_startups.compare_exchange_weak(n, n - 1)) {
  }
  return 0;
}

int LastNetError() { return t_last_error; }

int GetHostName(char* name, int size) {
  if (name == nullptr || size <= 0) return Fail(kWsaEFAULT);
  // glibc truncates a name that does not fit and says ENAMETOOLONG; WinSock says WSAEFAULT.
  if (gethostname(name, static_cast<std::size_t>(size)) != 0) {
    return Fail(errno == ENAMETOOLONG ? kWsaEFAULT : WsaFromErrno(errno));
  }
  if (std::memchr(name, '\0', static_cast<std::size_t>(size)) == nullptr) return Fail(kWsaEFAULT);
  return 0;
}

int Resolve(const char* host, const char* service, const ResolveHints& hints,
            std::vector<AddrInfo>* out) {
  if (out == nullptr) return t_last_error = kWsaEFAULT;
  out->clear();
  // No look-up for an empty name (Windows would resolve the local host) or one longer than a
  // DNS name can be.
  if (host && (host[0] == '\0' || std::strlen(host) > 255)) {
    return t_last_error = kWsaHOST_NOT_FOUND;
  }
  // glibc takes a numeric service modulo 2^16 ("70000" is port 4464); WinSock refuses it.
  if (service && service[0] != '\0') {
    long value = 0;
    const char* p = service;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (value <= 65535) value = value * 10 + (*p - '0');
    }
    if (*p == '\0' && value > 65535) return t_last_error = kWsaTYPE_NOT_FOUND;
  }
  addrinfo hi{};
  hi.ai_family = hints.family == Family::kInet    ? AF_INET
                 : hints.family == Family::kInet6 ? AF_INET6
                                                  : AF_UNSPEC;
  hi.ai_socktype = hints.type == SockType::kDgram ? SOCK_DGRAM : SOCK_STREAM;
  hi.ai_flags = (hints.numeric_host ? AI_NUMERICHOST : 0) | (hints.passive ? AI_PASSIVE : 0);
  addrinfo* list = nullptr;
  const int r = getaddrinfo(host, service, &hi, &list);
  if (r != 0) return t_last_error = WsaFromGai(r);
  for (const addrinfo* p = list; p; p = p->ai_next) {
    if (FamilyOf(p->ai_family) == Family::kUnspec) continue;
    if (p->ai_addrlen > sizeof(SockAddr::bytes)) continue;
    AddrInfo a;
    a.family = FamilyOf(p->ai_family);
    a.type = p->ai_socktype == SOCK_DGRAM ? SockType::kDgram : SockType::kStream;
    a.protocol = p->ai_protocol;
    StoreAddr(p->ai_addr, p->ai_addrlen, &a.addr);
    out->push_back(a);
  }
  freeaddrinfo(list);
  if (out->empty()) return t_last_error = kWsaHOST_NOT_FOUND;
  return 0;
}

std::uint32_t ParseIPv4(const char* text) { return text ? inet_addr(text) : INADDR_NONE; }

void FormatAddress(const SockAddr& addr, char* out, std::size_t out_size) {
  if (out == nullptr || out_size == 0) return;
  char text[INET6_ADDRSTRLEN] = "";
  if (addr.family == Family::kInet) {
    sockaddr_in sa;
    std::memcpy(&sa, addr.bytes, sizeof sa);
    inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text);
  } else if (addr.family == Family::kInet6) {
    sockaddr_in6 sa;
    std::memcpy(&sa, addr.bytes, sizeof sa);
    inet_ntop(AF_INET6, &sa.sin6_addr, text, sizeof text);
  }
  std::snprintf(out, out_size, "%s", text);
}

SockAddr MakeIPv4Address(std::uint32_t address_be, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address_be;
  SockAddr out;
  StoreAddr(&sa, sizeof sa, &out);
  return out;
}

SockAddr MakeIPv6Loopback(std::uint16_t port) {
  sockaddr_in6 sa{};
  sa.sin6_family = AF_INET6;
  sa.sin6_port = htons(port);
  sa.sin6_addr = in6addr_loopback;
  SockAddr out;
  StoreAddr(&sa, sizeof sa, &out);
  return out;
}

Socket SocketCreate(Family family, SockType type, int protocol) {
  const int af = family == Family::kInet ? AF_INET : family == Family::kInet6 ? AF_INET6 : -1;
  if (af < 0) {
    Fail(kWsaEAFNOSUPPORT);
    return kInvalidSocket;
  }
  const int st = type == SockType::kDgram ? SOCK_DGRAM : SOCK_STREAM;
  const int fd = socket(af, st | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  std::lock_guard<std::mutex> lock(g_mu);
  SockState& state = g_socks[fd];
  state = SockState{};
  state.phase = type == SockType::kDgram ? Phase::kDatagram : Phase::kIdle;
  return fd;
}

int SocketClose(Socket s) {
  {
    std::lock_guard<std::mutex> lock(g_mu);
    if (!Find(s)) return Fail(kWsaENOTSOCK);
    g_socks.erase(static_cast<int>(s));
  }
  close(static_cast<int>(s));
  return 0;
}

int SocketShutdown(Socket s, Shutdown how) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  const int h = how == Shutdown::kReceive ? SHUT_RD : how == Shutdown::kSend ? SHUT_WR : SHUT_RDWR;
  if (shutdown(fd, h) != 0) return FailErrno();
  if (how != Shutdown::kReceive) {
    std::lock_guard<std::mutex> lock(g_mu);
    if (SockState* st = Find(s)) st->send_shut = true;
  }
  return 0;
}

int SocketBind(Socket s, const SockAddr& addr) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  const auto* sa = reinterpret_cast<const sockaddr*>(addr.bytes);
  if (bind(fd, sa, static_cast<socklen_t>(addr.len)) != 0) return FailErrno();
  return 0;
}

int SocketConnect(Socket s, const SockAddr& addr) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  const int r =
      connect(fd, reinterpret_cast<const sockaddr*>(addr.bytes), static_cast<socklen_t>(addr.len));
  const int e = r == 0 ? 0 : errno;
  std::lock_guard<std::mutex> lock(g_mu);
  SockState* st = Find(s);
  if (!st) return Fail(kWsaENOTSOCK);
  if (st->phase == Phase::kDatagram) return r == 0 ? 0 : Fail(WsaFromErrno(e));
  if (r == 0) {
    st->phase = Phase::kConnected;
    st->write_armed = true;
    if (st->event) st->connect_pending = true;
    return 0;
  }
  if (e == EINPROGRESS) {
    st->phase = Phase::kConnecting;
    return Fail(kWsaEWOULDBLOCK);
  }
  // A selected socket learns a connect's failure from FD_CONNECT, even one Linux knew at once.
  if (st->event && (e == ECONNREFUSED || e == ENETUNREACH || e == EHOSTUNREACH || e == ETIMEDOUT)) {
    st->phase = Phase::kFailed;
    st->connect_pending = true;
    st->connect_error = WsaFromErrno(e);
    return Fail(kWsaEWOULDBLOCK);
  }
  return Fail(WsaFromErrno(e));
}

int SocketListen(Socket s, int backlog) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  if (listen(fd, backlog) != 0) return FailErrno();
  std::lock_guard<std::mutex> lock(g_mu);
  if (SockState* st = Find(s)) st->phase = Phase::kListening;
  return 0;
}

Socket SocketAccept(Socket s, SockAddr* peer) {
  Event* event;
  unsigned mask;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    SockState* st = Find(s);
    if (!st) {
      Fail(kWsaENOTSOCK);
      return kInvalidSocket;
    }
    event = st->event;
    mask = st->mask;
  }
  const int fd = static_cast<int>(s);
  // WinSock's accepted socket inherits the listener's non-blocking mode and EventSelect
  // binding; Linux's inherits neither.
  const int flags = SOCK_CLOEXEC | (IsBlocking(fd) ? 0 : SOCK_NONBLOCK);
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  const int c = accept4(fd, reinterpret_cast<sockaddr*>(&sa), &len, flags);
  if (c < 0) {
    FailErrno();
    return kInvalidSocket;
  }
  if (peer) StoreAddr(&sa, len, peer);
  std::lock_guard<std::mutex> lock(g_mu);
  SockState& state = g_socks[c];
  state = SockState{};
  state.phase = Phase::kConnected;
  state.event = event;
  state.mask = mask;
  state.write_armed = true;
  return c;
}

int SocketGetName(Socket s, SockAddr* out) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  if (out == nullptr) return Fail(kWsaEFAULT);
  sockaddr_storage sa{};
  socklen_t len = sizeof sa;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return FailErrno();
  StoreAddr(&sa, len, out);
  return 0;
}

int SocketSend(Socket s, const void* data, int len) { return SendImpl(s, data, len, nullptr); }

int SocketSendTo(Socket s, const void* data, int len, const SockAddr& to) {
  return SendImpl(s, data, len, &to);
}

int SocketRecv(Socket s, void* buf, int len, bool peek) {
  return ReceiveImpl(s, buf, len, nullptr, peek);
}

int SocketRecvFrom(Socket s, void* buf, int len, SockAddr* from, bool peek) {
  return ReceiveImpl(s, buf, len, from, peek);
}

int SocketSetNonBlocking(Socket s, bool on) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  {
    // WinSock refuses to make a socket blocking while EventSelect binds it.
    std::lock_guard<std::mutex> lock(g_mu);
    SockState* st = Find(s);
    if (!on && st && st->event) return Fail(kWsaEINVAL);
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) != 0) {
    return FailErrno();
  }
  return 0;
}

int SetRecvBufferSize(Socket s, int bytes) { return SetIntOption(s, SOL_SOCKET, SO_RCVBUF, bytes); }

int GetRecvBufferSize(Socket s, int* bytes) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  if (bytes == nullptr) return Fail(kWsaEFAULT);
  int value = 0;
  socklen_t len = sizeof value;
  if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &value, &len) != 0) return FailErrno();
  // Linux doubles the size it is given (room for its bookkeeping) and reports the double;
  // WinSock reports the size that was set.
  *bytes = value / 2;
  return 0;
}

int SetReuseAddress(Socket s, bool on) {
  return SetIntOption(s, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0);
}

int SetRecvTimeout(Socket s, std::uint32_t ms) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  // WinSock takes milliseconds; SO_RCVTIMEO here takes a timeval.
  timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) return FailErrno();
  return 0;
}

int SetMulticastLoop(Socket s, Family family, bool on) {
  const int value = on ? 1 : 0;
  if (family == Family::kInet6) return SetIntOption(s, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, value);
  return SetIntOption(s, IPPROTO_IP, IP_MULTICAST_LOOP, value);
}

int SetMulticastInterfaceV4(Socket s, std::uint32_t iface_be) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  in_addr a{};
  a.s_addr = iface_be;
  if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a) != 0) return FailErrno();
  return 0;
}

int SetMulticastInterfaceV6(Socket s, unsigned if_index) {
  return SetIntOption(s, IPPROTO_IPV6, IPV6_MULTICAST_IF, static_cast<int>(if_index));
}

int SetMulticastHops(Socket s, Family family, int hops) {
  if (family == Family::kInet6) return SetIntOption(s, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, hops);
  return SetIntOption(s, IPPROTO_IP, IP_MULTICAST_TTL, hops);
}

int JoinGroupV4(Socket s, std::uint32_t group_be, std::uint32_t iface_be) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  ip_mreq m{};
  m.imr_multiaddr.s_addr = group_be;
  m.imr_interface.s_addr = iface_be;
  if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) return FailErrno();
  return 0;
}

int JoinGroupV6(Socket s, const SockAddr& group, unsigned if_index) {
  const int fd = FdOf(s);
  if (fd < 0) return kSocketError;
  if (group.family != Family::kInet6) return Fail(kWsaEINVAL);
  sockaddr_in6 sa;
  std::memcpy(&sa, group.bytes, sizeof sa);
  ipv6_mreq m{};
  m.ipv6mr_multiaddr = sa.sin6_addr;
  m.ipv6mr_interface = if_index;
  if (setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &m, sizeof m) != 0) return FailErrno();
  return 0;
}

int SocketConnectStatus(Socket s) {
  std::lock_guard<std::mutex> lock(g_mu);
  SockState* st = Find(s);
  if (!st) return Fail(kWsaENOTSOCK);
  UpdateConnect(static_cast<int>(s), *st);  // a writability probe and SO_ERROR: no data read
  switch (st->phase) {
    case Phase::kConnected: return 1;
    case Phase::kFailed: return Fail(st->connect_error);
    default: return 0;
  }
}

int GetSocketError(Socket s, int* error) {
  if (error == nullptr) return Fail(kWsaEFAULT);
  std::lock_guard<std::mutex> lock(g_mu);
  SockState* st = Find(s);
  if (!st) return Fail(kWsaENOTSOCK);
  const int fd = static_cast<int>(s);
  UpdateConnect(fd, *st);
  if (st->phase == Phase::kFailed) {
    *error = st->connect_error;  // UpdateConnect took it from SO_ERROR
    return 0;
  }
  const int e = TakeSocketError(fd);
  *error = e ? WsaFromErrno(e) : 0;
  return 0;
}

int EventSelect(Socket s, Event* event, unsigned mask) {
  std::lock_guard<std::mutex> lock(g_mu);
  SockState* st = Find(s);
  if (!st) return Fail(kWsaENOTSOCK);
  if (event == nullptr || mask == 0) {
    st->event = nullptr;  // the socket stays non-blocking, as in WinSock
    st->mask = 0;
    return 0;
  }
  const int fd = static_cast<int>(s);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return FailErrno();
  st->event = event;
  st->mask = mask;
  // WinSock records FD_WRITE at once for a socket that can already send.
  if (st->phase == Phase::kConnected || st->phase == Phase::kDatagram) st->write_armed = true;
  return 0;
}

int EnumNetworkEvents(Socket s, Event* event, NetworkEvents* out) {
  if (out == nullptr) return Fail(kWsaEFAULT);
  NetworkEvents found;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    SockState* st = Find(s);
    if (!st) return Fail(kWsaENOTSOCK);
    found.events = Pending(static_cast<int>(s), *st, found.errors);
    st->connect_pending = false;  // reported now, or not selected and so dropped
    if (found.events & kFdWrite) st->write_armed = false;
    if (found.events & kFdClose) st->close_reported = true;
  }
  if (event) event->Reset();
  *out = found;
  return 0;
}

}  // namespace plat
