// Modal message boxes with one OK button and no owner window. Texts are UTF-8 and shown with
// the wide API, so Japanese reads correctly whatever the system code page.
#pragma once

namespace plat {

// Returns once the box has been dismissed.
void ShowMessageBox(const char* caption_utf8, const char* text_utf8);

// Where there is no desktop (the native host), boxes go to this handler, which must dismiss
// them itself; it may be called on any thread. Null restores the default (stderr).
using MessageBoxHandler = void (*)(const char* caption_utf8, const char* text_utf8);
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace plat
