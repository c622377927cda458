#include "ZubAudioR/ReceiveAudio.h"

#include <cstdio>

#include "audio_common/audio_common.h"

namespace zubr {

using automation::Member;
using automation::Param;
using automation::Type;

namespace {

constexpr Param kSetPasswordParams[] = {{"Password", Type::kText}, {"flag", Type::kUI1}};

using C = CReceiveAudio;
using automation::Method;
using automation::Property;

constexpr Member kMembers[] = {
    Method<&C::Play>(1, "Play", {}, "メソッドPlay"),
    Property<&C::get_IP, &C::put_IP>(2, "IP", "プロパティIP", 1),
    Property<&C::get_Port, &C::put_Port>(3, "Port", "プロパティPort", 2),
    Property<&C::get_Volume, &C::put_Volume>(4, "Volume", "プロパティVolume", 3),
    Property<&C::get_DelayTime, &C::put_DelayTime>(5, "DelayTime", "プロパティDelayTime", 4),
    Property<&C::get_StreamType, &C::put_StreamType>(6, "StreamType", "プロパティStreamType", 5),
    Method<&C::Stop>(7, "Stop", {}, "メソッドStop"),
    Property<nullptr, &C::put_Password>(8, "Password", "プロパティPassword"),
    Method<&C::Reload>(9, "Reload", {}, "メソッドReload"),
    Property<&C::get_PeakValue, &C::put_PeakValue>(10, "PeakValue"),
    Property<&C::get_Language, &C::put_Language>(11, "Language"),
    Method<&C::SetPassword>(12, "SetPassword", kSetPasswordParams),
};

}  // namespace

CReceiveAudio::CReceiveAudio() = default;

CReceiveAudio::~CReceiveAudio() {
  // A container that releases the control without deactivating it still ends the worker.
  if (m_window != nullptr || (m_worker && m_worker->Started())) OnDestroyWindow();
}

HResult CReceiveAudio::get_IP(std::string* out) {
  plat::LockGuard hold(m_settingsLock);
  *out = m_ip;
  return automation::kS_OK;
}

HResult CReceiveAudio::put_IP(const std::string& ip) {
  plat::LockGuard hold(m_settingsLock);
  m_ip = ip;
  return automation::kS_OK;
}

HResult CReceiveAudio::get_Port(std::int32_t* out) {
  *out = m_port.load();
  return automation::kS_OK;
}

HResult CReceiveAudio::put_Port(std::int32_t port) {
  plat::LockGuard hold(m_settingsLock);
  if (port < 65536) m_port = port;
  return automation::kS_OK;
}

HResult CReceiveAudio::get_Volume(std::int32_t* out) {
  *out = m_volume.load();
  return automation::kS_OK;
}

HResult CReceiveAudio::put_Volume(std::int32_t volume) {
  m_volume = (volume >= 0 && volume <= 100) ? volume : 0;
  return automation::kS_OK;
}

HResult CReceiveAudio::get_DelayTime(std::int32_t* out) {
  *out = m_delayTime.load();
  return automation::kS_OK;
}

HResult CReceiveAudio::put_DelayTime(std::int32_t ms) {
  m_delayTime = ms;
  return automation::kS_OK;
}

HResult CReceiveAudio::get_StreamType(std::int32_t* out) {
  *out = m_streamType.load();
  return automation::kS_OK;
}

HResult CReceiveAudio::put_StreamType(std::int32_t type) {
  plat::LockGuard hold(m_settingsLock);
  if (type == 0 || type == 1) m_streamType = type;
  return automation::kS_OK;
}

HResult CReceiveAudio::put_Password(const std::string&) { return automation::kS_OK; }

HResult CReceiveAudio::get_PeakValue(std::uint8_t* out) {
  *out = m_peakValue.load();
  return automation::kS_OK;
}

HResult CReceiveAudio::put_PeakValue(std::uint8_t value) {
  m_peakValue = value;
  return automation::kS_OK;
}

HResult CReceiveAudio::get_Language(std::int32_t* out) {
  *out = m_language.load();
  return automation::kS_OK;
}

HResult CReceiveAudio::put_Language(std::int32_t language) {
  m_language = language;
  return automation::kS_OK;
}

HResult CReceiveAudio::SetPassword(const std::string& password, std::uint8_t flag) {
  m_credentials = password;
  m_credentialsEncoded = flag != 0;
  return automation::kS_OK;
}

CReceiveAudio::Settings CReceiveAudio::TakeSettings() {
  plat::LockGuard hold(m_settingsLock);
  return Settings{m_ip, m_port.load(), m_streamType.load()};
}

HResult CReceiveAudio::Play() {
  if (ReceiveState.load() == kIdle) {
    if (!InitSound()) {
      audio::ShowDeviceMissing(m_language.load());
      return automation::kS_FALSE;
    }
    // The quit event exists before the worker does, so a Reload right after Play cannot miss it.
    QuitEvent = std::make_unique<plat::Event>(true, false);
    m_worker = std::make_unique<plat::Thread>();
    if (!QuitEvent->Valid() || !m_worker->Start(&CReceiveAudio::ReceiveWorker, this)) {
      m_worker.reset();
      QuitEvent.reset();
      ReleaseSound();
      return automation::kS_FALSE;
    }
  }
  ReceiveState = kPlaying;
  return automation::kS_OK;
}

HResult CReceiveAudio::Stop() {
  if (ReceiveState.load() != kIdle) ReceiveState = kStopped;
  return automation::kS_OK;
}

HResult CReceiveAudio::Reload() {
  const std::int32_t state = ReceiveState.load();
  if (state == kIdle || state == kQuitting) return automation::kS_OK;
  ReceiveState = kReloadRequested;
  if (QuitEvent) QuitEvent->Set();
  ReceiveState = kQuitting;
  if (m_worker) m_worker->Join(plat::kInfinite);
  m_worker.reset();
  QuitEvent.reset();
  ReceiveState = kIdle;
  return automation::kS_OK;
}

void CReceiveAudio::OnCreateWindow(plat::WindowHandle window) { m_window = window; }

void CReceiveAudio::OnDestroyWindow() {
  if (QuitEvent) QuitEvent->Set();
  ReceiveState = kQuitting;
  if (m_worker) m_worker->Join(plat::kInfinite);
  m_worker.reset();
  QuitEvent.reset();
  // With the worker gone nothing is quitting any more: a control activated again plays afresh.
  ReceiveState = kIdle;
  m_window = nullptr;
}

std::span<const Member> CReceiveAudio::Members() const { return kMembers; }

std::string CReceiveAudio::Summary() const {
  const ReceiveStats& s = m_stats;
  char line[512];
  std::snprintf(line, sizeof line,
                "workers %u, connections %u (failed %u), requests %u, reads %u (%llu bytes, %u errors), "
                "peer closes %u, stalls %u, playback resets %u, multicast joins %u, "
                "packets played %u (discarded %u), delay %u ms",
                s.worker_starts.load(), s.connects.load(), s.connect_failures.load() + s.tcp_open_failures.load(),
                s.requests_sent.load(), s.reads.load(), static_cast<unsigned long long>(s.bytes_read.load()),
                s.read_errors.load(), s.peer_closes.load(), s.stalls.load(), s.playback_resets.load(),
                s.multicast_joins.load(), s.packets_played.load(), s.packets_discarded.load(), s.delay_ms.load());
  return line;
}

}  // namespace zubr
