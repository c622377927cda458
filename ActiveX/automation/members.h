// A control's scriptable surface, declared once: the member table that the native host drives
// and the Windows tests compare with the type library, and the values that cross it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace automation {

using HResult = std::int32_t;
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kS_FALSE = 1;
inline constexpr HResult kE_NotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kE_Fail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kE_InvalidArg = static_cast<HResult>(0x80070057u);
inline constexpr HResult kDispE_MemberNotFound = static_cast<HResult>(0x80020003u);
inline constexpr HResult kDispE_TypeMismatch = static_cast<HResult>(0x80020005u);
inline constexpr HResult kDispE_BadParamCount = static_cast<HResult>(0x8002000Eu);

// The automation types the four controls use (VT_EMPTY, VT_BOOL, VT_UI1, VT_I4, VT_BSTR).
enum class Type { kVoid, kBool, kUI1, kI4, kText };

struct Value {
  Type type = Type::kVoid;
  std::int64_t number = 0;  // kBool (0/1), kUI1, kI4
  std::string text;         // kText: 8-bit, as the control stores it

  static Value Number(Type t, std::int64_t n) { return Value{t, n, {}}; }
  static Value Int(std::int32_t n) { return Number(Type::kI4, n); }
  static Value Byte(std::uint8_t n) { return Number(Type::kUI1, n); }
  static Value Bool(bool b) { return Number(Type::kBool, b ? 1 : 0); }
  static Value Text(std::string s) { return Value{Type::kText, 0, std::move(s)}; }
};

enum class Kind { kMethod, kProperty };
enum class Access { kCall, kGet, kPut };

struct Param {
  const char* name;
  Type type;
};

struct Member {
  std::int32_t dispid;
  const char* name;
  Kind kind;
  Type type;          // the property's type, or a method's result (kVoid: only the HRESULT)
  bool get;           // properties only
  bool put;
  std::span<const Param> params;  // methods only
  const char* help;   // type library help string, UTF-8; null for none
  int persist_order;  // 1, 2, ... in persistence order; 0 = not persisted
};

class Dispatchable {
 public:
  virtual ~Dispatchable() = default;
  virtual std::span<const Member> Members() const = 0;
  // args holds member.params.size() values of the declared types (kPut: one value).
  virtual HResult Invoke(std::int32_t dispid, Access access, const Value* args, Value* result) = 0;
};

const Member* FindMember(std::span<const Member> members, const std::string& name);
// The persisted properties in persistence order.
std::vector<const Member*> PersistedMembers(std::span<const Member> members);

}  // namespace automation
