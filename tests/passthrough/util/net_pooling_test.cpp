// The address entries and data buffers: their records and lengths at the edges of the 2048
// bytes, and that nothing is ever written past them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net_log_capture.h"
#include "passthrough/util/Net_PoolingAddress.h"
#include "passthrough/util/Net_PoolingBuffer.h"
#include "tests/support/netns.h"

namespace net_test {
namespace {

constexpr int kCap = Net_PoolingBuffer::kCapacity;

struct BufferDeleter {
  void operator()(Net_PoolingBuffer* b) const { Net_Release(b); }
};
using BufferPtr = std::unique_ptr<Net_PoolingBuffer, BufferDeleter>;

BufferPtr Acquire() {
  BufferPtr b(Net_PoolingBuffer::acquire());
  EXPECT_NE(b, nullptr);
  return b;
}

TEST(NetPoolingBufferTest, AcquiredBufferIsClearedAndClearZeroFills) {
  BufferPtr b = Acquire();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->length(), 0);
  EXPECT_EQ(std::string(b->data(), kCap), std::string(kCap, '\0'));
  std::vector<char> ones(kCap, 'x');
  b->set(ones.data(), kCap);
  b->clear();
  EXPECT_EQ(b->length(), 0);
  EXPECT_EQ(std::string(b->data(), kCap), std::string(kCap, '\0'));
}

TEST(NetPoolingBufferTest, SetLengthHoldsToTheTextRoom) {
  struct Case { int n; int want; };
  const Case cases[] = {{-3, 0}, {0, 0}, {1, 1}, {2046, 2046}, {2047, 2047}, {2048, 2047}, {5000, 2047}};
  BufferPtr b = Acquire();
  ASSERT_NE(b, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    b->setLength(c.n);
    EXPECT_EQ(b->length(), c.want);
  }
}

TEST(NetPoolingBufferTest, SetCopiesBytesUpToTheWholeBufferAndClipsBeyond) {
  struct Case { int n; int length; bool whole; };
  const Case cases[] = {{0, 0, true}, {1, 1, true}, {2047, 2047, true}, {2048, 2048, true},
                        {2049, 2048, false}, {4096, 2048, false}};
  std::vector<char> source(5000);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>('a' + i % 26);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    BufferPtr b = Acquire();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->set(source.data(), c.n), c.whole);
    EXPECT_EQ(b->length(), c.length);
    EXPECT_EQ(std::memcmp(b->data(), source.data(), static_cast<std::size_t>(c.length)), 0);
  }
}

TEST(NetPoolingBufferTest, SetTextKeepsItsTerminatorAndClipsAt2047) {
  struct Case { std::size_t chars; int length; bool whole; };
  const Case cases[] = {{0, 0, true}, {1, 1, true}, {3, 3, true}, {2046, 2046, true},
                        {2047, 2047, true}, {2048, 2047, false}, {3000, 2047, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chars);
    const std::string text(c.chars, 'T');
    BufferPtr b = Acquire();
    ASSERT_NE(b, nullptr);
    std::memset(b->data(), 'x', kCap);  // no zero left for the terminator to hide behind
    EXPECT_EQ(b->set(text.c_str(), Net_PoolingBuffer::kText), c.whole);
    EXPECT_EQ(b->length(), c.length);
    EXPECT_EQ(std::string(b->data()), text.substr(0, static_cast<std::size_t>(c.length)));
  }
  BufferPtr b = Acquire();
  ASSERT_NE(b, nullptr);
  b->set("ABC", Net_PoolingBuffer::kText);
  EXPECT_EQ(std::string(b->data(), 4), std::string("ABC\0", 4));
}

TEST(NetPoolingBufferTest, BadCountsOrNoSourceLeaveAnEmptyBuffer) {
  BufferPtr b = Acquire();
  ASSERT_NE(b, nullptr);
  const int counts[] = {-2, -100};
  for (const int n : counts) {
    SCOPED_TRACE(n);
    b->set("abc", 3);
    EXPECT_FALSE(b->set("abc", n));
    EXPECT_EQ(b->length(), 0);
  }
  EXPECT_FALSE(b->set(nullptr, 5));
  EXPECT_EQ(b->length(), 0);
  b->set("abc", 3);
  EXPECT_FALSE(b->append(nullptr, 2));
  EXPECT_FALSE(b->append("xy", -1));
  EXPECT_EQ(b->length(), 3);
}

TEST(NetPoolingBufferTest, LengthFromTextStopsAtTheFirstZeroOr2047) {
  struct Case { int zeroAt; int want; };  // -1: no zero byte at all
  const Case cases[] = {{0, 0}, {1, 1}, {2046, 2046}, {2047, 2047}, {-1, 2047}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zeroAt);
    BufferPtr b = Acquire();
    ASSERT_NE(b, nullptr);
    std::memset(b->data(), 'x', kCap);
    if (c.zeroAt >= 0) b->data()[c.zeroAt] = 0;
    b->setLengthFromText();
    EXPECT_EQ(b->length(), c.want);
  }
}

