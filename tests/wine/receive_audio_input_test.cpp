// Input the receive control must survive: arguments of the wrong type, size or count through
// IDispatch::Invoke (wine's ITypeInfo::Invoke coerces them for the dual interface), very long
// and null strings through both IDispatch and the vtable, property bags with unusable entries
// or failing reads, and streams that end early, fail or hold garbage. Every refused input
// leaves the properties as they were, and the control stays usable afterwards.
#include <gtest/gtest.h>

#include <ocidl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ZubAudioR.h"
#include "automation/members.h"
#include "dll_loader.h"
#include "test_container.h"

namespace {

std::wstring ReadIP(IReceiveAudio* control) {
  BSTR ip = nullptr;
  if (FAILED(control->get_IP(&ip))) return L"<failed>";
  std::wstring s(ip, SysStringLen(ip));
  SysFreeString(ip);
  return s;
}

// The persisted properties, read and written through the vtable.
struct Properties {
  std::wstring ip;
  LONG port, volume, delay, stream_type;
  bool operator==(const Properties&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Properties& p) {
  std::string ip(p.ip.begin(), p.ip.end());
  if (ip.size() > 40) ip = ip.substr(0, 40) + "...(" + std::to_string(ip.size()) + " chars)";
  return out << "{" << ip << ", " << p.port << ", " << p.volume << ", " << p.delay << ", " << p.stream_type << "}";
}

Properties Read(IReceiveAudio* control) {
  Properties p{ReadIP(control), -1, -1, -1, -1};
  control->get_Port(&p.port);
  control->get_Volume(&p.volume);
  control->get_DelayTime(&p.delay);
  control->get_StreamType(&p.stream_type);
  return p;
}

void Write(IReceiveAudio* control, const Properties& p) {
  BSTR ip = SysAllocStringLen(p.ip.data(), static_cast<UINT>(p.ip.size()));
  ASSERT_HRESULT_SUCCEEDED(control->put_IP(ip));
  SysFreeString(ip);
  ASSERT_HRESULT_SUCCEEDED(control->put_Port(p.port));
  ASSERT_HRESULT_SUCCEEDED(control->put_Volume(p.volume));
  ASSERT_HRESULT_SUCCEEDED(control->put_DelayTime(p.delay));
  ASSERT_HRESULT_SUCCEEDED(control->put_StreamType(p.stream_type));
}

const Properties kDefaults = {L"192.168.0.2", 80, 100, 300, 0};

// A dispatch object with or without a default value (DISPID_VALUE), the way coercion reaches
// an object's value. Counted, so the test sees that every reference handed out came back.
class ValueObject : public IDispatch {
 public:
  explicit ValueObject(const wchar_t* value) : value_(value) {}
  virtual ~ValueObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != DISPID_VALUE || value_ == nullptr) return DISP_E_MEMBERNOTFOUND;
    if (result == nullptr) return E_INVALIDARG;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(value_);
    return S_OK;
  }
  ULONG refs = 1;

 private:
  const wchar_t* value_;
};

// One argument as a table row names it; made into a VARIANT when the row runs.
struct Arg {
  enum Kind { kI4, kR8, kText, kNullText, kUI1, kObject, kValueObject, kUnknown, kArray, kNull, kRefI4 } kind;
  double number = 0;
  const wchar_t* text = nullptr;
};

Arg I4(LONG n) { return {Arg::kI4, static_cast<double>(n)}; }
Arg R8(double d) { return {Arg::kR8, d}; }
Arg Text(const wchar_t* s) { return {Arg::kText, 0, s}; }
Arg UI1(BYTE n) { return {Arg::kUI1, static_cast<double>(n)}; }
constexpr Arg kNullText = {Arg::kNullText};
constexpr Arg kObject = {Arg::kObject};            // no default value
constexpr Arg kValueObject = {Arg::kValueObject};  // default value "10.9.8.7"
constexpr Arg kUnknown = {Arg::kUnknown};
constexpr Arg kArray = {Arg::kArray};
constexpr Arg kNull = {Arg::kNull};
constexpr Arg kRefI4 = {Arg::kRefI4};              // by reference to 8090

class InputTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_TRUE(dll_.Loaded());
    ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IReceiveAudio, reinterpret_cast<void**>(&control_)));
    ASSERT_HRESULT_SUCCEEDED(control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_)));
  }
  void TearDown() override {
    if (dispatch_ != nullptr) dispatch_->Release();
    if (control_ != nullptr) {
      EXPECT_EQ(control_->Release(), 0u);
    }
    EXPECT_EQ(object_.refs, 1u) << "every reference to the argument objects came back";
    EXPECT_EQ(value_object_.refs, 1u);
    EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    EXPECT_EQ(boxes_.Take(), std::vector<std::wstring>{}) << "no input may reach Play";
    CoUninitialize();
  }

  VARIANT Make(const Arg& arg) {
    VARIANT v;
    VariantInit(&v);
    switch (arg.kind) {
      case Arg::kI4: V_VT(&v) = VT_I4; V_I4(&v) = static_cast<LONG>(arg.number); break;
      case Arg::kR8: V_VT(&v) = VT_R8; V_R8(&v) = arg.number; break;
      case Arg::kText: V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(arg.text); break;
      case Arg::kNullText: V_VT(&v) = VT_BSTR; V_BSTR(&v) = nullptr; break;
      case Arg::kUI1: V_VT(&v) = VT_UI1; V_UI1(&v) = static_cast<BYTE>(arg.number); break;
      case Arg::kObject: V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = &object_; object_.AddRef(); break;
      case Arg::kValueObject:
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = &value_object_;
        value_object_.AddRef();
        break;
      case Arg::kUnknown: V_VT(&v) = VT_UNKNOWN; V_UNKNOWN(&v) = &object_; object_.AddRef(); break;
      case Arg::kArray: {
        SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 1);
        LONG index = 0, value = 8081;
        SafeArrayPutElement(array, &index, &value);
        V_VT(&v) = VT_ARRAY | VT_I4;
        V_ARRAY(&v) = array;
        break;
      }
      case Arg::kNull: V_VT(&v) = VT_NULL; break;
      case Arg::kRefI4: V_VT(&v) = VT_I4 | VT_BYREF; V_I4REF(&v) = &by_reference_; break;
    }
    return v;
  }

  // The property's value through IDispatch, as text.
  std::wstring Get(DISPID id) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr =
        dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
    if (FAILED(hr)) return L"<failed>";
    if (FAILED(VariantChangeType(&v, &v, 0, VT_BSTR))) {
      VariantClear(&v);
      return L"<not text>";
    }
    std::wstring s(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    VariantClear(&v);
    return s;
  }

  // A row that reaches Play on this windowless control gets its box pressed, not a hang.
  comtest::MessageBoxWatcher boxes_;
  comtest::ZubAudioRDll dll_;
  IReceiveAudio* control_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  ValueObject object_{nullptr};
  ValueObject value_object_{L"10.9.8.7"};
  LONG by_reference_ = 8090;
};

// puArgErr as the test passes it in: a refused argument's index replaces it, nothing else does.
constexpr UINT kUntouched = 0xDEAD;

