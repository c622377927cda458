// The type library inside each control DLL against the control's member table: the same members
// in the same order, with the same names, DISPIDs, kinds, types and help strings. With
// ZUB_TYPELIB_DIR32 set (a directory), the libraries checked are those of the DLLs of the same
// names there instead: the 32-bit DLLs cannot run here, but their type libraries can be read
// (they are data) and must say the same for 32-bit Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Oru_cam.h"
#include "Oru_cam/CamCtl.h"
#include "ZubAudioR.h"
#include "ZubAudioR/ReceiveAudio.h"
#include "com/variant_type.h"
#include "dll_loader.h"

namespace {

using automation::Kind;
using automation::Member;
using automation::Type;

std::wstring Wide(const char* utf8) {
  if (utf8 == nullptr) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring s(n > 0 ? n - 1 : 0, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, s.data(), n);
  return s;
}

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring TakeBstr(BSTR b) {
  std::wstring s = b != nullptr ? std::wstring(b, SysStringLen(b)) : std::wstring();
  SysFreeString(b);
  return s;
}

// One vtable entry as the member table implies it.
struct Expected {
  const Member* member;
  INVOKEKIND kind;
  std::vector<VARTYPE> params;  // [out, retval] ones as VT_PTR to the type, written VT_BYREF|type
};

std::vector<Expected> ExpectedFunctions(std::span<const Member> members) {
  std::vector<Expected> out;
  for (const Member& m : members) {
    if (m.flags & automation::kHidden) continue;  // persisted only: not in the type library
    if (m.kind == Kind::kMethod) {
      Expected e{&m, INVOKE_FUNC, {}};
      for (const automation::Param& p : m.params) e.params.push_back(com::VariantTypeOf(p.type));
      // A result is the vtable entry's last parameter, [out, retval].
      if (m.type != Type::kVoid) e.params.push_back(static_cast<VARTYPE>(VT_BYREF | com::VariantTypeOf(m.type)));
      out.push_back(e);
      continue;
    }
    if (m.get) out.push_back({&m, INVOKE_PROPERTYGET, {static_cast<VARTYPE>(VT_BYREF | com::VariantTypeOf(m.type))}});
    if (m.put) out.push_back({&m, INVOKE_PROPERTYPUT, {com::VariantTypeOf(m.type)}});
  }
  return out;
}

// What one DLL's library must hold besides its member table.
struct Library {
  const char* test_name;
  const wchar_t* dll;
  const GUID* libid;
  const char* name;
  const char* help;
  struct Type {
    const GUID* guid;
    const char* name;
    const char* help;
  } dual, events, coclass;
  std::unique_ptr<automation::Control> (*make)();  // a control, for its member table
};

const Library kLibraries[] = {
    {"ZubAudioR", L"ZubAudioR.dll", &LIBID_Zu_R_AudioLib, "Zu_R_AudioLib", "Zu_R_Audio 1.0 タイプ ライブラリ",
     {&IID_IReceiveAudio, "IReceiveAudio", "IReceiveAudio インターフェイス"},
     {&DIID__IReceiveAudioEvents, "_IReceiveAudioEvents", "_IReceiveAudioEvents インターフェイス"},
     {&CLSID_ReceiveAudio, "ReceiveAudio", "ReceiveAudio Class"},
     [] { return std::unique_ptr<automation::Control>(new zubr::CReceiveAudio); }},
    {"Oru_cam", L"Oru_cam.dll", &LIBID_Oru_camLib, "Oru_camLib", "Oru_cam 1.0 タイプ ライブラリ",
     {&IID_ICamCtl, "ICamCtl", "ICamCtl インターフェイス"},
     {&DIID__ICamCtlEvents, "_ICamCtlEvents", "_ICamCtlEvents インターフェイス"},
     {&CLSID_CamCtl, "CamCtl", "CamCtl Class"},
     [] { return std::unique_ptr<automation::Control>(new orucam::CCamCtl); }},
};

// The DLL whose type library is checked, and the system it must be built for.
std::wstring CheckedDll(const Library& library) {
  wchar_t dir[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"ZUB_TYPELIB_DIR32", dir, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(dir, n) + L"\\" + library.dll : comtest::DllPath(library.dll);
}

SYSKIND CheckedSystem() {
  return GetEnvironmentVariableW(L"ZUB_TYPELIB_DIR32", nullptr, 0) > 0 ? SYS_WIN32
         : sizeof(void*) == 8                                        ? SYS_WIN64
                                                                      : SYS_WIN32;
}

VARTYPE VtOfDesc(const TYPEDESC& d) {
  if (d.vt == VT_PTR) return static_cast<VARTYPE>(VT_BYREF | d.lptdesc->vt);
  return d.vt;
}

class TypeLibTest : public testing::TestWithParam<Library> {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(CheckedDll(GetParam()).c_str(), REGKIND_NONE, &lib_));
  }
  void TearDown() override {
    if (lib_ != nullptr) lib_->Release();
  }
  ITypeInfo* Info(REFGUID guid) {
    ITypeInfo* info = nullptr;
    EXPECT_HRESULT_SUCCEEDED(lib_->GetTypeInfoOfGuid(guid, &info));
    return info;
  }
  std::wstring HelpString(ITypeInfo* info, MEMBERID id) {
    BSTR help = nullptr;
    EXPECT_HRESULT_SUCCEEDED(info->GetDocumentation(id, nullptr, &help, nullptr, nullptr));
    return TakeBstr(help);
  }
  ITypeLib* lib_ = nullptr;
};

