// The camera's answer texts and its command-line options.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devsim/camera.h"
#include "devsim/command_line.h"

namespace devsim_test {
namespace {

using devsim::CameraAnswer;
using devsim::CameraOptions;
using Kind = devsim::CameraAnswer::Kind;

CameraAnswer Reply(std::string bytes, int delay_ms = 0) {
  return CameraAnswer{Kind::kReply, std::move(bytes), delay_ms};
}
CameraAnswer Other(Kind kind) { return CameraAnswer{kind}; }
CameraOptions Camera(const std::function<void(CameraOptions&)>& set) {
  CameraOptions camera;
  set(camera);
  return camera;
}

TEST(DevsimCameraOptions, ReadsTheAnswerTexts) {
  const struct {
    std::string text;
    std::optional<CameraAnswer> answer;
    std::string name;  // what CameraAnswerName gives back
  } rows[] = {
      {"reply", Reply("\x90"), "reply:90"},
      {"reply:41", Reply("\x41"), "reply:41"},
      {"reply:90:41@4000", Reply("\x90\x41", 4000), "reply:90:41@4000"},
      {"reply:9041", Reply("\x90\x41"), "reply:90:41"},
      {"reply:ff:0a", Reply("\xFF\x0A"), "reply:FF:0A"},
      {"reply:00", Reply(std::string(1, '\0')), "reply:00"},
      {"reply@250", Reply("\x90", 250), "reply:90@250"},
      {"reply@0", Reply("\x90"), "reply:90"},
      {"reply:" + std::string(128, '7'), Reply(std::string(64, '\x77')), ""},
      {"silent", Other(Kind::kSilent), "silent"},
      {"close", Other(Kind::kClose), "close"},
      {"close-after-first", Other(Kind::kCloseAfterFirst), "close-after-first"},
      {"reset", Other(Kind::kReset), "reset"},
      {"reply:", std::nullopt, ""},
      {"reply:9", std::nullopt, ""},
      {"reply:9g", std::nullopt, ""},
      {"reply:90:", std::nullopt, ""},
      {"reply::90", std::nullopt, ""},
      {"reply:90 41", std::nullopt, ""},
      {"reply:" + std::string(130, '7'), std::nullopt, ""},
      {"reply@", std::nullopt, ""},
      {"reply@-1", std::nullopt, ""},
      {"reply@1x", std::nullopt, ""},
      {"reply@600001", std::nullopt, ""},
      {"silent:90", std::nullopt, ""},
      {"reset@10", std::nullopt, ""},
      {"close-after", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    std::string error;
    const std::optional<CameraAnswer> got = devsim::ParseCameraAnswer(row.text, CameraAnswer{}, &error);
    EXPECT_EQ(got, row.answer);
    if (!got) {
      EXPECT_NE(error.find("'" + row.text + "'"), std::string::npos) << error;
      continue;
    }
    if (!row.name.empty()) {
      EXPECT_EQ(devsim::CameraAnswerName(*got), row.name);
    }
    EXPECT_EQ(devsim::ParseCameraAnswer(devsim::CameraAnswerName(*got), CameraAnswer{}, &error), got);
  }
}

TEST(DevsimCameraOptions, AReplyTakesTheDefaultsItDoesNotSetItself) {
  const CameraAnswer defaults = Reply("\x12\x34", 500);
  const struct {
    const char* text;
    CameraAnswer answer;
  } rows[] = {
      {"reply", Reply("\x12\x34", 500)},
      {"reply:56", Reply("\x56", 500)},
      {"reply@0", Reply("\x12\x34", 0)},
      {"silent", Other(Kind::kSilent)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(devsim::ParseCameraAnswer(row.text, defaults, nullptr), row.answer);
  }
  EXPECT_EQ(devsim::HexText(std::string("\x81\x01\x04\x00\x02\xFF", 6)), "81 01 04 00 02 FF");
  EXPECT_EQ(devsim::HexText(""), "");
}

TEST(DevsimCameraOptions, ReadsTheCameraOptionsOfTheCommandLine) {
  const CameraAnswer reply9041 = Reply("\x90\x41", 250);
  const struct {
    std::vector<std::string> args;
    std::optional<CameraOptions> camera;
    std::string error;  // part of the error, if the arguments are refused
  } rows[] = {
      {{}, std::nullopt, ""},
      {{"--fault", "close"}, std::nullopt, ""},
      {{"--camera"}, CameraOptions{}, ""},
      {{"--camera", "--camera-port", "5000", "--camera-refuse-ms", "1500"},
       Camera([](CameraOptions& c) {
         c.port = 5000;
         c.refuse_ms = 1500;
       }),
       ""},
      {{"--camera", "--camera-plan", "silent,reply:41@4000", "--camera-plan", "reset"},
       Camera([](CameraOptions& c) { c.plan = {Other(Kind::kSilent), Reply("\x41", 4000), Other(Kind::kReset)}; }),
       ""},
      // The reply defaults count wherever they stand.
      {{"--camera-plan", "reply,reply:42", "--camera-reply", "90:41", "--camera-delay", "250", "--camera"},
       Camera([&](CameraOptions& c) {
         c.plan = {reply9041, Reply("\x42", 250)};
         c.default_answer = reply9041;
       }),
       ""},
      {{"--camera", "--camera-default", "close-after-first"},
       Camera([](CameraOptions& c) { c.default_answer = Other(Kind::kCloseAfterFirst); }), ""},
      {{"--camera-port", "5000"}, std::nullopt, "--camera-* options need --camera"},
      {{"--camera", "--camera-plan", "bogus"}, std::nullopt, "'bogus'"},
      {{"--camera", "--camera-plan", "silent,"}, std::nullopt, "''"},
      {{"--camera", "--camera-default", "reply@x"}, std::nullopt, "'reply@x'"},
      {{"--camera", "--camera-reply", "9"}, std::nullopt, "--camera-reply: bad value '9'"},
      {{"--camera", "--camera-delay", "-1"}, std::nullopt, "--camera-delay: bad value"},
      {{"--camera", "--camera-port", "70000"}, std::nullopt, "--camera-port: bad value"},
      {{"--camera", "--camera-refuse-ms"}, std::nullopt, "--camera-refuse-ms needs a value"},
      {{"--camera", "--camera-frob", "1"}, std::nullopt, "unknown option '--camera-frob'"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = row.args;
    args.insert(args.begin(), "devsim");
    std::string trace;
    for (const std::string& a : args) trace += a + " ";
    SCOPED_TRACE(trace);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    devsim::CommandLine command;
    std::string error;
    const bool parsed = devsim::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &command, &error);
    EXPECT_EQ(parsed, row.error.empty()) << error;
    if (!parsed) EXPECT_NE(error.find(row.error), std::string::npos) << error;
    else EXPECT_EQ(command.device.camera, row.camera);
  }
}

}  // namespace
}  // namespace devsim_test
