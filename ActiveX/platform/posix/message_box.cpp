#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace plat {

namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
}

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler.store(handler); }

void ShowMessageBox(const char* caption_utf8, const char* text_utf8) {
  const char* caption = caption_utf8 ? caption_utf8 : "";
  const char* text = text_utf8 ? text_utf8 : "";
  if (MessageBoxHandler handler = g_handler.load()) {
    handler(caption, text);
    return;
  }
  // No desktop: the box is "shown" on stderr and counts as dismissed at once.
  std::fprintf(stderr, "msgbox %s: %s\n", caption, text);
  std::fflush(stderr);
}

}  // namespace plat