TEST_F(InputTest, InvokeCoercesOrRefusesEachArgument) {
  struct Case {
    const char* what;
    DISPID id;
    WORD flags;
    std::vector<Arg> args;  // in rgvarg order: the last argument first
    bool named_put;         // rgdispidNamedArgs = {DISPID_PROPERTYPUT}
    HRESULT want;
    UINT bad_arg;           // the rgvarg index of the refused argument
    DISPID read_back;       // 0: nothing to read back
    const wchar_t* after;   // the property's value afterwards; null: as it was
  };
  const WORD kPut = DISPATCH_PROPERTYPUT;
  const WORD kGet = DISPATCH_PROPERTYGET;
  const WORD kCall = DISPATCH_METHOD;
  const Case cases[] = {
      // A long (Port, DISPID 3)
      {"text that is no number", 3, kPut, {Text(L"abc")}, true, DISP_E_TYPEMISMATCH, 0, 3, nullptr},
      {"an object without a value", 3, kPut, {kObject}, true, DISP_E_TYPEMISMATCH, 0, 3, nullptr},
      {"an IUnknown", 3, kPut, {kUnknown}, true, DISP_E_TYPEMISMATCH, 0, 3, nullptr},
      {"an array", 3, kPut, {kArray}, true, DISP_E_TYPEMISMATCH, 0, 3, nullptr},
      {"null", 3, kPut, {kNull}, true, DISP_E_TYPEMISMATCH, 0, 3, nullptr},
      {"a double beyond long", 3, kPut, {R8(1e10)}, true, DISP_E_OVERFLOW, 0, 3, nullptr},
      {"a double, rounded to even", 3, kPut, {R8(8081.5)}, true, S_OK, 0, 3, L"8082"},
      {"a long by reference", 3, kPut, {kRefI4}, true, S_OK, 0, 3, L"8090"},
      // Text (IP, DISPID 2)
      {"a number as text", 2, kPut, {I4(123)}, true, S_OK, 0, 2, L"123"},
      {"an object's default value", 2, kPut, {kValueObject}, true, S_OK, 0, 2, L"10.9.8.7"},
      {"an IUnknown as text", 2, kPut, {kUnknown}, true, DISP_E_TYPEMISMATCH, 0, 2, nullptr},
      {"an array as text", 2, kPut, {kArray}, true, DISP_E_TYPEMISMATCH, 0, 2, nullptr},
      {"a null BSTR is empty text", 2, kPut, {kNullText}, true, S_OK, 0, 2, L""},
      // A byte (PeakValue, DISPID 10): the put is the control's own rule and takes any byte
      {"a byte from text", 10, kPut, {Text(L"7")}, true, S_OK, 0, 10, L"7"},
      {"256 for a byte", 10, kPut, {I4(256)}, true, DISP_E_OVERFLOW, 0, 10, nullptr},
      {"-1 for a byte", 10, kPut, {I4(-1)}, true, DISP_E_OVERFLOW, 0, 10, nullptr},
      // SetPassword(Password, flag): rgvarg[0] is flag, rgvarg[1] Password
      {"a flag that is no number", 12, kCall, {Text(L"abc"), Text(L"user:pw")}, false, DISP_E_TYPEMISMATCH, 0, 0,
       nullptr},
      {"a password that is an IUnknown", 12, kCall, {UI1(1), kUnknown}, false, DISP_E_TYPEMISMATCH, 1, 0, nullptr},
      {"a flag beyond a byte", 12, kCall, {I4(300), Text(L"user:pw")}, false, DISP_E_OVERFLOW, 0, 0,
       nullptr},
      {"a null BSTR password", 12, kCall, {UI1(1), kNullText}, false, S_OK, 0, 0, nullptr},
      // Argument counts: too few and too many are refused alike, and nothing is called or put.
      {"SetPassword with one argument", 12, kCall, {UI1(1)}, false, DISP_E_BADPARAMCOUNT, 0, 0, nullptr},
      {"a put without a value", 3, kPut, {}, false, DISP_E_PARAMNOTFOUND, 0, 3, nullptr},
      {"a put without DISPID_PROPERTYPUT", 3, kPut, {I4(8083)}, false, DISP_E_PARAMNOTFOUND, 0, 3, nullptr},
      {"a get with an argument", 3, kGet, {I4(1)}, false, DISP_E_BADPARAMCOUNT, 0, 3, nullptr},
      {"SetPassword with a third argument", 12, kCall, {UI1(1), Text(L"a"), Text(L"b")}, false,
       DISP_E_BADPARAMCOUNT, 0, 0, nullptr},
      {"Stop with an argument", 7, kCall, {I4(1)}, false, DISP_E_BADPARAMCOUNT, 0, 0, nullptr},
      {"Play with an argument", 1, kCall, {I4(1)}, false, DISP_E_BADPARAMCOUNT, 0, 0, nullptr},
      {"a put with two values", 3, kPut, {I4(8084), I4(2)}, true, DISP_E_BADPARAMCOUNT, 0, 3, nullptr},
      // Members and accesses that do not exist
      {"get of an unknown DISPID", 99, kGet, {}, false, DISP_E_MEMBERNOTFOUND, 0, 0, nullptr},
      {"put of an unknown DISPID", 99, kPut, {I4(1)}, true, DISP_E_MEMBERNOTFOUND, 0, 0, nullptr},
      {"get of the put-only Password", 8, kGet, {}, false, DISP_E_MEMBERNOTFOUND, 0, 0, nullptr},
      {"put of the method Play", 1, kPut, {I4(1)}, true, DISP_E_MEMBERNOTFOUND, 0, 0, nullptr},
      // Script engines ask for a value with both flags
      {"get and call together", 3, kGet | kCall, {}, false, S_OK, 0, 3, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring before = c.read_back != 0 ? Get(c.read_back) : L"";
    std::vector<VARIANT> args;
    for (const Arg& a : c.args) args.push_back(Make(a));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {args.empty() ? nullptr : args.data(), c.named_put ? &named : nullptr,
                         static_cast<UINT>(args.size()), c.named_put ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    UINT arg_err = kUntouched;
    EXCEPINFO excep = {};
    const HRESULT hr = dispatch_->Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, c.flags, &params,
                                         c.flags == kPut ? nullptr : &result, &excep, &arg_err);
    EXPECT_EQ(hr, c.want) << std::hex << hr;
    const bool refused_argument = c.want == DISP_E_TYPEMISMATCH || c.want == DISP_E_OVERFLOW;
    EXPECT_EQ(arg_err, refused_argument ? c.bad_arg : kUntouched) << "puArgErr names the refused argument";
    if (c.read_back != 0) {
      EXPECT_EQ(Get(c.read_back), c.after != nullptr ? std::wstring(c.after) : before);
    }
    VariantClear(&result);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    for (VARIANT& v : args) VariantClear(&v);
  }
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(dispatch_->Invoke(3, IID_IDispatch, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                              nullptr),
            DISP_E_UNKNOWNINTERFACE)
      << "the reserved IID must be IID_NULL";
}

// The control keeps IP as given, whatever its length: a 100,000-character one goes in and
// comes back whole through the vtable and IDispatch, and survives the stream.
TEST_F(InputTest, AHundredThousandCharacterIPIsKeptWhole) {
  std::wstring huge(100000, L'0');
  for (std::size_t i = 0; i < huge.size(); ++i) huge[i] = i % 4 == 3 ? L'.' : static_cast<wchar_t>(L'0' + i % 10);
  BSTR in = SysAllocStringLen(huge.data(), static_cast<UINT>(huge.size()));
  ASSERT_HRESULT_SUCCEEDED(control_->put_IP(in));
  EXPECT_EQ(ReadIP(control_), huge) << "through the vtable";
  ASSERT_HRESULT_SUCCEEDED(control_->put_IP(nullptr));
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = in;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&v, &named, 1, 1};
  ASSERT_HRESULT_SUCCEEDED(
      dispatch_->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr));
  EXPECT_EQ(Get(2), huge) << "through IDispatch";
  SysFreeString(in);

  IPersistStreamInit* persist = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)));
  IStream* stream = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
  ASSERT_HRESULT_SUCCEEDED(persist->Save(stream, TRUE));
  persist->Release();
  IReceiveAudio* copy = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dll_.Create(IID_IReceiveAudio, reinterpret_cast<void**>(&copy)));
  ASSERT_HRESULT_SUCCEEDED(copy->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)));
  const LARGE_INTEGER zero = {};
  ASSERT_HRESULT_SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
  EXPECT_HRESULT_SUCCEEDED(persist->Load(stream));
  EXPECT_EQ(ReadIP(copy), huge) << "through the stream";
  persist->Release();
  copy->Release();
  stream->Release();
}

