#include "ZubAudioR/ReceiveAudio.h"

#include "audio_common/audio_common.h"

namespace zubr {

using automation::Access;
using automation::Kind;
using automation::Member;
using automation::Param;
using automation::Type;
using automation::Value;

namespace {

constexpr Param kSetPasswordParams[] = {{"Password", Type::kText}, {"flag", Type::kUI1}};

enum Dispid : std::int32_t {
  kPlay = 1, kIP = 2, kPort = 3, kVolume = 4, kDelayTime = 5, kStreamType = 6, kStop = 7,
  kPassword = 8, kReload = 9, kPeakValue = 10, kLanguage = 11, kSetPassword = 12,
};

constexpr Member kMembers[] = {
    {kPlay, "Play", Kind::kMethod, Type::kVoid, false, false, {}, "メソッドPlay", 0},
    {kIP, "IP", Kind::kProperty, Type::kText, true, true, {}, "プロパティIP", 1},
    {kPort, "Port", Kind::kProperty, Type::kI4, true, true, {}, "プロパティPort", 2},
    {kVolume, "Volume", Kind::kProperty, Type::kI4, true, true, {}, "プロパティVolume", 3},
    {kDelayTime, "DelayTime", Kind::kProperty, Type::kI4, true, true, {}, "プロパティDelayTime", 4},
    {kStreamType, "StreamType", Kind::kProperty, Type::kI4, true, true, {}, "プロパティStreamType", 5},
    {kStop, "Stop", Kind::kMethod, Type::kVoid, false, false, {}, "メソッドStop", 0},
    {kPassword, "Password", Kind::kProperty, Type::kText, false, true, {}, "プロパティPassword", 0},
    {kReload, "Reload", Kind::kMethod, Type::kVoid, false, false, {}, "メソッドReload", 0},
    {kPeakValue, "PeakValue", Kind::kProperty, Type::kUI1, true, true, {}, nullptr, 0},
    {kLanguage, "Language", Kind::kProperty, Type::kI4, true, true, {}, nullptr, 0},
    {kSetPassword, "SetPassword", Kind::kMethod, Type::kVoid, false, false, kSetPasswordParams, nullptr, 0},
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

HResult CReceiveAudio::Invoke(std::int32_t dispid, Access access, const Value* args, Value* result) {
  const bool get = access == Access::kGet;
  const bool put = access == Access::kPut;
  const bool call = access == Access::kCall;
  // The getter runs first, then its value is handed back.
  std::string s;
  std::int32_t n = 0;
  auto text = [&](HResult (CReceiveAudio::*getter)(std::string*)) {
    const HResult hr = (this->*getter)(&s);
    *result = Value::Text(s);
    return hr;
  };
  auto i4 = [&](HResult (CReceiveAudio::*getter)(std::int32_t*)) {
    const HResult hr = (this->*getter)(&n);
    *result = Value::Int(n);
    return hr;
  };
  std::uint8_t b = 0;
  switch (dispid) {
    case kPlay: if (call) return Play(); break;
    case kStop: if (call) return Stop(); break;
    case kReload: if (call) return Reload(); break;
    case kSetPassword:
      if (call) return SetPassword(args[0].text, static_cast<std::uint8_t>(args[1].number));
      break;
    case kIP:
      if (get) return text(&CReceiveAudio::get_IP);
      if (put) return put_IP(args[0].text);
      break;
    case kPort:
      if (get) return i4(&CReceiveAudio::get_Port);
      if (put) return put_Port(static_cast<std::int32_t>(args[0].number));
      break;
    case kVolume:
      if (get) return i4(&CReceiveAudio::get_Volume);
      if (put) return put_Volume(static_cast<std::int32_t>(args[0].number));
      break;
    case kDelayTime:
      if (get) return i4(&CReceiveAudio::get_DelayTime);
      if (put) return put_DelayTime(static_cast<std::int32_t>(args[0].number));
      break;
    case kStreamType:
      if (get) return i4(&CReceiveAudio::get_StreamType);
      if (put) return put_StreamType(static_cast<std::int32_t>(args[0].number));
      break;
    case kPassword:
      if (put) return put_Password(args[0].text);
      break;
    case kPeakValue:
      if (get) {
        const HResult hr = get_PeakValue(&b);
        *result = Value::Byte(b);
        return hr;
      }
      if (put) return put_PeakValue(static_cast<std::uint8_t>(args[0].number));
      break;
    case kLanguage:
      if (get) return i4(&CReceiveAudio::get_Language);
      if (put) return put_Language(static_cast<std::int32_t>(args[0].number));
      break;
    default:
      break;
  }
  return automation::kDispE_MemberNotFound;
}

}  // namespace zubr
