// The type library inside ZubAudioR.dll against the control's member table: the same members in
// the same order, with the same names, DISPIDs, kinds, types and help strings. With
// ZUB_TYPELIB_DLL32 set, the library checked is that DLL's instead: the 32-bit DLL cannot run here,
// but its type library can be read (it is data) and must say the same for 32-bit Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ZubAudioR.h"
#include "com/variant_type.h"
#include "ZubAudioR/ReceiveAudio.h"
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
      out.push_back(e);
      continue;
    }
    if (m.get) out.push_back({&m, INVOKE_PROPERTYGET, {static_cast<VARTYPE>(VT_BYREF | com::VariantTypeOf(m.type))}});
    if (m.put) out.push_back({&m, INVOKE_PROPERTYPUT, {com::VariantTypeOf(m.type)}});
  }
  return out;
}

// The DLL whose type library is checked, and the system it must be built for.
std::wstring CheckedDll() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"ZUB_TYPELIB_DLL32", path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path, n) : comtest::DllPath();
}

SYSKIND CheckedSystem() {
  return GetEnvironmentVariableW(L"ZUB_TYPELIB_DLL32", nullptr, 0) > 0 ? SYS_WIN32
         : sizeof(void*) == 8                                        ? SYS_WIN64
                                                                      : SYS_WIN32;
}

VARTYPE VtOfDesc(const TYPEDESC& d) {
  if (d.vt == VT_PTR) return static_cast<VARTYPE>(VT_BYREF | d.lptdesc->vt);
  return d.vt;
}

class TypeLibTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(CheckedDll().c_str(), REGKIND_NONE, &lib_));
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

TEST_F(TypeLibTest, LibraryAndTypesCarryTheirIdentityAndHelp) {
  ExpectJapaneseCodePage();
  TLIBATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(lib_->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_Zu_R_AudioLib));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, CheckedSystem());
  lib_->ReleaseTLibAttr(attr);
  BSTR name = nullptr, help = nullptr;
  ASSERT_HRESULT_SUCCEEDED(lib_->GetDocumentation(-1, &name, &help, nullptr, nullptr));
  EXPECT_EQ(Utf8(TakeBstr(name)), "Zu_R_AudioLib");
  EXPECT_EQ(Utf8(TakeBstr(help)), "Zu_R_Audio 1.0 タイプ ライブラリ");

  struct Row {
    const GUID* guid;
    const char* name;
    TYPEKIND kind;
    WORD flags;
    const char* help;
  } const rows[] = {
      {&IID_IReceiveAudio, "IReceiveAudio", TKIND_DISPATCH,
       TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
       "IReceiveAudio インターフェイス"},
      {&DIID__IReceiveAudioEvents, "_IReceiveAudioEvents", TKIND_DISPATCH, 0,
       "_IReceiveAudioEvents インターフェイス"},
      {&CLSID_ReceiveAudio, "ReceiveAudio", TKIND_COCLASS, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL,
       "ReceiveAudio Class"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ITypeInfo* info = Info(*row.guid);
    ASSERT_NE(info, nullptr);
    TYPEATTR* ta = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetTypeAttr(&ta));
    EXPECT_EQ(ta->typekind, row.kind);
    EXPECT_EQ(ta->wTypeFlags & row.flags, row.flags);
    // The events interface declares nothing; all it may list is what IDispatch brings.
    for (UINT f = 0; row.guid == &DIID__IReceiveAudioEvents && f < ta->cFuncs; ++f) {
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
    EXPECT_EQ(Utf8(TakeBstr(type_name)), row.name);
    EXPECT_EQ(Utf8(HelpString(info, MEMBERID_NIL)), row.help);
    info->Release();
  }
}

TEST_F(TypeLibTest, ClassImplementsTheInterfaceAndSourcesTheEvents) {
  ITypeInfo* info = Info(CLSID_ReceiveAudio);
  ASSERT_NE(info, nullptr);
  struct Row {
    const GUID* guid;
    int flags;
  } const rows[] = {
      {&IID_IReceiveAudio, IMPLTYPEFLAG_FDEFAULT},
      {&DIID__IReceiveAudioEvents, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
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

// The vtable side of the dual interface lists exactly the table's members, in its order.
TEST_F(TypeLibTest, InterfaceMembersMatchTheControlsMemberTable) {
  ExpectJapaneseCodePage();
  zubr::CReceiveAudio control;
  const std::vector<Expected> expected = ExpectedFunctions(control.Members());

  ITypeInfo* dispatch = Info(IID_IReceiveAudio);
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

  for (UINT i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    SCOPED_TRACE(testing::Message() << e.member->name << " (function " << i << ")");
    FUNCDESC* fd = nullptr;
    ASSERT_HRESULT_SUCCEEDED(info->GetFuncDesc(i, &fd));
    EXPECT_EQ(fd->memid, e.member->dispid);
    EXPECT_EQ(fd->invkind, e.kind);
    EXPECT_EQ(fd->elemdescFunc.tdesc.vt, VT_HRESULT);
    ASSERT_EQ(static_cast<std::size_t>(fd->cParams), e.params.size());
    for (SHORT p = 0; p < fd->cParams; ++p) {
      EXPECT_EQ(VtOfDesc(fd->lprgelemdescParam[p].tdesc), e.params[p]) << "parameter " << p;
    }
    if (e.kind == INVOKE_PROPERTYGET) {
      EXPECT_EQ(fd->lprgelemdescParam[0].paramdesc.wParamFlags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    }
    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_HRESULT_SUCCEEDED(info->GetNames(fd->memid, names, 4, &count));
    std::vector<std::wstring> got;
    for (UINT n = 0; n < count; ++n) got.push_back(TakeBstr(names[n]));
    ASSERT_GE(got.size(), 1u);
    EXPECT_EQ(Utf8(got[0]), e.member->name);
    if (e.kind == INVOKE_FUNC) {
      ASSERT_EQ(got.size(), e.member->params.size() + 1);
      for (std::size_t p = 0; p < e.member->params.size(); ++p) {
        EXPECT_EQ(Utf8(got[p + 1]), e.member->params[p].name);
      }
    }
    EXPECT_EQ(HelpString(info, fd->memid), Wide(e.member->help));
    info->ReleaseFuncDesc(fd);
  }
  info->Release();
}

}  // namespace
