// Sockets with WinSock semantics on every backend.
//
// Calls return 0 (or a count) on success and kSocketError (-1) on failure; LastNetError() then
// gives the WinSock-numbered code of the calling thread's last failure. One thread owns a socket
// at a time; nothing here is shared between threads except the Event objects of sync.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "net_errors.h"

namespace plat {

class Event;

using Socket = std::intptr_t;
inline constexpr Socket kInvalidSocket = -1;
inline constexpr int kSocketError = -1;

enum class Family { kUnspec, kInet, kInet6 };
enum class SockType { kStream, kDgram };
enum class Shutdown { kReceive, kSend, kBoth };

// Opaque socket address in the OS's own layout (room for IPv6).
struct SockAddr {
  alignas(8) unsigned char bytes[128] = {};
  int len = 0;
  Family family = Family::kUnspec;
  std::uint16_t Port() const;  // host order
};

struct AddrInfo {
  Family family = Family::kUnspec;
  SockType type = SockType::kStream;
  int protocol = 0;
  SockAddr addr;
};

struct ResolveHints {
  Family family = Family::kUnspec;
  SockType type = SockType::kStream;
  bool numeric_host = false;  // no name look-up: literals only
  bool passive = false;       // wildcard address when host is null
};

// Network library start-up and release (WSAStartup/WSACleanup). Returns 0 or an error code;
// *granted receives the version granted (the posix backend grants whatever is asked).
int NetStartup(std::uint16_t requested_version, std::uint16_t* granted);
int NetCleanup();

int LastNetError();

// gethostname: this machine's name, NUL-terminated, into name (size bytes). Returns 0, or
// kSocketError with kWsaEFAULT when it does not fit; kHostNameBytes always suffices.
inline constexpr int kHostNameBytes = 256;
int GetHostName(char* name, int size);

// getaddrinfo. host may be null (with passive: the wildcard address). Returns 0 or a WinSock
// code (kWsaHOST_NOT_FOUND, ...); out is filled in the resolver's order.
int Resolve(const char* host, const char* service, const ResolveHints& hints,
            std::vector<AddrInfo>* out);

// inet_addr: dotted IPv4 text to an address in network byte order, or 0xFFFFFFFF.
std::uint32_t ParseIPv4(const char* text);
// The numeric form of an address, for logs and tests ("127.0.0.1", "::1").
void FormatAddress(const SockAddr& addr, char* out, std::size_t out_size);
SockAddr MakeIPv4Address(std::uint32_t address_be, std::uint16_t port);
SockAddr MakeIPv6Loopback(std::uint16_t port);

Socket SocketCreate(Family family, SockType type, int protocol);
int SocketClose(Socket s);
int SocketShutdown(Socket s, Shutdown how);
int SocketBind(Socket s, const SockAddr& addr);
// Non-blocking sockets (after EventSelect) fail with kWsaEWOULDBLOCK while the connect goes on.
int SocketConnect(Socket s, const SockAddr& addr);
int SocketListen(Socket s, int backlog);
Socket SocketAccept(Socket s, SockAddr* peer);
int SocketGetName(Socket s, SockAddr* out);
int SocketSend(Socket s, const void* data, int len);
int SocketSendTo(Socket s, const void* data, int len, const SockAddr& to);
// Datagram sockets: a datagram longer than len fails with kWsaEMSGSIZE (the first len bytes are
// stored), as WinSock does. A receive time-out fails with kWsaETIMEDOUT.
int SocketRecv(Socket s, void* buf, int len, bool peek = false);
int SocketRecvFrom(Socket s, void* buf, int len, SockAddr* from, bool peek = false);
// Blocking or not (FIONBIO).
int SocketSetNonBlocking(Socket s, bool on);

// Socket options, at the socket level or the multicast ones.
int SetRecvBufferSize(Socket s, int bytes);
int GetRecvBufferSize(Socket s, int* bytes);
int SetReuseAddress(Socket s, bool on);
int SetRecvTimeout(Socket s, std::uint32_t ms);  // 0 = none
int SetMulticastLoop(Socket s, Family family, bool on);
int SetMulticastInterfaceV4(Socket s, std::uint32_t iface_be);
int SetMulticastInterfaceV6(Socket s, unsigned if_index);
int SetMulticastHops(Socket s, Family family, int hops);
int JoinGroupV4(Socket s, std::uint32_t group_be, std::uint32_t iface_be);
int JoinGroupV6(Socket s, const SockAddr& group, unsigned if_index);
// Returns 0 or kSocketError and the last error; for connect results (SO_ERROR).
int GetSocketError(Socket s, int* error);
// Where a non-blocking connect stands, asked without waiting and without touching queued data:
// 1 when the connection is up, 0 while the connect is still going on (or none was started), and
// kSocketError when it failed, LastNetError() then giving the connect's error (kWsaECONNREFUSED,
// kWsaETIMEDOUT, ...). Unlike a probing receive, it tells a failed connect from a pending one.
int SocketConnectStatus(Socket s);

// WSAEventSelect / WSAEnumNetworkEvents. The bit values and error slots are WinSock's.
enum NetEventBit : unsigned {
  kFdRead = 0x01,
  kFdWrite = 0x02,
  kFdOob = 0x04,
  kFdAccept = 0x08,
  kFdConnect = 0x10,
  kFdClose = 0x20,
};
enum NetEventSlot : int {
  kFdReadSlot = 0,
  kFdWriteSlot = 1,
  kFdOobSlot = 2,
  kFdAcceptSlot = 3,
  kFdConnectSlot = 4,
  kFdCloseSlot = 5,
  kFdSlotCount = 10,
};
struct NetworkEvents {
  unsigned events = 0;
  int errors[kFdSlotCount] = {};
};

// Binds the notifications in mask to event (which must be manual-reset) and makes the socket
// non-blocking. The event is set when a notification is pending; WaitForEvents wakes on it.
int EventSelect(Socket s, Event* event, unsigned mask);
// Reports and clears the pending notifications and resets event. A read notification stays
// pending while data is queued; connect and close are each reported once.
int EnumNetworkEvents(Socket s, Event* event, NetworkEvents* out);

}  // namespace plat