// A null BSTR is the empty string in automation; SetPassword and Password take it like any text.
TEST_F(InputTest, NullPasswordsAreEmptyText) {
  EXPECT_EQ(control_->SetPassword(nullptr, 1), S_OK);
  EXPECT_EQ(control_->SetPassword(nullptr, 0), S_OK);
  EXPECT_EQ(control_->put_Password(nullptr), S_OK);
  VARIANT v = Make(kNullText);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&v, &named, 1, 1};
  EXPECT_EQ(dispatch_->Invoke(8, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                              nullptr),
            S_OK);
  EXPECT_EQ(Read(control_), kDefaults) << "nothing else moved";
}

// Property bags

// Sets one persisted property of p by name from its text.
void SetByName(Properties& p, const std::wstring& name, const wchar_t* text) {
  if (name == L"IP") p.ip = text;
  if (name == L"Port") p.port = _wtol(text);
  if (name == L"Volume") p.volume = _wtol(text);
  if (name == L"DelayTime") p.delay = _wtol(text);
  if (name == L"StreamType") p.stream_type = _wtol(text);
}

const Properties kCurrent = {L"172.16.0.9", 1234, 70, 250, 0};

TEST_F(InputTest, PropertyBagEntriesOfTheWrongTypeOrThatFailAreSkipped) {
  IPersistPropertyBag* persist = nullptr;
  ASSERT_HRESULT_SUCCEEDED(control_->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)));
  struct Case {
    const wchar_t* name;
    Arg value;
    HRESULT read_error;   // S_OK: the bag answers value
    const wchar_t* after; // null: kept
  };
  const Case cases[] = {
      {L"IP", kUnknown, S_OK, nullptr},
      {L"IP", kArray, S_OK, nullptr},
      {L"IP", kNull, S_OK, nullptr},
      {L"IP", I4(123), S_OK, L"123"},
      {L"IP", kNullText, S_OK, L""},
      {L"IP", Text(L"10.0.0.1"), E_FAIL, nullptr},
      {L"Port", R8(1e10), S_OK, nullptr},
      {L"Port", R8(8081.5), S_OK, L"8082"},
      {L"Port", kObject, S_OK, nullptr},
      {L"Port", I4(8080), E_OUTOFMEMORY, nullptr},
      {L"Volume", kArray, S_OK, nullptr},
      {L"DelayTime", kUnknown, S_OK, nullptr},
      {L"StreamType", Text(L"1"), STG_E_ACCESSDENIED, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + wcslen(c.name)) << " kind " << c.value.kind
                                    << " error " << std::hex << c.read_error);
    Write(control_, kCurrent);
    comtest::MapBag bag;
    bag.values[c.name] = Make(c.value);
    if (c.read_error != S_OK) bag.errors[c.name] = c.read_error;
    EXPECT_EQ(persist->Load(&bag, nullptr), S_OK);
    Properties want = kCurrent;
    if (c.after != nullptr) SetByName(want, c.name, c.after);
    EXPECT_EQ(Read(control_), want);
  }

  // A bag failing one read still yields the rest.
  Write(control_, kCurrent);
  comtest::MapBag full;
  const Properties loaded = {L"10.1.2.3", 8080, 40, 900, 1};
  full.values[L"IP"] = Make(Text(L"10.1.2.3"));
  full.values[L"Port"] = Make(I4(8080));
  full.values[L"Volume"] = Make(I4(40));
  full.values[L"DelayTime"] = Make(I4(900));
  full.values[L"StreamType"] = Make(I4(1));
  full.errors[L"Volume"] = E_FAIL;
  EXPECT_EQ(persist->Load(&full, nullptr), S_OK);
  Properties want = loaded;
  want.volume = kCurrent.volume;
  EXPECT_EQ(Read(control_), want);

  comtest::MapBag empty;
  Write(control_, kCurrent);
  EXPECT_EQ(persist->Load(&empty, nullptr), S_OK);
  EXPECT_EQ(Read(control_), kCurrent) << "a bag without entries";
  EXPECT_EQ(persist->Load(nullptr, nullptr), E_POINTER);
  persist->Release();
}

