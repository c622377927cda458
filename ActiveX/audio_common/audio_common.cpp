#include "audio_common/audio_common.h"

#include <cstring>

#include "platform/message_box.h"
#include "platform/net.h"

namespace audio {

bool StartWinsock(bool* started) {
  std::uint16_t granted = 0;
  *started = plat::NetStartup(0x0202, &granted) == 0;
  return *started && granted == 0x0202;
}

const char* DeviceMissingText(std::int32_t language) {
  if (language != 0) return "Audio function is not available,\nbecause audio driver is not installed.";
  return "オーディオドライバーがインストールされていないため、\n音声機能は使用できません。";
}

void ShowDeviceMissing(std::int32_t language) {
  plat::ShowMessageBox(kErrorCaption, DeviceMissingText(language));
}

char* EncodeBase64(const char* in, char* out) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* p = reinterpret_cast<const unsigned char*>(in);
  const std::size_t n = std::strlen(in);
  char* o = out;
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    *o++ = kAlphabet[p[i] >> 2];
    *o++ = kAlphabet[((p[i] & 3) << 4) | (p[i + 1] >> 4)];
    *o++ = kAlphabet[((p[i + 1] & 15) << 2) | (p[i + 2] >> 6)];
    *o++ = kAlphabet[p[i + 2] & 63];
  }
  if (n - i == 1) {
    *o++ = kAlphabet[p[i] >> 2];
    *o++ = kAlphabet[(p[i] & 3) << 4];
    *o++ = '=';
    *o++ = '=';
  } else if (n - i == 2) {
    *o++ = kAlphabet[p[i] >> 2];
    *o++ = kAlphabet[((p[i] & 3) << 4) | (p[i + 1] >> 4)];
    *o++ = kAlphabet[(p[i + 1] & 15) << 2];
    *o++ = '=';
  }
  *o = '\0';
  return out;
}

}  // namespace audio
