// The window an in-place active control owns: a child of the container's window (child,
// visible, clip-children, clip-siblings) that draws nothing. Its WM_DESTROY, however the window
// goes (InPlaceDeactivate, or the parent being destroyed), calls on_destroy once on the window's
// thread; the message counts as handled. It also carries the control's events from other
// threads: PostQueuedEventsMessage (any thread) makes the window's thread call on_queued_events.
#pragma once

#include "com/win.h"

namespace com {

struct WindowCallbacks {
  void (*on_destroy)(void* context);
  void (*on_queued_events)(void* context);
};

// Null on failure (GetLastError tells why). callbacks must outlive the window.
HWND CreateControlWindow(HWND parent, const RECT& position, const WindowCallbacks* callbacks, void* context);

// Any thread; a window already gone drops it.
void PostQueuedEventsMessage(HWND window);

// Called when the DLL unloads: the class's window procedure goes with it.
void UnregisterControlWindowClass();

}  // namespace com
