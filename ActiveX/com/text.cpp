#include "com/text.h"

namespace com {

std::string AnsiFromBstr(BSTR text) {
  const int wide = text == nullptr ? 0 : static_cast<int>(SysStringLen(text));
  if (wide == 0) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, wide, s.data(), n, nullptr, nullptr);
  return s;
}

BSTR BstrFromAnsi(const std::string& text) {
  const int bytes = static_cast<int>(text.size());
  const int n = bytes == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  BSTR s = SysAllocStringLen(nullptr, n > 0 ? n : 0);
  if (s != nullptr && n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, s, n);
  return s;
}

}  // namespace com
