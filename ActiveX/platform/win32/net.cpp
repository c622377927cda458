// Win32 backend of net.h: thin wrappers over WinSock 2.2, whose behaviour is the reference the
// posix backend reproduces. Under wine some Linux behaviour shows through where WinSock differs;
// the few places that restore WinSock's answer say so (on Windows their conditions never arise).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstring>
#include <unordered_map>

#include "platform/net.h"
#include "platform/sync.h"

namespace plat {

namespace win32 {
HANDLE EventHandle(const Event* event);  // sync.cpp, which owns Event::Impl
}  // namespace win32

namespace {

SOCKET S(Socket s) { return static_cast<SOCKET>(s); }

int ToAf(Family f) {
  return f == Family::kInet ? AF_INET : f == Family::kInet6 ? AF_INET6 : AF_UNSPEC;
}

Family FromAf(int af) {
  return af == AF_INET ? Family::kInet : af == AF_INET6 ? Family::kInet6 : Family::kUnspec;
}

int ToSockType(SockType t) { return t == SockType::kDgram ? SOCK_DGRAM : SOCK_STREAM; }

sockaddr* Raw(SockAddr* a) { return reinterpret_cast<sockaddr*>(a->bytes); }
const sockaddr* Raw(const SockAddr& a) { return reinterpret_cast<const sockaddr*>(a.bytes); }

// Fills *out from an address the OS wrote into its bytes (len = what it reported).
void Adopt(SockAddr* out, int len) {
  out->len = len;
  out->family = FromAf(Raw(out)->sa_family);
}

// The result of a call that returns 0 / SOCKET_ERROR, in net.h's terms.
int Check(int r) { return r == SOCKET_ERROR ? kSocketError : r; }

int Fail(int wsa_error) {
  WSASetLastError(wsa_error);
  return kSocketError;
}

int SetDword(Socket s, int level, int name, DWORD value) {
  return Check(setsockopt(S(s), level, name, reinterpret_cast<const char*>(&value), sizeof value));
}

// What a stream socket's end looked like, for telling a reset from an orderly close when only
// "no peer" is left to see: wine's server consumes Linux's one-shot ECONNRESET itself.
struct History {
  bool connect_failed = false;
  bool send_shut = false;
};
SRWLOCK g_history_lock = SRWLOCK_INIT;
std::unordered_map<SOCKET, History> g_history;

History Recall(SOCKET s) {
  AcquireSRWLockShared(&g_history_lock);
  auto it = g_history.find(s);
  History h = it == g_history.end() ? History{} : it->second;
  ReleaseSRWLockShared(&g_history_lock);
  return h;
}

void Remember(SOCKET s, bool History::*fact) {
  AcquireSRWLockExclusive(&g_history_lock);
  g_history[s].*fact = true;
  ReleaseSRWLockExclusive(&g_history_lock);
}

void Forget(SOCKET s) {
  AcquireSRWLockExclusive(&g_history_lock);
  g_history.erase(s);
  ReleaseSRWLockExclusive(&g_history_lock);
}

// The last WSACleanup closes every socket, and their numbers are then given out again.
long g_startups = 0;

void ForgetAll() {
  AcquireSRWLockExclusive(&g_history_lock);
  g_history.clear();
  ReleaseSRWLockExclusive(&g_history_lock);
}

// A stream socket that has no peer (never connected, connecting, or its connection is gone).
// Keeps the last error as it was.
bool StreamWithoutPeer(SOCKET s) {
  int saved = WSAGetLastError();
  int type = 0, len = sizeof type;
  bool stream = getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len) == 0 &&
                type == SOCK_STREAM;
  sockaddr_storage peer;
  int plen = sizeof peer;
  bool none = stream && getpeername(s, reinterpret_cast<sockaddr*>(&peer), &plen) == SOCKET_ERROR &&
              WSAGetLastError() == WSAENOTCONN;
  WSASetLastError(saved);
  return none;
}

// WinSock fails a send or receive on a socket still connecting with WSAENOTCONN; wine passes
// Linux's EAGAIN through (as WSAEWOULDBLOCK). Applied to a failed call's result.
int NotConnectedIfConnecting(Socket s, int r) {
  if (r == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK && StreamWithoutPeer(S(s)))
    return Fail(WSAENOTCONN);
  return Check(r);
}

}  // namespace

std::uint16_t SockAddr::Port() const {
  const sockaddr* sa = Raw(*this);
  if (sa->sa_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(sa)->sin_port);
  if (sa->sa_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(sa)->sin6_port);
  return 0;
}

