#include "passthrough/util/Net_SocketErrorText.h"

namespace {

// Kept byte for byte, since whoever reads the log matches on them, oddities included (the blank
// in "WSAEWOULDBLOCK (", the blank before WSAECONNRESET's closing parenthesis).
constexpr Net_SocketErrorText kTexts[] = {
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
};

}  // namespace

const Net_SocketErrorText* Net_FindSocketErrorText(int code) {
  for (const Net_SocketErrorText& t : kTexts) {
    if (t.code == code) return &t;
  }
  return nullptr;
}