// Appending from a given length: what fits is stored, the rest clipped, and the byte at 2047
// (the text's terminator after clear()) is never written.
TEST(NetPoolingBufferTest, AppendAndAppendByteStopBeforeTheTerminator) {
  struct Case { int from; int n; int length; bool whole; };
  const Case cases[] = {{10, 2, 12, true},     {0, 1, 1, true},        {0, 2047, 2047, true},
                        {0, 2048, 2047, false}, {2046, 1, 2047, true}, {2046, 2, 2047, false},
                        {2047, 1, 2047, false}, {2047, 0, 2047, true}, {1000, 5000, 2047, false}};
  const std::vector<char> source(5000, 'a');
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "from " << c.from << " append " << c.n);
    BufferPtr b = Acquire();
    ASSERT_NE(b, nullptr);
    b->setLength(c.from);
    EXPECT_EQ(b->append(source.data(), c.n), c.whole);
    EXPECT_EQ(b->length(), c.length);
    EXPECT_EQ(b->data()[kCap - 1], 0);
  }
  struct ByteCase { int from; int length; bool stored; };
  const ByteCase byteCases[] = {{12, 13, true}, {0, 1, true}, {2046, 2047, true}, {2047, 2047, false}};
  for (const ByteCase& c : byteCases) {
    SCOPED_TRACE(testing::Message() << "appendByte from " << c.from);
    BufferPtr b = Acquire();
    ASSERT_NE(b, nullptr);
    b->setLength(c.from);
    EXPECT_EQ(b->appendByte('z'), c.stored);
    EXPECT_EQ(b->length(), c.length);
    if (c.stored) {
      EXPECT_EQ(b->data()[c.from], 'z');
    }
    EXPECT_EQ(b->data()[kCap - 1], 0);
  }
  // A full send buffer (2048 bytes) takes no more.
  BufferPtr b = Acquire();
  ASSERT_NE(b, nullptr);
  b->set(source.data(), kCap);
  EXPECT_FALSE(b->appendByte('z'));
  EXPECT_FALSE(b->append("z", 1));
  EXPECT_EQ(b->length(), kCap);
}

TEST(NetReleaseTest, NullIsIgnored) {
  EXPECT_TRUE(Net_Release(nullptr));
  EXPECT_TRUE(Net_Release(static_cast<Net_PoolingBuffer*>(nullptr)));
}

struct AddressDeleter {
  void operator()(Net_PoolingAddress* a) const { Net_Release(a); }
};
using AddressPtr = std::unique_ptr<Net_PoolingAddress, AddressDeleter>;

std::vector<unsigned char> Record16(const Net_PoolingAddress& a) {
  return std::vector<unsigned char>(a.sockAddr(), a.sockAddr() + a.sockAddrLength());
}

TEST(NetPoolingAddressTest, AcquireAnnouncesAndStartsAllZero) {
  LogCapture log;
  AddressPtr a(Net_PoolingAddress::acquire());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->sockAddrLength(), 16);
  EXPECT_EQ(Record16(*a), std::vector<unsigned char>(16, 0));
  const std::vector<Record> records = log.records("Net_PoolingAddress");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, "DETAIL");
  EXPECT_EQ(records[0].where, 0);
  EXPECT_EQ(records[0].text1, "instance ID=");
  EXPECT_TRUE(records[0].hasValue1);
}

TEST(NetPoolingAddressTest, SetWritesTheIPv4Record) {
  struct Case { const char* host; std::uint16_t port; std::vector<unsigned char> want; };
  const Case cases[] = {
      {nullptr, 80, {2, 0, 0x00, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"192.168.0.2", 49152, {2, 0, 0xC0, 0x00, 192, 168, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"127.0.0.1", 65535, {2, 0, 0xFF, 0xFF, 127, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"localhost", 1, {2, 0, 0x00, 0x01, 127, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host ? c.host : "(null)");
    AddressPtr a(Net_PoolingAddress::acquire());
    ASSERT_NE(a, nullptr);
    a->set(c.host, c.port);
    EXPECT_EQ(Record16(*a), c.want);
    EXPECT_EQ(a->platformAddress().Port(), c.port);
  }
}

TEST(NetPoolingAddressTest, UnresolvableNameIsLoggedAndKeepsTheAnyAddress) {
  if (!testsupport::InPrivateNetwork("ip link set lo up")) return;
  LogCapture log;
  AddressPtr a(Net_PoolingAddress::acquire());
  ASSERT_NE(a, nullptr);
  log.clear();
  // A label longer than 63 characters, looked up in a namespace of the test's own: dotted text it
  // is not, and no query can leave.
  const std::string unresolvable(100, 'x');
  a->set(unresolvable.c_str(), 8080);
  EXPECT_EQ(Record16(*a),
            (std::vector<unsigned char>{2, 0, 0x1F, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(log.errors("Net_PoolingAddress"), std::vector<std::string>{"0:サーバを特定できません"});
}

}  // namespace
}  // namespace net_test
