#include "automation/members.h"

#include <cctype>

namespace automation {

bool SameName(const char* a, const std::string& b) {
  std::size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return a[i] == '\0' && i == b.size();
}

HResult Dispatchable::Invoke(std::int32_t dispid, Access access, const Value* args, Value* result) {
  const Member* m = FindMember(Members(), dispid);
  if (m == nullptr) return kDispE_MemberNotFound;
  Accessor fn = access == Access::kCall ? m->call : access == Access::kGet ? m->get : m->put;
  if (fn == nullptr) return kDispE_MemberNotFound;
  return fn(*this, args, result);
}

const Member* FindMember(std::span<const Member> members, const std::string& name) {
  for (const Member& m : members)
    if (SameName(m.name, name)) return &m;
  return nullptr;
}

const Member* FindMember(std::span<const Member> members, std::int32_t dispid) {
  for (const Member& m : members)
    if (m.dispid == dispid) return &m;
  return nullptr;
}

const Member* FindScriptable(std::span<const Member> members, const std::string& name) {
  const Member* m = FindMember(members, name);
  return m != nullptr && (m->flags & kHidden) == 0 ? m : nullptr;
}

const EventMember* FindEvent(std::span<const EventMember> events, std::int32_t dispid) {
  for (const EventMember& e : events)
    if (e.dispid == dispid) return &e;
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