// The help strings are stored in code page 932; only a reader in that code page gets them back.
void ExpectJapaneseCodePage() {
  ASSERT_EQ(GetACP(), 932u) << "run under LC_ALL=ja_JP.UTF-8: the help strings are CP932";
}

TEST_P(TypeLibTest, LibraryAndTypesCarryTheirIdentityAndHelp) {
  ExpectJapaneseCodePage();
  const Library& library = GetParam();
  TLIBATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(lib_->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, *library.libid));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, CheckedSystem());
  lib_->ReleaseTLibAttr(attr);
  BSTR name = nullptr, help = nullptr;
  ASSERT_HRESULT_SUCCEEDED(lib_->GetDocumentation(-1, &name, &help, nullptr, nullptr));
  EXPECT_EQ(Utf8(TakeBstr(name)), library.name);
  EXPECT_EQ(Utf8(TakeBstr(help)), library.help);

  struct Row {
    const Library::Type& type;
    TYPEKIND kind;
    WORD flags;
  } const rows[] = {
      {library.dual, TKIND_DISPATCH, TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
      {library.events, TKIND_DISPATCH, 0},
      {library.coclass, TKIND_COCLASS, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type.name);
    ITypeInfo* info = Info(*row.type.guid);
    ASSERT_NE(info, nullptr);
    TYPEATTR* ta = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetTypeAttr(&ta));
    EXPECT_EQ(ta->typekind, row.kind);
    EXPECT_EQ(ta->wTypeFlags & row.flags, row.flags);
    // The events interface declares nothing; all it may list is what IDispatch brings.
    for (UINT f = 0; &row.type == &library.events && f < ta->cFuncs; ++f) {
      FUNCDESC* fd = nullptr;
      ASSERT_HRESULT_SUCCEEDED(info->GetFuncDesc(f, &fd));
      BSTR fname = nullptr;
      UINT count = 0;
      ASSERT_HRESULT_SUCCEEDED(info->GetNames(fd->memid, &fname, 1, &count));
      const std::string n = Utf8(TakeBstr(fname));
      EXPECT_TRUE(n == "QueryInterface" || n == "AddRef" || n == "Release" ||
                  n == "GetTypeInfoCount" || n == "GetTypeInfo" || n == "GetIDsOfNames" || n == "Invoke")
          << n;
      info->ReleaseFuncDesc(fd);
    }
    info->ReleaseTypeAttr(ta);
    BSTR type_name = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &type_name, nullptr, nullptr, nullptr));
    EXPECT_EQ(Utf8(TakeBstr(type_name)), row.type.name);
    EXPECT_EQ(Utf8(HelpString(info, MEMBERID_NIL)), row.type.help);
    info->Release();
  }
}

TEST_P(TypeLibTest, ClassImplementsTheInterfaceAndSourcesTheEvents) {
  const Library& library = GetParam();
  ITypeInfo* info = Info(*library.coclass.guid);
  ASSERT_NE(info, nullptr);
  struct Row {
    const GUID* guid;
    int flags;
  } const rows[] = {
      {library.dual.guid, IMPLTYPEFLAG_FDEFAULT},
      {library.events.guid, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
  };
  for (UINT i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    INT flags = 0;
    ASSERT_HRESULT_SUCCEEDED(info->GetImplTypeFlags(i, &flags));
    EXPECT_EQ(flags, rows[i].flags);
    HREFTYPE ref = 0;
    ITypeInfo* impl = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetRefTypeOfImplType(i, &ref));
    ASSERT_HRESULT_SUCCEEDED(info->GetRefTypeInfo(ref, &impl));
    TYPEATTR* ta = nullptr;
    ASSERT_HRESULT_SUCCEEDED(impl->GetTypeAttr(&ta));
    EXPECT_TRUE(IsEqualGUID(ta->guid, *rows[i].guid));
    impl->ReleaseTypeAttr(ta);
    impl->Release();
  }
  info->Release();
}