int NetStartup(std::uint16_t requested_version, std::uint16_t* granted) {
  WSADATA data{};
  int r = WSAStartup(requested_version, &data);
  if (granted) *granted = data.wVersion;
  if (r == 0) InterlockedIncrement(&g_startups);
  return r;
}

int NetCleanup() {
  if (WSACleanup() != 0) return WSAGetLastError();
  if (InterlockedDecrement(&g_startups) == 0) ForgetAll();
  return 0;
}

int LastNetError() { return WSAGetLastError(); }

int GetHostName(char* name, int size) {
  if (name == nullptr || size <= 0) return Fail(WSAEFAULT);
  return Check(gethostname(name, size));
}

namespace {

// A numeric service above 65535: WinSock refuses it, wine's (glibc's) getaddrinfo takes it
// modulo 2^16.
bool PortOutOfRange(const char* service) {
  if (!service || !*service) return false;
  unsigned long value = 0;
  const char* p = service;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= 65535) value = value * 10 + static_cast<unsigned>(*p - '0');
  }
  return *p == '\0' && value > 65535;
}

}  // namespace

int Resolve(const char* host, const char* service, const ResolveHints& hints,
            std::vector<AddrInfo>* out) {
  auto fail = [](int code) {
    WSASetLastError(code);
    return code;
  };
  if (!out) return fail(WSAEFAULT);
  out->clear();
  // Windows resolves "" as the local host; an empty host field must not reach any address. A
  // name longer than DNS allows is not looked up at all.
  if (host && (!*host || std::strlen(host) > 255)) return fail(WSAHOST_NOT_FOUND);
  if (PortOutOfRange(service)) return fail(WSATYPE_NOT_FOUND);
  addrinfo want{};
  want.ai_family = ToAf(hints.family);
  want.ai_socktype = ToSockType(hints.type);
  want.ai_flags = (hints.numeric_host ? AI_NUMERICHOST : 0) | (hints.passive ? AI_PASSIVE : 0);
  addrinfo* list = nullptr;
  int r = getaddrinfo(host, service, &want, &list);
  if (r != 0) return fail(r);  // WinSock's getaddrinfo reports WSA codes (EAI_NONAME = 11001)
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (!ai->ai_addr || FromAf(ai->ai_family) == Family::kUnspec ||
        ai->ai_addrlen > sizeof(SockAddr::bytes))
      continue;
    AddrInfo info;
    info.family = FromAf(ai->ai_family);
    info.type = ai->ai_socktype == SOCK_DGRAM ? SockType::kDgram : SockType::kStream;
    info.protocol = ai->ai_protocol;
    std::memcpy(info.addr.bytes, ai->ai_addr, ai->ai_addrlen);
    Adopt(&info.addr, static_cast<int>(ai->ai_addrlen));
    out->push_back(info);
  }
  freeaddrinfo(list);
  return out->empty() ? fail(WSAHOST_NOT_FOUND) : 0;
}

std::uint32_t ParseIPv4(const char* text) { return text ? inet_addr(text) : INADDR_NONE; }

void FormatAddress(const SockAddr& addr, char* out, std::size_t out_size) {
  if (!out || out_size == 0) return;
  out[0] = '\0';
  const sockaddr* sa = Raw(addr);
  const void* bits = nullptr;
  if (sa->sa_family == AF_INET) bits = &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr;
  if (sa->sa_family == AF_INET6) bits = &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr;
  if (!bits || !inet_ntop(sa->sa_family, bits, out, out_size)) out[0] = '\0';
}

SockAddr MakeIPv4Address(std::uint32_t address_be, std::uint16_t port) {
  SockAddr a;
  auto* in = reinterpret_cast<sockaddr_in*>(a.bytes);
  in->sin_family = AF_INET;
  in->sin_port = htons(port);
  in->sin_addr.s_addr = address_be;
  Adopt(&a, sizeof(sockaddr_in));
  return a;
}

SockAddr MakeIPv6Loopback(std::uint16_t port) {
  SockAddr a;
  auto* in6 = reinterpret_cast<sockaddr_in6*>(a.bytes);
  in6->sin6_family = AF_INET6;
  in6->sin6_port = htons(port);
  in6->sin6_addr = in6addr_loopback;
  Adopt(&a, sizeof(sockaddr_in6));
  return a;
}

