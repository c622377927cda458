#include "automation/members.h"

#include <cctype>

namespace automation {

namespace {
// Names are matched as IDispatch matches them: without regard to case.
bool SameName(const char* a, const std::string& b) {
  std::size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return a[i] == '\0' && i == b.size();
}
}  // namespace

const Member* FindMember(std::span<const Member> members, const std::string& name) {
  for (const Member& m : members)
    if (SameName(m.name, name)) return &m;
  return nullptr;
}

std::vector<const Member*> PersistedMembers(std::span<const Member> members) {
  std::vector<const Member*> out;
  for (int order = 1;; ++order) {
    const Member* found = nullptr;
    for (const Member& m : members)
      if (m.persist_order == order) found = &m;
    if (!found) return out;
    out.push_back(found);
  }
}

}  // namespace automation