// The vtable side of the dual interface lists exactly the table's scriptable members, in its
// order; a property's get and put may come in either order, as the IDL declares them.
TEST_P(TypeLibTest, InterfaceMembersMatchTheControlsMemberTable) {
  ExpectJapaneseCodePage();
  const std::unique_ptr<automation::Control> control = GetParam().make();
  const std::vector<Expected> expected = ExpectedFunctions(control->Members());

  ITypeInfo* dispatch = Info(*GetParam().dual.guid);
  ASSERT_NE(dispatch, nullptr);
  HREFTYPE ref = 0;
  ITypeInfo* info = nullptr;
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetRefTypeOfImplType(-1, &ref));
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetRefTypeInfo(ref, &info));
  dispatch->Release();
  TYPEATTR* ta = nullptr;
  ASSERT_HRESULT_SUCCEEDED(info->GetTypeAttr(&ta));
  EXPECT_EQ(ta->typekind, TKIND_INTERFACE);
  EXPECT_EQ(ta->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION), TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
  ASSERT_EQ(ta->cFuncs, expected.size());
  info->ReleaseTypeAttr(ta);

  std::vector<bool> seen(expected.size());
  std::vector<MEMBERID> member_order;  // each member's DISPID where the library first lists it
  for (UINT i = 0; i < expected.size(); ++i) {
    FUNCDESC* fd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetFuncDesc(i, &fd));
    const auto match = std::find_if(expected.begin(), expected.end(), [&](const Expected& e) {
      return e.member->dispid == fd->memid && e.kind == fd->invkind;
    });
    ASSERT_NE(match, expected.end()) << "function " << i << ": DISPID " << fd->memid << ", kind " << fd->invkind
                                     << " is not in the member table";
    const Expected& e = *match;
    SCOPED_TRACE(testing::Message() << e.member->name << " (function " << i << ")");
    const std::size_t at = static_cast<std::size_t>(match - expected.begin());
    EXPECT_FALSE(seen[at]) << "listed twice";
    seen[at] = true;
    if (member_order.empty() || member_order.back() != fd->memid) member_order.push_back(fd->memid);
    EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(static_cast<std::size_t>(fd->cParams), e.params.size());
    for (SHORT p = 0; p < fd->cParams; ++p) {
      EXPECT_EQ(VtOfDesc(fd->lprgelemdescParam[p].tdesc), e.params[p]) << "parameter " << p;
    }
    // A get's value and a method's result come back through the last parameter.
    const bool returns = e.kind == INVOKE_PROPERTYGET || (e.kind == INVOKE_FUNC && e.member->type != Type::kVoid);
    for (SHORT p = 0; p < fd->cParams; ++p) {
      const bool retval = returns && p == fd->cParams - 1;
      EXPECT_EQ(fd->lprgelemdescParam[p].paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                retval ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN)
          << "parameter " << p;
    }
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_HRESULT_SUCCEEDED(info->GetNames(fd->memid, names, 4, &count));
    std::vector<std::wstring> got;
    for (UINT n = 0; n < count; ++n) got.push_back(TakeBstr(names[n]));
    ASSERT_GE(got.size(), 1u);
    EXPECT_EQ(Utf8(got[0]), e.member->name);
    if (e.kind == INVOKE_FUNC) {
      // The name, the table's parameters, and the result's parameter, whose name is the IDL's own.
      ASSERT_EQ(got.size(), 1 + e.params.size());
      for (std::size_t p = 0; p < e.member->params.size(); ++p) {
        EXPECT_EQ(Utf8(got[p + 1]), e.member->params[p].name);
      }
    }
    EXPECT_EQ(HelpString(info, fd->memid), Wide(e.member->help));
    info->ReleaseFuncDesc(fd);
  }
  std::vector<MEMBERID> table_order;
  for (const Expected& e : expected) {
    if (table_order.empty() || table_order.back() != e.member->dispid) table_order.push_back(e.member->dispid);
  }
  EXPECT_EQ(member_order, table_order);
  // The persisted-only rows are no names a script could use.
  for (const automation::Member& m : control->Members()) {
    if (!(m.flags & automation::kHidden)) continue;
    std::wstring hidden = Wide(m.name);
    LPOLESTR names[] = {hidden.data()};
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME) << m.name;
  }
  info->Release();
}

void PrintTo(const Library& library, std::ostream* out) { *out << library.test_name; }

INSTANTIATE_TEST_SUITE_P(Dlls, TypeLibTest, testing::ValuesIn(kLibraries),
                         [](const testing::TestParamInfo<Library>& info) { return std::string(info.param.test_name); });

}  // namespace