Socket SocketCreate(Family family, SockType type, int protocol) {
  // WinSock's answer for AF_UNSPEC depends on the protocol catalogue; ours is always this.
  if (family == Family::kUnspec) {
    Fail(WSAEAFNOSUPPORT);
    return kInvalidSocket;
  }
  SOCKET s = socket(ToAf(family), ToSockType(type), protocol);
  return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

int SocketClose(Socket s) {
  Forget(S(s));  // even when it fails: the number names no socket of ours afterwards
  return Check(closesocket(S(s)));
}

int SocketShutdown(Socket s, Shutdown how) {
  int sd = how == Shutdown::kReceive ? SD_RECEIVE : how == Shutdown::kSend ? SD_SEND : SD_BOTH;
  if (shutdown(S(s), sd) == SOCKET_ERROR) return kSocketError;
  if (how != Shutdown::kReceive) Remember(S(s), &History::send_shut);
  return 0;
}

int SocketBind(Socket s, const SockAddr& addr) { return Check(bind(S(s), Raw(addr), addr.len)); }
int SocketConnect(Socket s, const SockAddr& addr) {
  if (connect(S(s), Raw(addr), addr.len) == 0) return 0;
  int e = WSAGetLastError();
  if (e != WSAEWOULDBLOCK) Remember(S(s), &History::connect_failed);
  return Fail(e);
}
int SocketListen(Socket s, int backlog) { return Check(listen(S(s), backlog)); }

Socket SocketAccept(Socket s, SockAddr* peer) {
  SockAddr tmp;
  SockAddr* p = peer ? peer : &tmp;
  *p = SockAddr{};
  int len = sizeof p->bytes;
  SOCKET c = accept(S(s), Raw(p), &len);
  if (c == INVALID_SOCKET) return kInvalidSocket;
  Adopt(p, len);
  return static_cast<Socket>(c);
}

int SocketGetName(Socket s, SockAddr* out) {
  if (!out) return Fail(WSAEFAULT);
  *out = SockAddr{};
  int len = sizeof out->bytes;
  if (getsockname(S(s), Raw(out), &len) == SOCKET_ERROR) return kSocketError;
  Adopt(out, len);
  return 0;
}

int SocketSend(Socket s, const void* data, int len) {
  return NotConnectedIfConnecting(s, send(S(s), static_cast<const char*>(data), len, 0));
}

int SocketSendTo(Socket s, const void* data, int len, const SockAddr& to) {
  return Check(sendto(S(s), static_cast<const char*>(data), len, 0, Raw(to), to.len));
}

// WinSock itself fails an over-long datagram with WSAEMSGSIZE and a time-out with WSAETIMEDOUT.
int SocketRecv(Socket s, void* buf, int len, bool peek) {
  int r = recv(S(s), static_cast<char*>(buf), len, peek ? MSG_PEEK : 0);
  if (r != 0 || len <= 0 || !StreamWithoutPeer(S(s))) return NotConnectedIfConnecting(s, r);
  // An end of stream with no peer left. WinSock keeps failing after a refused connect
  // (WSAENOTCONN) and after a reset (WSAECONNRESET); wine gives Linux's 0 for both.
  History h = Recall(S(s));
  if (h.connect_failed) return Fail(WSAENOTCONN);
  if (h.send_shut) return 0;  // both sides closed in order: no peer, no reset
  return Fail(WSAECONNRESET);
}

int SocketRecvFrom(Socket s, void* buf, int len, SockAddr* from, bool peek) {
  SockAddr tmp;
  SockAddr* f = from ? from : &tmp;
  *f = SockAddr{};
  int flen = sizeof f->bytes;
  int r = recvfrom(S(s), static_cast<char*>(buf), len, peek ? MSG_PEEK : 0, Raw(f), &flen);
  // The sender is known for a truncated datagram too.
  if (r != SOCKET_ERROR || WSAGetLastError() == WSAEMSGSIZE) Adopt(f, flen);
  return Check(r);
}

int SocketSetNonBlocking(Socket s, bool on) {
  u_long arg = on ? 1 : 0;
  return Check(ioctlsocket(S(s), FIONBIO, &arg));
}

int SetRecvBufferSize(Socket s, int bytes) {
  return Check(setsockopt(S(s), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                          sizeof bytes));
}

int GetRecvBufferSize(Socket s, int* bytes) {
  if (!bytes) return Fail(WSAEFAULT);
  int len = sizeof *bytes;
  return Check(getsockopt(S(s), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(bytes), &len));
}

int SetReuseAddress(Socket s, bool on) { return SetDword(s, SOL_SOCKET, SO_REUSEADDR, on); }
int SetRecvTimeout(Socket s, std::uint32_t ms) { return SetDword(s, SOL_SOCKET, SO_RCVTIMEO, ms); }

int SetMulticastLoop(Socket s, Family family, bool on) {
  if (family == Family::kInet) return SetDword(s, IPPROTO_IP, IP_MULTICAST_LOOP, on);
  if (family == Family::kInet6) return SetDword(s, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, on);
  return Fail(WSAEINVAL);
}

int SetMulticastInterfaceV4(Socket s, std::uint32_t iface_be) {
  return SetDword(s, IPPROTO_IP, IP_MULTICAST_IF, iface_be);  // an in_addr, as a DWORD
}

int SetMulticastInterfaceV6(Socket s, unsigned if_index) {
  return SetDword(s, IPPROTO_IPV6, IPV6_MULTICAST_IF, if_index);
}

int SetMulticastHops(Socket s, Family family, int hops) {
  if (family == Family::kInet) return SetDword(s, IPPROTO_IP, IP_MULTICAST_TTL, hops);
  if (family == Family::kInet6) return SetDword(s, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, hops);
  return Fail(WSAEINVAL);
}

int JoinGroupV4(Socket s, std::uint32_t group_be, std::uint32_t iface_be) {
  ip_mreq m{};
  m.imr_multiaddr.s_addr = group_be;
  m.imr_interface.s_addr = iface_be;
  return Check(setsockopt(S(s), IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&m),
                          sizeof m));
}

