// BSTR <-> the controls' 8-bit text, in the system ANSI code page (CP_ACP), as the portable
// controls keep their strings. A null BSTR is the empty string; embedded NULs survive.
#pragma once

#include "com/win.h"

#include <string>

namespace com {

std::string AnsiFromBstr(BSTR text);
// Null when out of memory.
BSTR BstrFromAnsi(const std::string& text);

}  // namespace com
