#include "passthrough/util/Net_PoolingBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

Net_PoolingBuffer* Net_PoolingBuffer::acquire() { return new (std::nothrow) Net_PoolingBuffer; }

void Net_PoolingBuffer::clear() {
  std::memset(_data, 0, sizeof _data);
  _length = 0;
}

void Net_PoolingBuffer::setLength(int n) { _length = std::clamp(n, 0, kTextLimit); }

void Net_PoolingBuffer::setLengthFromText() {
  const void* zero = std::memchr(_data, 0, sizeof _data);
  _length = zero ? static_cast<int>(static_cast<const char*>(zero) - _data) : kTextLimit;
}

bool Net_PoolingBuffer::set(const void* source, int n) {
  if (n == 0) {
    _length = 0;
    return true;
  }
  if (source == nullptr || n < kText) {
    _length = 0;
    return false;
  }
  if (n == kText) {
    const char* text = static_cast<const char*>(source);
    // Reads no further than the terminator or the room, whichever comes first.
    int count = 0;
    while (count < kTextLimit && text[count] != 0) ++count;
    const bool whole = text[count] == 0;
    std::memcpy(_data, text, static_cast<std::size_t>(count));
    _data[count] = 0;
    setLengthFromText();
    return whole;
  }
  _length = std::min(n, kCapacity);
  std::memcpy(_data, source, static_cast<std::size_t>(_length));
  return _length == n;
}

bool Net_PoolingBuffer::append(const void* source, int n) {
  if (n == 0) return true;
  if (source == nullptr || n < 0) return false;
  const int count = std::min(n, std::max(kTextLimit - _length, 0));
  std::memcpy(_data + _length, source, static_cast<std::size_t>(count));
  _length += count;
  return count == n;
}

bool Net_PoolingBuffer::appendByte(unsigned char b) {
  if (_length >= kTextLimit) return false;
  _data[_length++] = static_cast<char>(b);
  return true;
}
