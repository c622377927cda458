// The window an in-place active control owns: a child of the container's window (child,
// visible, clip-children, clip-siblings) that draws nothing. Its WM_DESTROY, however the window
// goes (InPlaceDeactivate, or the parent being destroyed), calls on_destroy once on the window's
// thread; the message counts as handled.
#pragma once

#include "com/win.h"

namespace com {

using WindowDestroyedFn = void (*)(void* context);

// Null on failure (GetLastError tells why).
HWND CreateControlWindow(HWND parent, const RECT& position, WindowDestroyedFn on_destroy, void* context);

// Called when the DLL unloads: the class's window procedure goes with it.
void UnregisterControlWindowClass();

}  // namespace com
