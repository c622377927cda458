#include "com/control_window.h"

#include "com/module.h"

namespace com {

namespace {

constexpr wchar_t kClassName[] = L"ZubComControlWindow";
ATOM g_class = 0;

// Passed through CreateWindowExW and kept in the window's extra bytes, so nothing is allocated.
struct WindowState {
  const WindowCallbacks* callbacks;
  void* context;
};
constexpr int kCallbacksSlot = 0;
constexpr int kContextSlot = sizeof(LONG_PTR);
constexpr UINT kQueuedEventsMessage = WM_APP + 1;

const WindowCallbacks* CallbacksOf(HWND window) {
  return reinterpret_cast<const WindowCallbacks*>(GetWindowLongPtrW(window, kCallbacksSlot));
}
void* ContextOf(HWND window) { return reinterpret_cast<void*>(GetWindowLongPtrW(window, kContextSlot)); }

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      const auto* state = static_cast<const WindowState*>(create->lpCreateParams);
      SetWindowLongPtrW(window, kCallbacksSlot, reinterpret_cast<LONG_PTR>(state->callbacks));
      SetWindowLongPtrW(window, kContextSlot, reinterpret_cast<LONG_PTR>(state->context));
      break;
    }
    case WM_DESTROY: {
      const WindowCallbacks* callbacks = CallbacksOf(window);
      SetWindowLongPtrW(window, kCallbacksSlot, 0);
      if (callbacks != nullptr) callbacks->on_destroy(ContextOf(window));
      return 0;
    }
    case kQueuedEventsMessage: {
      const WindowCallbacks* callbacks = CallbacksOf(window);
      if (callbacks != nullptr) callbacks->on_queued_events(ContextOf(window));
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool RegisterClassOnce() {
  if (g_class != 0) return true;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ControlWindowProc;
  wc.cbWndExtra = 2 * sizeof(LONG_PTR);
  wc.hInstance = ModuleInstance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = kClassName;
  g_class = RegisterClassExW(&wc);
  return g_class != 0;
}

}  // namespace

HWND CreateControlWindow(HWND parent, const RECT& position, const WindowCallbacks* callbacks, void* context) {
  if (!RegisterClassOnce()) return nullptr;
  WindowState state{callbacks, context};
  return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                position.left, position.top, position.right - position.left,
                                position.bottom - position.top, parent, nullptr, ModuleInstance(), &state);
}

void PostQueuedEventsMessage(HWND window) { PostMessageW(window, kQueuedEventsMessage, 0, 0); }

void UnregisterControlWindowClass() {
  if (g_class != 0) UnregisterClassW(kClassName, ModuleInstance());
  g_class = 0;
}

}  // namespace com
