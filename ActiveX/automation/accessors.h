// Member-table rows built from a control's own accessor functions, so a table states each
// member once: Property<&C::get_X, &C::put_X>(dispid, "X", help, persist_order). The value type
// comes from the accessors' C++ types (bool, uint8_t, int16_t, int32_t, uint32_t, std::string);
// a method's inputs are its parameters, and a last pointer parameter is its result. A row whose
// declared parameters disagree with the function does not compile.
#pragma once

#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace automation {

namespace detail {

template <class T> struct TypeOf;
template <> struct TypeOf<bool> { static constexpr Type value = Type::kBool; };
template <> struct TypeOf<std::uint8_t> { static constexpr Type value = Type::kUI1; };
template <> struct TypeOf<std::int16_t> { static constexpr Type value = Type::kI2; };
template <> struct TypeOf<std::int32_t> { static constexpr Type value = Type::kI4; };
template <> struct TypeOf<std::uint32_t> { static constexpr Type value = Type::kUI4; };
template <> struct TypeOf<std::string> { static constexpr Type value = Type::kText; };

template <class T> T FromValue(const Value& v) {
  if constexpr (std::is_same_v<T, std::string>) {
    return v.text;
  } else if constexpr (std::is_same_v<T, bool>) {
    return v.number != 0;
  } else {
    return static_cast<T>(v.number);
  }
}

template <class T> Value ToValue(const T& v) {
  if constexpr (std::is_same_v<T, std::string>) {
    return Value::Text(v);
  } else {
    return Value::Number(TypeOf<T>::value, static_cast<std::int64_t>(v));
  }
}

template <class F> struct Fn;

template <class C, class... A> struct Fn<HResult (C::*)(A...)> {
  using Class = C;
  static constexpr std::size_t kCount = sizeof...(A);
  template <std::size_t I> using Arg = std::remove_cvref_t<std::tuple_element_t<I, std::tuple<A...>>>;
  static constexpr bool kHasResult = [] {
    if constexpr (kCount == 0) return false;
    else return std::is_pointer_v<Arg<kCount - 1>>;
  }();
  static constexpr std::size_t kInputs = kHasResult ? kCount - 1 : kCount;

  static constexpr Type ResultType() {
    if constexpr (kHasResult) return TypeOf<std::remove_pointer_t<Arg<kCount - 1>>>::value;
    else return Type::kVoid;
  }
  template <std::size_t I> static constexpr Type InputType() { return TypeOf<Arg<I>>::value; }

  template <auto F, std::size_t... I>
  static HResult Run(Dispatchable& self, const Value* args, Value* result, std::index_sequence<I...>) {
    C& c = static_cast<C&>(self);
    if constexpr (kHasResult) {
      using R = std::remove_pointer_t<Arg<kCount - 1>>;
      R out{};
      const HResult hr = (c.*F)(FromValue<Arg<I>>(args[I])..., &out);
      if (result != nullptr) *result = ToValue(out);
      return hr;
    } else {
      (void)args;
      (void)result;
      return (c.*F)(FromValue<Arg<I>>(args[I])...);
    }
  }

  template <std::size_t... I>
  static constexpr bool InputsAre(std::span<const Param> params, std::index_sequence<I...>) {
    return params.size() == kInputs && ((params[I].type == InputType<I>()) && ...);
  }
};

template <auto F> HResult Thunk(Dispatchable& self, const Value* args, Value* result) {
  using Info = Fn<decltype(F)>;
  return Info::template Run<F>(self, args, result, std::make_index_sequence<Info::kInputs>{});
}

template <auto F> constexpr Accessor AccessorOf() {
  if constexpr (std::is_null_pointer_v<decltype(F)>) return nullptr;
  else return &Thunk<F>;
}

template <auto Get, auto Put> constexpr Type PropertyType() {
  if constexpr (!std::is_null_pointer_v<decltype(Get)>) return Fn<decltype(Get)>::ResultType();
  else return Fn<decltype(Put)>::template InputType<0>();
}

}  // namespace detail

// A property; pass nullptr for a missing getter or setter.
template <auto Get, auto Put>
constexpr Member Property(std::int32_t dispid, const char* name, const char* help = nullptr,
                          int persist_order = 0, unsigned flags = 0) {
  if constexpr (!std::is_null_pointer_v<decltype(Get)>) {
    static_assert(detail::Fn<decltype(Get)>::kInputs == 0 && detail::Fn<decltype(Get)>::kHasResult,
                  "a getter takes only its result");
  }
  if constexpr (!std::is_null_pointer_v<decltype(Put)>) {
    static_assert(detail::Fn<decltype(Put)>::kInputs == 1 && !detail::Fn<decltype(Put)>::kHasResult,
                  "a setter takes only its value");
  }
  if constexpr (!std::is_null_pointer_v<decltype(Get)> && !std::is_null_pointer_v<decltype(Put)>) {
    static_assert(detail::Fn<decltype(Get)>::ResultType() == detail::Fn<decltype(Put)>::template InputType<0>(),
                  "getter and setter disagree on the type");
  }
  return Member{dispid, name, Kind::kProperty, detail::PropertyType<Get, Put>(), detail::AccessorOf<Get>(),
                detail::AccessorOf<Put>(), nullptr, {}, help, persist_order, flags};
}

// A method with its parameters named (and typed, as a check) in order.
template <auto F>
constexpr Member Method(std::int32_t dispid, const char* name, std::span<const Param> params = {},
                        const char* help = nullptr) {
  using Info = detail::Fn<decltype(F)>;
  if (!Info::InputsAre(params, std::make_index_sequence<Info::kInputs>{}))
    throw "the declared parameters disagree with the method";  // a compile error in a constexpr table
  return Member{dispid, name, Kind::kMethod, Info::ResultType(), nullptr, nullptr, &detail::Thunk<F>,
                params, help, 0, 0};
}

// The control's extent, persisted as "_cx" and "_cy" ahead of its properties where a control's
// property map has them; not scriptable.
inline constexpr std::int32_t kDispidExtentX = -0x7FFF0001;
inline constexpr std::int32_t kDispidExtentY = -0x7FFF0002;
constexpr Member ExtentX(int persist_order) {
  return Property<&Control::get_ExtentX, &Control::put_ExtentX>(kDispidExtentX, "_cx", nullptr, persist_order,
                                                                kHidden);
}
constexpr Member ExtentY(int persist_order) {
  return Property<&Control::get_ExtentY, &Control::put_ExtentY>(kDispidExtentY, "_cy", nullptr, persist_order,
                                                                kHidden);
}

inline constexpr std::int32_t kDispidEnabled = -514;
// The stock Enabled property: a put asks the container first and tells it after.
constexpr Member StockEnabled(int persist_order) {
  return Property<&Control::get_Enabled, &Control::put_Enabled>(kDispidEnabled, "Enabled", nullptr, persist_order,
                                                                kNotifyChanges);
}

}  // namespace automation
