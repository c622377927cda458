#include "message_boxes.h"

#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "com_control.h"
#include "host/host.h"
#include "host/script.h"

namespace container {

namespace {

std::wstring TextOf(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), n + 1)));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && ClassOf(window) == L"#32770")
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

// The box's message is the first static control that holds text (the icon is one without).
BOOL CALLBACK FindText(HWND child, LPARAM param) {
  if (ClassOf(child) != L"Static") return TRUE;
  std::wstring text = TextOf(child);
  if (text.empty()) return TRUE;
  *reinterpret_cast<std::wstring*>(param) = std::move(text);
  return FALSE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() : thread_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

void MessageBoxWatcher::Watch() {
  std::set<HWND> answered;  // a pressed box may take a moment to go
  while (!stop_) {
    std::vector<HWND> boxes;
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
    for (auto it = answered.begin(); it != answered.end();) {
      bool still = false;
      for (HWND b : boxes) still = still || b == *it;
      it = still ? std::next(it) : answered.erase(it);
    }
    for (HWND box : boxes) {
      if (answered.count(box)) continue;
      std::wstring text;
      EnumChildWindows(box, FindText, reinterpret_cast<LPARAM>(&text));
      axhost::PrintLine("msgbox " + Utf8(TextOf(box)) + ": " + axhost::EscapeBody(Utf8(text)));
      answered.insert(box);
      SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace container
