// CCamCtl: the camera command control, portable part. It sends a command to the camera over one
// TCP connection it keeps open between commands and compares the first byte of the reply with
// the byte the page expects.
//
// Every member runs on the container's thread; SendCmd blocks that thread for at most
// kConnectLimitMs plus kReplyWaitMs. The control owns its connection (opened by the first
// SendCmd, reused until the camera closes or resets it, closed at destruction) and one start-up
// of the network library, released at destruction. It fires no events and draws nothing.
#pragma once

#include <cstdint>
#include <string>

#include "automation/members.h"
#include "platform/net.h"

namespace orucam {

using automation::HResult;

// A connect that has not completed within this fails, rather than waiting for the operating
// system's own limit (about 21 s on Windows, minutes on Linux) with the page frozen.
inline constexpr std::uint32_t kConnectLimitMs = 5000;
// How long a command waits for its reply.
inline constexpr std::uint32_t kReplyWaitMs = 3000;
// The most of a reply that is read; only its first byte counts.
inline constexpr int kMaxReplyBytes = 500;

inline constexpr std::int32_t kDefaultPort = 49153;
inline constexpr const char* kDefaultIP = "192.168.0.2";
inline constexpr automation::Control::Extent kDefaultExtent = {5080, 5080};  // HIMETRIC

// SendCmd's ret.
enum SendCmdResult : std::uint8_t {
  kAckMatched = 0,    // the reply's first byte is ack (no reply at all counts as 0x00)
  kAckDiffers = 1,
  kNotConnected = 2,  // IP could not be looked up, or the connect failed or timed out
};

// What SendCmd did, for Summary and tests.
struct CamStats {
  std::uint32_t connects = 0;          // connections opened
  std::uint32_t connect_failures = 0;  // look-up, connect or time-out failures
  std::uint32_t connect_timeouts = 0;  // of those, connects that hit kConnectLimitMs
  std::uint32_t lookups = 0;           // IP texts looked up by name
  std::uint32_t commands = 0;          // commands sent
  std::uint32_t replies = 0;           // receives that got at least one byte
  std::uint32_t reply_timeouts = 0;    // receives that waited kReplyWaitMs for nothing
  std::uint32_t drops = 0;             // connections given up after the camera closed or reset
  std::uint64_t discarded_bytes = 0;   // late input thrown away before a command
};

class CCamCtl : public automation::Control {
 public:
  CCamCtl();
  ~CCamCtl() override;
  CCamCtl(const CCamCtl&) = delete;
  CCamCtl& operator=(const CCamCtl&) = delete;

  // Properties; every call returns S_OK. Only the low 16 bits of Port are used.
  HResult get_Port(std::int32_t* out);
  HResult put_Port(std::int32_t port);
  HResult get_IP(std::string* out);
  HResult put_IP(const std::string& ip);
  HResult get_MyIP(std::uint32_t* out);
  HResult put_MyIP(std::uint32_t address);

  // Sends cmd (see CommandBytes.h) and sets *ret to a SendCmdResult; returns S_OK.
  HResult SendCmd(const std::string& cmd, std::uint8_t ack, std::uint8_t* ret);

  std::span<const automation::Member> Members() const override;
  std::string Summary() const override;

  const CamStats& Stats() const { return m_stats; }
  bool Connected() const { return m_socket != plat::kInvalidSocket; }

 private:
  bool OpenConnection();
  // Reads away what is already waiting; false when the camera closed or reset the connection.
  bool DiscardWaitingInput();
  // One receive; *first gets the reply's first byte (0 if none). False when the connection is
  // gone (closed, reset or failed) and must be opened afresh.
  bool ReceiveReply(std::uint8_t* first);
  void CloseConnection();

  std::int32_t m_port = kDefaultPort;
  std::string m_ip = kDefaultIP;
  plat::Socket m_socket = plat::kInvalidSocket;
  std::uint32_t m_myIp = 0;  // the PC's IPv4 address, bytes in address order
  bool m_netStarted = false;
  CamStats m_stats;
};

}  // namespace orucam