int JoinGroupV6(Socket s, const SockAddr& group, unsigned if_index) {
  if (Raw(group)->sa_family != AF_INET6) return Fail(WSAEINVAL);
  ipv6_mreq m{};
  m.ipv6mr_multiaddr = reinterpret_cast<const sockaddr_in6*>(group.bytes)->sin6_addr;
  m.ipv6mr_interface = if_index;
  return Check(setsockopt(S(s), IPPROTO_IPV6, IPV6_ADD_MEMBERSHIP,
                          reinterpret_cast<const char*>(&m), sizeof m));
}

int GetSocketError(Socket s, int* error) {
  if (!error) return Fail(WSAEFAULT);
  int len = sizeof *error;
  return Check(getsockopt(S(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(error), &len));
}

int SocketConnectStatus(Socket s) {
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(S(s), &writable);
  FD_SET(S(s), &failed);
  timeval now{0, 0};
  if (select(0, nullptr, &writable, &failed, &now) == SOCKET_ERROR) return kSocketError;
  int error = 0, len = sizeof error;
  // WinSock flags a failed connect in the exception set; SO_ERROR then names the cause.
  if (getsockopt(S(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0) error = 0;
  if (FD_ISSET(S(s), &failed) || error != 0) {
    Remember(S(s), &History::connect_failed);
    return Fail(error != 0 ? error : WSAECONNREFUSED);
  }
  return FD_ISSET(S(s), &writable) ? 1 : 0;
}

int EventSelect(Socket s, Event* event, unsigned mask) {
  HANDLE h = win32::EventHandle(event);
  if (event && !h) return Fail(WSAEINVAL);
  return Check(WSAEventSelect(S(s), h, static_cast<long>(mask)));
}

int EnumNetworkEvents(Socket s, Event* event, NetworkEvents* out) {
  HANDLE h = win32::EventHandle(event);
  WSANETWORKEVENTS ne{};
  if (WSAEnumNetworkEvents(S(s), h, &ne) == SOCKET_ERROR) return kSocketError;
  // Under wine the event is often set again right after a connect's report, with nothing
  // pending, which would wake the next wait for nothing. It is there at once if at all: take
  // what has come since and clear it.
  if (h && (ne.lNetworkEvents & FD_CONNECT) && WaitForSingleObject(h, 0) == WAIT_OBJECT_0) {
    ResetEvent(h);
    WSANETWORKEVENTS more{};
    if (WSAEnumNetworkEvents(S(s), nullptr, &more) == 0) {
      for (int i = 0; i < FD_MAX_EVENTS; ++i) {
        if (more.lNetworkEvents & (1L << i)) ne.iErrorCode[i] = more.iErrorCode[i];
      }
      ne.lNetworkEvents |= more.lNetworkEvents;
    }
  }
  if ((ne.lNetworkEvents & FD_CONNECT) && ne.iErrorCode[FD_CONNECT_BIT] != 0)
    Remember(S(s), &History::connect_failed);
  // A reset reaches wine's FD_CLOSE as an orderly close; what is left is a socket with no peer.
  if ((ne.lNetworkEvents & FD_CLOSE) && ne.iErrorCode[FD_CLOSE_BIT] == 0 && StreamWithoutPeer(S(s))) {
    History past = Recall(S(s));
    if (!past.send_shut && !past.connect_failed) ne.iErrorCode[FD_CLOSE_BIT] = WSAECONNRESET;
  }
  if (out) {
    out->events = static_cast<unsigned>(ne.lNetworkEvents);
    for (int i = 0; i < kFdSlotCount; ++i) out->errors[i] = ne.iErrorCode[i];
  }
  return 0;
}

}  // namespace plat
