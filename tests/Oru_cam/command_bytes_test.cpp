// The conversion of one token at the edges the camera tests do not reach: where a 32-bit long
// saturates, the forms strtol accepts, and the end of the text at a NUL.
#include "Oru_cam/CommandBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orucam_test {
namespace {

TEST(TokenByte, FollowsStrtolWithA32BitLong) {
  struct Row {
    std::string token;
    std::uint8_t want;
  };
  const Row rows[] = {
      {"7FFFFFFF", 0xFF},            // LONG_MAX itself
      {"80000000", 0xFF},            // one past: saturates to LONG_MAX
      {"FFFFFFFFFFFFFFFFFFFF", 0xFF},  // past even a 64-bit long
      {"-80000000", 0x00},           // LONG_MIN itself
      {"-80000001", 0x00},           // saturates to LONG_MIN
      {"-7FFFFF01", 0xFF},           // 0x800000FF
      {"1FF", 0xFF},
      {"0X1a", 0x1A},
      {"0x", 0x00},                  // the "0" before an x without digits
      {"\t\n 12", 0x12},
      {"12 34", 0x12},               // digits end at the blank
      {"-", 0x00},
      {"g1", 0x00},
      {std::string(1000, '0') + "FF", 0xFF},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.token);
    EXPECT_EQ(orucam::TokenByte(row.token), row.want);
  }
}

TEST(CommandBytes, EndsAtTheFirstNul) {
  EXPECT_EQ(orucam::CommandBytes(std::string("1:2\0:3", 6)), (std::vector<std::uint8_t>{0x01, 0x02}));
  EXPECT_EQ(orucam::CommandBytes(std::string("\0:3", 3)), (std::vector<std::uint8_t>{0x00}));
  EXPECT_EQ(orucam::CommandBytes(":"), (std::vector<std::uint8_t>{0x00, 0x00}));
}

}  // namespace
}  // namespace orucam_test
