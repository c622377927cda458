#include "passthrough/util/Net_TcpClient.h"

#include "passthrough/util/Net_SocketErrorText.h"
#include "platform/thread.h"

namespace {

constexpr std::uint16_t kStackVersion = 0x0101;
constexpr int kWhereStartup = 1;
constexpr int kWhereConnect = 2;
constexpr int kWhereClose = 3;
constexpr int kWhereSend = 4;
constexpr int kWhereReceive = 8;
constexpr std::uint32_t kSendRetryMs = 1;

bool EndsTheConnection(int code) {
  return code == plat::kWsaECONNRESET || code == plat::kWsaECONNABORTED ||
         code == plat::kWsaENETRESET || code == plat::kWsaESHUTDOWN;
}

}  // namespace

Net_TcpClient::Net_TcpClient() { startup(); }

Net_TcpClient::~Net_TcpClient() {
  if (_connected) plat::SocketClose(_socket);
  Net_Release(_address);
  if (_started) {
    plat::NetCleanup();
    _started = 0;
  }
}

int Net_TcpClient::startup() {
  if (_started) return 1;
  _log.setName("Net_TcpClient", "", true);
  _log.setLevel(LOG_ALL);
  const int code = plat::NetStartup(kStackVersion, &_stackVersion);
  if (code != 0) {
    reportSocketError(kWhereStartup, code);
    return 0;
  }
  const int version = _stackVersion;
  _log.trace(kWhereStartup, "WinSock wVersion=%x  wHighVersion=%x", &version, nullptr, &version);
  _started = 1;
  return 1;
}

void Net_TcpClient::dropAttempt() {
  plat::SocketClose(_socket);
  Net_Release(_address);
  _address = nullptr;
}

int Net_TcpClient::connect(Net_PoolingAddress* address, int timeoutMs) {
  if (!startup() || _connected || address == nullptr) {
    Net_Release(address);
    return 0;
  }
  const int polls = timeoutMs / kPollMs;
  _pollCount = polls;
  _peerClosed = 0;

  _socket = plat::SocketCreate(plat::Family::kInet, plat::SockType::kStream, 0);
  if (_socket == plat::kInvalidSocket) {
    reportSocketError(kWhereConnect, plat::LastNetError());
    Net_Release(address);
    return 0;
  }
  // Non-blocking for the socket's whole life: no later send or receive waits in the stack.
  if (plat::SocketSetNonBlocking(_socket, true) != 0) {
    reportSocketError(kWhereConnect, plat::LastNetError());
    plat::SocketClose(_socket);
    Net_Release(address);
    return 0;
  }
  _address = address;
  if (plat::SocketConnect(_socket, address->platformAddress()) == 0) {
    _log.trace(kWhereConnect, "connect OK");
    _connected = 1;
    return 1;
  }
  const int code = plat::LastNetError();
  if (code != plat::kWsaEWOULDBLOCK) {
    reportSocketError(kWhereConnect, code);
    dropAttempt();
    return 0;
  }
  _log.trace(kWhereConnect, "connect() WSAEWOULDBLOCK");
  if (polls <= 0) {
    _connected = 1;
    return 1;
  }
  for (int i = 1; i <= polls; ++i) {
    plat::SleepMs(kPollMs);
    const Probe probe = probeConnect();
    if (probe == Probe::kUp) {
      _pollCount = i;
      _connected = 1;
      return 1;
    }
    if (probe == Probe::kFailed || i == polls) {
      _log.error(kWhereConnect, probe == Probe::kFailed ? "connect error" : "connect timeout");
      dropAttempt();
      _pollCount = polls;
      return 0;
    }
  }
  return 0;  // not reached: the last poll decides
}

// Asks where the connect stands, then peeks, so that a byte the device sends at once stays
// queued for the first receiveByte().
Net_TcpClient::Probe Net_TcpClient::probeConnect() {
  const int status = plat::SocketConnectStatus(_socket);
  if (status == 0) return Probe::kPending;
  if (status < 0) return Probe::kFailed;
  char scratch = 0;
  const int n = plat::SocketRecv(_socket, &scratch, 1, /*peek=*/true);
  if (n >= 0) {
    if (n == 0) _peerClosed = 1;
    return Probe::kUp;
  }
  const int code = plat::LastNetError();
  if (code == plat::kWsaEWOULDBLOCK) return Probe::kUp;
  if (code == plat::kWsaENOTCONN) return Probe::kPending;
  return Probe::kFailed;
}

int Net_TcpClient::send(Net_PoolingBuffer* buffer) {
  if (!_connected || buffer == nullptr) {
    Net_Release(buffer);
    return -1;
  }
  const char* data = buffer->data();
  const int length = buffer->length();
  int sent = 0;
  int code = 0;
  const int start = Util_GetTick();
  // The socket is non-blocking: a full send queue takes part of the buffer, and the rest is
  // offered again until the bound rather than dropped.
  while (sent < length) {
    const int n = plat::SocketSend(_socket, data + sent, length - sent);
    if (n > 0) {
      sent += n;
      continue;
    }
    code = n == 0 ? plat::kWsaEWOULDBLOCK : plat::LastNetError();
    if (code != plat::kWsaEWOULDBLOCK || Util_TickDiff(Util_GetTick(), start) >= kSendCompletionMs) {
      break;
    }
    plat::SleepMs(kSendRetryMs);
  }
  Net_Release(buffer);
  if (sent < length) {
    if (EndsTheConnection(code)) _peerClosed = 1;
    reportSocketError(kWhereSend, code);
    return -1;
  }
  return sent;
}

int Net_TcpClient::receiveByte(char* out) {
  if (!_connected) return -1;
  if (out == nullptr) return -plat::kWsaEFAULT;
  const int n = plat::SocketRecv(_socket, out, 1);
  if (n >= 0) {
    if (n == 0) _peerClosed = 1;
    return n;
  }
  const int code = plat::LastNetError();
  if (code == plat::kWsaEWOULDBLOCK || code == plat::kWsaENOTCONN) return 0;
  if (EndsTheConnection(code)) _peerClosed = 1;
  reportSocketError(kWhereReceive, code);
  return -code;
}

int Net_TcpClient::close() {
  if (!_connected) return 1;
  if (_pollCount > 0) plat::SleepMs(static_cast<std::uint32_t>(_pollCount) * kCloseWaitPerPollMs);
  if (plat::SocketShutdown(_socket, plat::Shutdown::kSend) != 0) {
    reportSocketError(kWhereClose, plat::LastNetError());
  }
  if (plat::SocketShutdown(_socket, plat::Shutdown::kReceive) != 0) {
    reportSocketError(kWhereClose, plat::LastNetError());
  }
  if (plat::SocketClose(_socket) != 0) {
    const int code = plat::LastNetError();
    reportSocketError(kWhereClose, code);
    _log.error(kWhereClose, "closesocket error=", &code);
  }
  Net_Release(_address);
  _address = nullptr;
  _connected = 0;
  return 1;
}

void Net_TcpClient::reportSocketError(int where, int code) {
  if (const Net_SocketErrorText* text = Net_FindSocketErrorText(code)) {
    _log.error(where, text->name, &code, text->description);
  } else {
    _log.error(where, "errorCode=", &code);
  }
}