// Streams

// A stream over bytes that can fail from a given offset on, and notes the largest read asked of
// it: the control reads into buffers of the size it asks for.
class ByteStream : public IStream {
 public:
  ByteStream(std::vector<BYTE> bytes, std::size_t fail_at = SIZE_MAX) : bytes_(std::move(bytes)), fail_at_(fail_at) {}
  virtual ~ByteStream() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) || IsEqualIID(iid, IID_IStream)) {
      *out = static_cast<IStream*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* read) override {
    largest_read = std::max<ULONG>(largest_read, size);
    if (read != nullptr) *read = 0;
    if (pos_ + size > fail_at_) return STG_E_ACCESSDENIED;
    const ULONG n = static_cast<ULONG>(std::min<std::size_t>(size, bytes_.size() - pos_));
    std::memcpy(data, bytes_.data() + pos_, n);
    pos_ += n;
    if (read != nullptr) *read = n;
    return n == size ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

  ULONG largest_read = 0;

 private:
  std::vector<BYTE> bytes_;
  std::size_t fail_at_;
  std::size_t pos_ = 0;
};

std::vector<BYTE> Saved(IReceiveAudio* control) {
  IPersistStreamInit* persist = nullptr;
  IStream* stream = nullptr;
  std::vector<BYTE> bytes;
  if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) && SUCCEEDED(persist->Save(stream, TRUE))) {
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (SUCCEEDED(GetHGlobalFromStream(stream, &memory)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
      const BYTE* p = static_cast<const BYTE*>(GlobalLock(memory));
      bytes.assign(p, p + stat.cbSize.QuadPart);
      GlobalUnlock(memory);
    }
  }
  if (stream != nullptr) stream->Release();
  if (persist != nullptr) persist->Release();
  return bytes;
}

