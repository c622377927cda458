// A control's scriptable surface, declared once: the member table that the COM shell, the
// persistence and the native host drive, and that the Windows tests compare with the type
// library. Each row carries its accessors, so Invoke is the same code for every control.
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

// The automation types the four controls use: VT_EMPTY, VT_BOOL, VT_UI1, VT_I2, VT_I4, VT_UI4,
// VT_BSTR.
enum class Type { kVoid, kBool, kUI1, kI2, kI4, kUI4, kText };

struct Value {
  Type type = Type::kVoid;
  std::int64_t number = 0;  // the numeric types, kBool as 0/1
  std::string text;         // kText: 8-bit, as the control stores it

  static Value Number(Type t, std::int64_t n) { return Value{t, n, {}}; }
  static Value Int(std::int32_t n) { return Number(Type::kI4, n); }
  static Value Short(std::int16_t n) { return Number(Type::kI2, n); }
  static Value Unsigned(std::uint32_t n) { return Number(Type::kUI4, n); }
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

class Dispatchable;

// One access to one member: args holds the declared inputs (a put: one value), *result receives
// a getter's value or a method's result (never written for kVoid).
using Accessor = HResult (*)(Dispatchable& self, const Value* args, Value* result);

// Flags of a row.
inline constexpr unsigned kNotifyChanges = 1;  // a put asks the container first and tells it after
inline constexpr unsigned kHidden = 2;         // persisted only: not scriptable, not in the type library

struct Member {
  std::int32_t dispid;
  const char* name;
  Kind kind;
  Type type;         // the property's type, or a method's result (kVoid: only the HRESULT)
  Accessor get;      // properties: null when write-only
  Accessor put;      // properties: null when read-only
  Accessor call;     // methods
  std::span<const Param> params;  // methods only
  const char* help;   // type library help string, UTF-8; null for none
  int persist_order;  // 1, 2, ... in persistence order; 0 = not persisted
  unsigned flags = 0;
};

// The descriptive part of an event; events carry no arguments in these controls' tables yet,
// but the sink takes them.
struct EventMember {
  std::int32_t dispid;
  const char* name;
  const char* help;
};

// Where a portable control's events go. Fire may be called from any thread; the COM shell hands
// an event from another thread to the control's window, so the page's handler runs on the
// container's thread.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void Fire(std::int32_t dispid, std::span<const Value> args) = 0;
};

class Dispatchable {
 public:
  virtual ~Dispatchable() = default;
  virtual std::span<const Member> Members() const = 0;
  virtual std::span<const EventMember> Events() const { return {}; }
  // args holds member.params.size() values of the declared types (kPut: one value). Finds the
  // row and runs its accessor; kDispE_MemberNotFound when the member has no such access. Only a
  // stand-in for a control reached some other way (the Windows test container's, over COM)
  // overrides it.
  virtual HResult Invoke(std::int32_t dispid, Access access, const Value* args, Value* result);
};

// A control as its hosts see it: the surface, plus the window the container gives it, the
// extent the container sets, and the sink for its events.
class Control : public Dispatchable {
 public:
  struct Extent {
    std::uint32_t cx;  // HIMETRIC
    std::uint32_t cy;
  };
  using WindowHandle = void*;

  explicit Control(Extent extent = {2540, 2540}) : extent_(extent) {}

  virtual void OnCreateWindow(WindowHandle window) { (void)window; }
  virtual void OnDestroyWindow() {}
  // One line of what the control did, for the demo and its host's --summary (empty: nothing).
  virtual std::string Summary() const { return {}; }

  Extent extent() const { return extent_; }
  void set_extent(Extent e) { extent_ = e; }
  // The hidden persisted rows "_cx" and "_cy" read and write the extent through these.
  HResult get_ExtentX(std::uint32_t* out) { *out = extent_.cx; return kS_OK; }
  HResult put_ExtentX(std::uint32_t v) { extent_.cx = v; return kS_OK; }
  HResult get_ExtentY(std::uint32_t* out) { *out = extent_.cy; return kS_OK; }
  HResult put_ExtentY(std::uint32_t v) { extent_.cy = v; return kS_OK; }
  // The stock Enabled property, for the controls whose table has it; the control never reads it.
  HResult get_Enabled(bool* out) { *out = enabled_; return kS_OK; }
  HResult put_Enabled(bool v) { enabled_ = v; return kS_OK; }

  // The host sets it before the window exists and clears it before the control goes; null: the
  // events are dropped.
  void SetEventSink(EventSink* sink) { sink_ = sink; }

 protected:
  void FireEvent(std::int32_t dispid, std::span<const Value> args = {}) {
    if (EventSink* sink = sink_) sink->Fire(dispid, args);
  }

 private:
  Extent extent_;
  bool enabled_ = true;  // what a page author expects of a control nobody disabled
  EventSink* sink_ = nullptr;
};

const Member* FindMember(std::span<const Member> members, const std::string& name);
const Member* FindMember(std::span<const Member> members, std::int32_t dispid);
// The scriptable rows only (kHidden ones are not found by name).
const Member* FindScriptable(std::span<const Member> members, const std::string& name);
const EventMember* FindEvent(std::span<const EventMember> events, std::int32_t dispid);
// The persisted properties in persistence order.
std::vector<const Member*> PersistedMembers(std::span<const Member> members);
// Names are matched as IDispatch matches them: without regard to case.
bool SameName(const char* a, const std::string& b);

}  // namespace automation

#include "automation/accessors.h"
