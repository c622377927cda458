// Message boxes go to the handler when one is set, from any thread. The default (a real box on
// Windows, stderr on posix) is not exercised: it would wait for a person on a desktop.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/message_box.h"
#include "platform/thread.h"

namespace plat_test {
namespace {

std::atomic<int> g_shown{0};
std::string g_caption, g_text;  // written by the handler, read after a join

void Record(const char* caption, const char* text) {
  g_caption = caption;
  g_text = text;
  ++g_shown;
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_shown = 0;
    plat::SetMessageBoxHandler(Record);
  }
  void TearDown() override { plat::SetMessageBoxHandler(nullptr); }
};

TEST_F(MessageBoxTest, HandlerGetsCaptionAndUtf8Text) {
  const char* text = "\xE9\x9F\xB3\xE5\xA3\xB0\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC";  // 音声エラー
  plat::ShowMessageBox("ZubAudio", text);
  EXPECT_EQ(g_shown.load(), 1);
  EXPECT_EQ(g_caption, "ZubAudio");
  EXPECT_EQ(g_text, text);
}

unsigned ShowFromThread(void*) {
  plat::ShowMessageBox("caption", "from a thread");
  return 0;
}

TEST_F(MessageBoxTest, HandlerMayBeCalledFromAnyThread) {
  plat::Thread t;
  ASSERT_TRUE(t.Start(ShowFromThread, nullptr));
  ASSERT_TRUE(t.Join(5000));
  EXPECT_EQ(g_shown.load(), 1);
  EXPECT_EQ(g_text, "from a thread");
}

}  // namespace
}  // namespace plat_test
