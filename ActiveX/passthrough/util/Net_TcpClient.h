// Net_TcpClient: at most one outgoing IPv4 stream connection, the passthrough control's data
// connection. connect() polls a non-blocking connect every 100 ms up to its time limit, send()
// hands over one buffer, receiveByte() reads one byte and never waits, close() waits
// _pollCount x 110 ms and shuts both ways. Every failed socket operation writes an ERROR record
// (location 1 start-up, 2 connect, 3 close, 4 send, 8 receive) with the WinSock error's texts.
//
// Ownership: the address entry given to connect() and the buffer given to send() belong to the
// client from that call on, whatever the result. No lock: the owner serialises every call (the
// control holds its keyed mutex around each), whichever thread makes it.
#pragma once

#include <cstdint>

#include "passthrough/util/Net_PoolingAddress.h"
#include "passthrough/util/Net_PoolingBuffer.h"
#include "passthrough/util/Util_Log.h"
#include "platform/net.h"

class Net_TcpClient {
 public:
  static constexpr int kPollMs = 100;
  static constexpr int kCloseWaitPerPollMs = 110;
  // A send the stack took only in part is finished within this, or fails.
  static constexpr int kSendCompletionMs = 1000;

  Net_TcpClient();  // starts the network stack (startup())
  // Stops the stack if this object started it. An open connection's socket is closed without
  // the wait, the shutdown or any record; the owner is expected to have called close().
  virtual ~Net_TcpClient();
  Net_TcpClient(const Net_TcpClient&) = delete;
  Net_TcpClient& operator=(const Net_TcpClient&) = delete;

  // 1 when the stack runs (now or before), 0 when its start-up failed (retried by connect).
  int startup();
  // 1 connected, 0 failed (not started, already connected, no entry, socket failure, refused,
  // time limit passed). A limit under 100 ms polls nothing: a pending connect counts as up.
  int connect(Net_PoolingAddress* address, int timeoutMs);
  // The number of bytes sent (all of the buffer's length), or -1: not connected, no buffer, or
  // the stack failed or would not take the rest within kSendCompletionMs.
  int send(Net_PoolingBuffer* buffer);
  // 1 a byte was read into *out; 0 nothing to read, or the peer has closed (see peerClosed());
  // -1 not connected; otherwise the WinSock error negated.
  int receiveByte(char* out);
  // Always 1.
  int close();
  // One ERROR record: location where, the code's name text, the code, its description text;
  // "errorCode=" and the code for a code outside the table.
  void reportSocketError(int where, int code);

  // Whether the peer has closed or reset the current connection, as far as connect's probe and
  // receiveByte() have seen. receiveByte() gives 0 for a closed peer as for an empty queue; this
  // tells the two apart. Cleared by the next connect().
  bool peerClosed() const { return _peerClosed != 0; }
  int pollCount() const { return _pollCount; }
  bool connected() const { return _connected != 0; }

 private:
  enum class Probe { kUp, kPending, kFailed };
  Probe probeConnect();
  void dropAttempt();

  Util_Log _log;
  int _started = 0;
  std::uint16_t _stackVersion = 0;
  int _connected = 0;
  plat::Socket _socket = plat::kInvalidSocket;
  Net_PoolingAddress* _address = nullptr;
  int _pollCount = 0;
  int _peerClosed = 0;
};
