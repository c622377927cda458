#include "com/control_window.h"

#include "com/module.h"

namespace com {

namespace {

constexpr wchar_t kClassName[] = L"ZubComControlWindow";
ATOM g_class = 0;

// Passed through CreateWindowExW and kept in the window's extra bytes, so nothing is allocated.
struct WindowState {
  WindowDestroyedFn on_destroy;
  void* context;
};
constexpr int kFnSlot = 0;
constexpr int kContextSlot = sizeof(LONG_PTR);

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      const auto* state = static_cast<const WindowState*>(create->lpCreateParams);
      SetWindowLongPtrW(window, kFnSlot, reinterpret_cast<LONG_PTR>(state->on_destroy));
      SetWindowLongPtrW(window, kContextSlot, reinterpret_cast<LONG_PTR>(state->context));
      break;
    }
    case WM_DESTROY: {
      auto fn = reinterpret_cast<WindowDestroyedFn>(GetWindowLongPtrW(window, kFnSlot));
      SetWindowLongPtrW(window, kFnSlot, 0);
      if (fn != nullptr) fn(reinterpret_cast<void*>(GetWindowLongPtrW(window, kContextSlot)));
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

HWND CreateControlWindow(HWND parent, const RECT& position, WindowDestroyedFn on_destroy, void* context) {
  if (!RegisterClassOnce()) return nullptr;
  WindowState state{on_destroy, context};
  return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                position.left, position.top, position.right - position.left,
                                position.bottom - position.top, parent, nullptr, ModuleInstance(), &state);
}

void UnregisterControlWindowClass() {
  if (g_class != 0) UnregisterClassW(kClassName, ModuleInstance());
  g_class = 0;
}

}  // namespace com
