// Net_PoolingBuffer: 2048 bytes with a length, carrying the bytes of one send to Net_TcpClient
// and serving the control as the text builder of a reply. clear() zero-fills, so a text built
// after it with append/appendByte is always terminated: those two keep within 2047 bytes, and
// setLength/setLengthFromText never exceed 2047 either. Only set() with a byte count may fill all
// 2048 bytes (a send buffer is not read as text).
//
// No operation writes outside the 2048 bytes. set, append and appendByte clip what does not fit
// and return false then (true when everything was stored); the length always tells what is held.
// No lock: one thread at a time, under its owner's lock.
#pragma once

#include "passthrough/util/Net_Pooled.h"

class Net_PoolingBuffer : public Net_Pooled {
 public:
  static constexpr int kCapacity = 2048;
  static constexpr int kTextLimit = kCapacity - 1;  // room for the terminator
  static constexpr int kText = -1;                  // set()'s count for a zero-terminated text

  // A new, cleared buffer; null when memory runs out.
  static Net_PoolingBuffer* acquire();

  // Length 0, every byte zero.
  void clear();
  char* data() { return _data; }
  const char* data() const { return _data; }
  int length() const { return _length; }

  // Length n, held to 0 ... 2047.
  void setLength(int n);
  // Length = index of the first zero byte; 2047 when there is none.
  void setLengthFromText();

  // n == kText: copies the zero-terminated text at source with its terminator (at most 2047
  // characters) and measures it with setLengthFromText(). n >= 0: copies n bytes (at most
  // 2048), length = what was copied. Any other n, or a null source with n != 0: length 0.
  bool set(const void* source, int n);
  // Copies n bytes to the end of the content, up to a length of 2047.
  bool append(const void* source, int n);
  // Stores b at the end of the content, unless the length is already 2047 or more.
  bool appendByte(unsigned char b);

 private:
  Net_PoolingBuffer() { clear(); }

  char _data[kCapacity];
  int _length = 0;
};
