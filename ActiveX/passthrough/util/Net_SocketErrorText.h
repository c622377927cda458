// The name and description texts that Net_TcpClient writes for a WinSock error code. Both are
// made to read around the code: "WSAECONNREFUSED(" 10061 ":The attempt to ... rejected.)".
#pragma once

struct Net_SocketErrorText {
  int code;
  const char* name;
  const char* description;
};

// The texts of code; null for a code outside the table.
const Net_SocketErrorText* Net_FindSocketErrorText(int code);
