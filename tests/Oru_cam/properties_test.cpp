// The control's scripting surface as its hosts and the type library see it, its defaults, and
// the PC's own address it learns at construction.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Oru_cam/CamCtl.h"
#include "platform/net.h"

namespace orucam_test {
namespace {

using automation::Access;
using automation::Type;
using automation::Value;

TEST(CamCtlSurface, MembersAndPersistenceOrder) {
  orucam::CCamCtl control;
  struct Row {
    std::int32_t dispid;
    const char* name;
    Type type;
  };
  const Row scriptable[] = {
      {automation::kDispidEnabled, "Enabled", Type::kBool}, {1, "Port", Type::kI4},
      {2, "IP", Type::kText},                                {3, "SendCmd", Type::kUI1},
      {4, "MyIP", Type::kUI4},
  };
  for (const Row& row : scriptable) {
    SCOPED_TRACE(row.name);
    const automation::Member* m = automation::FindScriptable(control.Members(), row.name);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->dispid, row.dispid);
    EXPECT_EQ(m->type, row.type);
  }
  const automation::Member* send = automation::FindMember(control.Members(), 3);
  ASSERT_EQ(send->params.size(), 2u);
  EXPECT_STREQ(send->params[0].name, "cmd");
  EXPECT_STREQ(send->params[1].name, "ack");

  std::vector<std::string> persisted;
  for (const automation::Member* m : automation::PersistedMembers(control.Members())) persisted.push_back(m->name);
  EXPECT_EQ(persisted, (std::vector<std::string>{"_cx", "_cy", "Enabled", "Port", "IP"}));
}

TEST(CamCtlSurface, DefaultsOfANewControl) {
  orucam::CCamCtl control;
  struct Row {
    const char* name;
    Value want;
  };
  const Row rows[] = {
      {"_cx", Value::Unsigned(5080)}, {"_cy", Value::Unsigned(5080)}, {"Enabled", Value::Bool(true)},
      {"Port", Value::Int(49153)},    {"IP", Value::Text("192.168.0.2")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const automation::Member* m = automation::FindMember(control.Members(), std::string(row.name));
    ASSERT_NE(m, nullptr);
    Value got;
    ASSERT_EQ(control.Invoke(m->dispid, Access::kGet, nullptr, &got), automation::kS_OK);
    EXPECT_EQ(got.type, row.want.type);
    EXPECT_EQ(got.number, row.want.number);
    EXPECT_EQ(got.text, row.want.text);
  }
  EXPECT_FALSE(control.Connected());  // nothing is opened before the first command
}

TEST(CamCtlSurface, PutValuesReadBack) {
  orucam::CCamCtl control;
  const std::string long_ip(100000, '9');
  control.put_IP(long_ip);
  control.put_Port(-1);
  control.put_MyIP(0x0A00A8C0u);
  std::string ip;
  std::int32_t port = 0;
  std::uint32_t my_ip = 0;
  control.get_IP(&ip);
  control.get_Port(&port);
  control.get_MyIP(&my_ip);
  EXPECT_EQ(ip, long_ip);
  EXPECT_EQ(port, -1);
  EXPECT_EQ(my_ip, 0x0A00A8C0u);
}

// MyIP holds the host's first IPv4 address with its bytes in address order, as inet_addr
// gives it, or 0 when this PC's own name cannot be looked up (the tests run in a namespace of
// their own, where only /etc/hosts can answer).
TEST(CamCtlSurface, MyIPIsThisHostsFirstAddressInAddressOrder) {
  std::uint16_t granted = 0;
  ASSERT_EQ(plat::NetStartup(0x0202, &granted), 0);
  char name[plat::kHostNameBytes];
  ASSERT_EQ(plat::GetHostName(name, sizeof name), 0);
  plat::ResolveHints hints;
  hints.family = plat::Family::kInet;
  std::vector<plat::AddrInfo> found;
  std::uint32_t want = 0;
  char text[64] = "(no address)";
  if (plat::Resolve(name, nullptr, hints, &found) == 0) {
    plat::FormatAddress(found.front().addr, text, sizeof text);
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d), 4);
    const unsigned char in_order[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                       static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    std::memcpy(&want, in_order, sizeof want);
  }

  orucam::CCamCtl control;
  std::uint32_t got = 0;
  control.get_MyIP(&got);
  EXPECT_EQ(got, want) << text;
  plat::NetCleanup();
}

}  // namespace
}  // namespace orucam_test
