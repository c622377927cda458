// Property defaults and put rules, the methods on an idle control, and the device-missing message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZubAudioR/ReceiveAudio.h"
#include "audio_common/audio_common.h"
#include "platform/message_box.h"
#include "platform/virtual_sound.h"

namespace {

using zubr::CReceiveAudio;

std::vector<std::string> g_boxes;
void RecordBox(const char* caption, const char* text) { g_boxes.push_back(std::string(caption) + ": " + text); }

class BoxRecorder {
 public:
  BoxRecorder() {
    g_boxes.clear();
    plat::SetMessageBoxHandler(&RecordBox);
  }
  ~BoxRecorder() { plat::SetMessageBoxHandler(nullptr); }
};

TEST(ReceiveAudioProperties, NewControlHasDefaults) {
  CReceiveAudio c;
  std::string ip;
  std::int32_t port = 0, volume = 0, delay = 0, type = -1, language = -1;
  std::uint8_t peak = 0;
  c.get_IP(&ip);
  c.get_Port(&port);
  c.get_Volume(&volume);
  c.get_DelayTime(&delay);
  c.get_StreamType(&type);
  c.get_PeakValue(&peak);
  c.get_Language(&language);
  EXPECT_EQ(ip, "192.168.0.2");
  EXPECT_EQ(port, 80);
  EXPECT_EQ(volume, 100);
  EXPECT_EQ(delay, 300);
  EXPECT_EQ(type, 0);
  EXPECT_EQ(peak, 255);
  EXPECT_EQ(language, 0);
  EXPECT_EQ(c.State(), zubr::kIdle);
}

struct PutCase {
  const char* property;
  std::int32_t put;
  std::int32_t expect;
};

TEST(ReceiveAudioProperties, PutRules) {
  const PutCase cases[] = {
      {"Port", 65536, 80},       {"Port", 65535, 65535},   {"Port", -1, -1},
      {"Port", INT32_MIN, INT32_MIN}, {"Port", INT32_MAX, 80},
      {"Volume", 101, 0},        {"Volume", -5, 0},        {"Volume", 100, 100},
      {"Volume", 0, 0},          {"Volume", 57, 57},
      {"DelayTime", -1, -1},     {"DelayTime", 5000, 5000},
      {"StreamType", 1, 1},      {"StreamType", 2, 0},     {"StreamType", -1, 0},
      {"Language", 2, 2},        {"Language", -1, -1},
  };
  for (const PutCase& row : cases) {
    SCOPED_TRACE(std::string(row.property) + " put " + std::to_string(row.put));
    CReceiveAudio c;
    const automation::Member* m = automation::FindMember(c.Members(), row.property);
    ASSERT_NE(m, nullptr);
    const automation::Value v = automation::Value::Int(row.put);
    EXPECT_EQ(c.Invoke(m->dispid, automation::Access::kPut, &v, nullptr), automation::kS_OK);
    automation::Value got;
    ASSERT_EQ(c.Invoke(m->dispid, automation::Access::kGet, nullptr, &got), automation::kS_OK);
    EXPECT_EQ(got.number, row.expect);
  }
}

TEST(ReceiveAudioProperties, TextsAndCredentials) {
  CReceiveAudio c;
  std::string ip;
  c.put_IP("");
  c.get_IP(&ip);
  EXPECT_EQ(ip, "");
  const std::string huge(10000, 'a');
  c.put_IP(huge);
  c.get_IP(&ip);
  EXPECT_EQ(ip, huge);
  EXPECT_EQ(c.put_Password("whatever"), automation::kS_OK);
  EXPECT_EQ(c.SetPassword("user:pw", 2), automation::kS_OK);
  EXPECT_EQ(c.Credentials(), "user:pw");
  EXPECT_TRUE(c.CredentialsEncoded());
  c.SetPassword("other", 0);
  EXPECT_EQ(c.Credentials(), "other");
  EXPECT_FALSE(c.CredentialsEncoded());
  std::uint8_t peak = 0;
  c.put_PeakValue(7);
  c.get_PeakValue(&peak);
  EXPECT_EQ(peak, 7);
}

TEST(ReceiveAudioMethods, IdleStopAndReloadDoNothing) {
  CReceiveAudio c;
  EXPECT_EQ(c.Stop(), automation::kS_OK);
  EXPECT_EQ(c.State(), zubr::kIdle);
  EXPECT_EQ(c.Reload(), automation::kS_OK);
  EXPECT_EQ(c.State(), zubr::kIdle);
  EXPECT_EQ(c.Stats().worker_starts, 0u);
}

TEST(ReceiveAudioMethods, PlayWithoutWindowOrDeviceShowsMessageInLanguage) {
  struct Case {
    bool window;
    bool device;
    std::int32_t language;
    std::string text;
  };
  const std::string english = "Error: Audio function is not available,\nbecause audio driver is not installed.";
  const std::string japanese = std::string("Error: ") + audio::DeviceMissingText(0);
  const Case cases[] = {
      {false, true, 0, japanese}, {false, true, 1, english}, {false, true, -1, english},
      {true, false, 0, japanese}, {true, false, 2, english},
  };
  int window_token = 0;
  for (const Case& row : cases) {
    SCOPED_TRACE(std::to_string(row.window) + std::to_string(row.device) + std::to_string(row.language));
    BoxRecorder boxes;
    plat::VirtualSoundConfig config;
    config.no_device = !row.device;
    plat::ConfigureVirtualSound(config);
    CReceiveAudio c;
    c.put_Language(row.language);
    if (row.window) c.OnCreateWindow(&window_token);
    EXPECT_EQ(c.Play(), automation::kS_FALSE);
    EXPECT_EQ(c.State(), zubr::kIdle);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], row.text);
    EXPECT_EQ(c.Stats().worker_starts, 0u);
    plat::ConfigureVirtualSound({});
  }
}

TEST(AudioCommon, Base64) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"},
      {"user:password", "dXNlcjpwYXNzd29yZA=="}, {"\xff\xfe\xfd", "//79"},
  };
  for (const auto& [in, want] : cases) {
    SCOPED_TRACE(in);
    std::string out(audio::Base64Size(std::string(in).size()), '?');
    EXPECT_EQ(std::string(audio::EncodeBase64(in, out.data())), want);
  }
  // No line breaks, however long.
  const std::string long_in(300, 'x');
  std::string out(audio::Base64Size(long_in.size()), '?');
  EXPECT_EQ(std::string(audio::EncodeBase64(long_in.c_str(), out.data())).find('\n'), std::string::npos);
}

TEST(AudioCommon, StartWinsockGrantsTwoTwo) {
  bool started = false;
  EXPECT_TRUE(audio::StartWinsock(&started));
  EXPECT_TRUE(started);
  plat::NetCleanup();
}

}  // namespace
