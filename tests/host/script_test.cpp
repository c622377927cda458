// The host script's words, numbers and the escaping of printed strings.
#include <gtest/gtest.h>

#include "host/script.h"

namespace {

TEST(HostScript, SplitsWordsAndStrings) {
  std::vector<axhost::Word> w;
  std::string error;
  ASSERT_TRUE(axhost::SplitLine("put  IP \"a b\\\"\\\\\\n\\r\\t\\x41\"\t7", &w, &error));
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[1].text, "IP");
  EXPECT_FALSE(w[1].quoted);
  EXPECT_TRUE(w[2].quoted);
  EXPECT_EQ(w[2].text, "a b\"\\\n\r\tA");
  EXPECT_EQ(w[3].text, "7");
  ASSERT_TRUE(axhost::SplitLine("put IP \"\"", &w, &error));
  EXPECT_EQ(w[2].text, "");
  EXPECT_TRUE(w[2].quoted);
}

TEST(HostScript, RejectsMalformedStrings) {
  const char* bad[] = {"put IP \"open", "put IP \"\\q\"", "put IP \"\\x4\"", "put IP \"\\"};
  for (const char* line : bad) {
    SCOPED_TRACE(line);
    std::vector<axhost::Word> w;
    std::string error;
    EXPECT_FALSE(axhost::SplitLine(line, &w, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(HostScript, Numbers) {
  const std::pair<const char*, long long> good[] = {
      {"0", 0}, {"-1", -1}, {"65536", 65536}, {"0x10", 16}, {"0XfF", 255}, {"-0x80000000", -2147483648LL}};
  for (const auto& [text, want] : good) {
    SCOPED_TRACE(text);
    std::int64_t v = 0;
    ASSERT_TRUE(axhost::ParseNumber(text, &v));
    EXPECT_EQ(v, want);
  }
  for (const char* text : {"", "-", "1a", "0x", "abc", "99999999999999999999"}) {
    SCOPED_TRACE(text);
    std::int64_t v = 0;
    EXPECT_FALSE(axhost::ParseNumber(text, &v));
  }
}

// Each numeric type takes exactly its own range, as a page's value coerced to it would.
TEST(HostScript, CoercesNumbersWithinEachTypesRange) {
  using automation::Type;
  struct Row {
    Type type;
    const char* text;
    bool fits;
  };
  const Row rows[] = {
      {Type::kUI1, "255", true},         {Type::kUI1, "256", false},        {Type::kUI1, "-1", false},
      {Type::kI2, "-32768", true},       {Type::kI2, "32767", true},        {Type::kI2, "32768", false},
      {Type::kI4, "-0x80000000", true},  {Type::kI4, "0x80000000", false},
      {Type::kUI4, "0xFFFFFFFF", true},  {Type::kUI4, "0x100000000", false}, {Type::kUI4, "-1", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    automation::Value v;
    const automation::HResult hr = axhost::CoerceWord(axhost::Word{false, row.text}, row.type, &v);
    EXPECT_EQ(hr == automation::kS_OK, row.fits);
    if (row.fits) {
      EXPECT_EQ(v.type, row.type);
    }
  }
}

TEST(HostScript, EscapesOnlyQuotesBackslashesAndControls) {
  EXPECT_EQ(axhost::Quote("a\"b\\c\n\r\t\x01\x7f\xe3\x81\x82"), "\"a\\\"b\\\\c\\n\\r\\t\\x01\\x7F\xe3\x81\x82\"");
}

}  // namespace
