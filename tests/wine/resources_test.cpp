// The resources that registration and containers read from each control DLL: the project name
// (string 100), the toolbox bitmap (102) and the self-registering version block.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dll_loader.h"

namespace {

struct Resources {
  const char* test_name;
  const wchar_t* dll;
  const wchar_t* project;  // string 100, the AppID key's name
};

const Resources kDlls[] = {
    {"ZubAudioR", L"ZubAudioR.dll", L"Zub_R_Audio"},
    {"Oru_cam", L"Oru_cam.dll", L"Oru_cam"},
};

void PrintTo(const Resources& dll, std::ostream* out) { *out << dll.test_name; }

class ResourcesTest : public testing::TestWithParam<Resources> {};

TEST_P(ResourcesTest, ProjectNameAndToolboxBitmap) {
  HMODULE module = LoadLibraryW(comtest::DllPath(GetParam().dll).c_str());
  ASSERT_NE(module, nullptr);
  wchar_t text[64] = {};
  ASSERT_GT(LoadStringW(module, 100, text, 64), 0);
  EXPECT_EQ(std::wstring(text), GetParam().project);
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(102), IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info = {};
  ASSERT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 16);
  EXPECT_EQ(info.bmHeight, 16);
  DeleteObject(bitmap);
  FreeLibrary(module);
}

TEST_P(ResourcesTest, VersionBlockIsJapaneseUnicodeAndSelfRegistering) {
  const std::wstring path = comtest::DllPath(GetParam().dll);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x411);
  EXPECT_EQ(translation[1], 1200);
  void* value = nullptr;
  EXPECT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041104b0\\OLESelfRegister", &value, &length));
}

INSTANTIATE_TEST_SUITE_P(Dlls, ResourcesTest, testing::ValuesIn(kDlls),
                         [](const testing::TestParamInfo<Resources>& info) { return std::string(info.param.test_name); });

}  // namespace
