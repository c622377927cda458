// Drives a Net_PoolingBuffer with a stream of operations decoded from the input and checks
// after each that the length stays within the 2048 bytes and a measured text stays
// terminated. ASan catches any write past the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "passthrough/util/Net_PoolingBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Net_PoolingBuffer* b = Net_PoolingBuffer::acquire();
  if (b == nullptr) return 0;
  std::size_t at = 0;
  while (at + 3 <= size) {
    const std::uint8_t op = data[at];
    // A count from -8 ... 4087, so both edges and the clipping are reached.
    const int n = static_cast<int>((data[at + 1] << 4) | (data[at + 2] >> 4)) - 8;
    at += 3;
    // The source is a heap copy of exactly the rest of the input, plus a terminator for texts.
    const std::size_t rest = size - at;
    std::vector<char> source(data + at, data + size);
    source.push_back(0);
    const int avail = static_cast<int>(rest);
    switch (op % 7) {
      case 0: b->clear(); break;
      case 1: b->setLength(n); break;
      case 2: b->setLengthFromText(); break;
      case 3: b->set(source.data(), n < 0 ? Net_PoolingBuffer::kText : std::min(n, avail)); break;
      case 4: b->append(source.data(), std::min(std::abs(n), avail)); break;
      case 5: b->appendByte(static_cast<unsigned char>(n)); break;
      case 6: b->set(source.data(), n < -1 ? n : std::min(n, avail)); break;
    }
    if (b->length() < 0 || b->length() > Net_PoolingBuffer::kCapacity) std::abort();
    if ((op % 7 == 1 || op % 7 == 2) && b->length() > Net_PoolingBuffer::kTextLimit) std::abort();
    at += std::min<std::size_t>(rest, static_cast<std::size_t>(data[at - 1] & 0x0F));
  }
  Net_Release(b);
  return 0;
}
