// Win32 backend of message_box.h: MessageBoxW, so the texts never pass through the ANSI code page.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/message_box.h"

namespace plat {

namespace {

std::atomic<MessageBoxHandler> g_handler{nullptr};

std::wstring Widen(const char* utf8) {
  if (!utf8 || !*utf8) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(static_cast<std::size_t>(n) - 1);  // drop the terminator counted by -1
  return out;
}

}  // namespace

void ShowMessageBox(const char* caption_utf8, const char* text_utf8) {
  if (MessageBoxHandler handler = g_handler.load()) {
    handler(caption_utf8 ? caption_utf8 : "", text_utf8 ? text_utf8 : "");
    return;
  }
  std::wstring caption = Widen(caption_utf8);
  std::wstring text = Widen(text_utf8);
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void SetMessageBoxHandler(MessageBoxHandler handler) { g_handler.store(handler); }

}  // namespace plat