// The first n bytes in a memory stream, which reads short at its end as streams do.
IStream* MemoryStream(const std::vector<BYTE>& bytes, std::size_t n) {
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
  ULONG written = 0;
  if (n > 0) stream->Write(bytes.data(), static_cast<ULONG>(n), &written);
  const LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

HRESULT LoadStream(IReceiveAudio* control, IStream* stream) {
  IPersistStreamInit* persist = nullptr;
  HRESULT hr = control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
  if (FAILED(hr)) return hr;
  hr = persist->Load(stream);
  persist->Release();
  return hr;
}

const Properties kSaved = {L"10.1.2.3", 8080, 40, 900, 1};

// Every stream cut short, by its end or by a failing read, is refused as a whole: nothing of it
// is put, so the control keeps its properties and loads the whole stream afterwards.
TEST_F(InputTest, AStreamCutAnywhereLoadsNothing) {
  Write(control_, kSaved);
  const std::vector<BYTE> bytes = Saved(control_);
  ASSERT_GT(bytes.size(), 4u);
  Write(control_, kCurrent);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << cut << " of " << bytes.size() << " bytes");
    IStream* memory = MemoryStream(bytes, cut);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(LoadStream(control_, memory), STG_E_READFAULT) << "ends early";
    memory->Release();
    ByteStream failing(bytes, cut);
    EXPECT_EQ(LoadStream(control_, &failing), STG_E_ACCESSDENIED) << "a read fails";
    ASSERT_EQ(Read(control_), kCurrent);
  }
  IStream* whole = MemoryStream(bytes, bytes.size());
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(LoadStream(control_, whole), S_OK);
  whole->Release();
  EXPECT_EQ(Read(control_), kSaved);
}

// The stream as the control lays it out: a member count, then per member its type and value.
class Layout {
 public:
  Layout& U32(DWORD n) { return Raw(&n, sizeof n); }
  Layout& Tag(automation::Type t) {
    const BYTE b = static_cast<BYTE>(t);
    return Raw(&b, 1);
  }
  Layout& Number(LONG n) { return Tag(automation::Type::kI4).Raw(&n, sizeof n); }
  Layout& Text(const std::wstring& s) {
    Tag(automation::Type::kText).U32(static_cast<DWORD>(s.size()));
    return Raw(s.data(), s.size() * sizeof(wchar_t));
  }
  Layout& Raw(const void* p, std::size_t n) {
    bytes.insert(bytes.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
    return *this;
  }
  std::vector<BYTE> bytes;
};

TEST_F(InputTest, GarbageStreamsAreRefusedWithoutHugeReads) {
  const auto five = [] { return Layout().U32(5).Text(L"10.1.2.3").Number(8080).Number(40).Number(900).Number(1); };
  std::vector<BYTE> random(64);
  std::uint32_t seed = 12345;
  for (BYTE& b : random) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<BYTE>(seed >> 16);
  }
  constexpr HRESULT kAnyFailure = 1;
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    HRESULT want;
    Properties after;
  };
  Properties two = kCurrent;
  two.ip = L"10.5.5.5";
  two.port = 8088;
  const Case cases[] = {
      {"no members", Layout().U32(0).bytes, S_OK, kCurrent},
      {"an older layout of two members", Layout().U32(2).Text(L"10.5.5.5").Number(8088).bytes, S_OK, two},
      {"members after the control's own", five().Number(7).Text(L"more").bytes, S_OK, kSaved},
      {"an unknown first tag", Layout().U32(5).Tag(automation::Type::kBool).Number(1).bytes, E_FAIL, kCurrent},
      {"Port tagged as text after a good IP", Layout().U32(5).Text(L"10.1.2.3").Text(L"8080").bytes, E_FAIL,
       kCurrent},
      {"a text length past the limit", Layout().U32(5).Tag(automation::Type::kText).U32(0x100001).bytes, E_FAIL,
       kCurrent},
      {"a text length of 4 G", Layout().U32(5).Tag(automation::Type::kText).U32(0xFFFFFFFF).bytes, E_FAIL,
       kCurrent},
      {"a 1 M text length with three characters",
       Layout().U32(5).Tag(automation::Type::kText).U32(0x100000).Raw(L"abc", 6).bytes, STG_E_READFAULT, kCurrent},
      {"random bytes", random, kAnyFailure, kCurrent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write(control_, kCurrent);
    ByteStream stream(c.bytes);
    const HRESULT hr = LoadStream(control_, &stream);
    if (c.want == kAnyFailure) {
      EXPECT_HRESULT_FAILED(hr);
    } else {
      EXPECT_EQ(hr, c.want) << std::hex << hr;
    }
    EXPECT_EQ(Read(control_), c.after);
    EXPECT_LE(stream.largest_read, 64u * 1024) << "a claimed length is no reason for a huge buffer";
  }
}

}  // namespace
