#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "internal/library.h"

namespace {

// The build embeds tests/platform/resource_fixture.txt as resource KVTEST #7.
TEST(ModuleResources, FindsTheResourceTheBuildEmbedded) {
  HMODULE module = nullptr;  // the executable
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(7), L"kvtest");
  ASSERT_NE(resource, nullptr);
  DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const char* bytes = static_cast<const char*>(LockResource(loaded));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(bytes, size), "Resource fixture: embedded by the build, read back through FindResourceW.\n");
  EXPECT_FALSE(FreeResource(loaded));

  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(8), L"KVTEST"), nullptr);
  EXPECT_EQ(GetLastError(), 1814u);  // name not found
  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(7), L"OTHER"), nullptr);
  EXPECT_EQ(GetLastError(), 1813u);  // type not found
}

TEST(SystemLibraries, LooksUpTheImagingEntryPoints) {
  for (const wchar_t* name : {L"msimg32.dll", L"MSIMG32", L"C:\\Windows\\System32\\msimg32.dll"}) {
    HMODULE module = LoadLibraryW(name);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module, "AlphaBlend")),
              reinterpret_cast<void*>(reinterpret_cast<void (*)()>(&AlphaBlend)));
    EXPECT_NE(GetProcAddress(module, "GradientFill"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "TransparentBlt"), nullptr);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_TRUE(FreeLibrary(module));
  }
  EXPECT_EQ(LoadLibraryW(L"nosuch.dll"), nullptr);
  EXPECT_EQ(GetLastError(), 126u);

  kvplat::SetLibraryAvailable(L"msimg32.dll", false);
  EXPECT_EQ(LoadLibraryW(L"msimg32.dll"), nullptr);
  kvplat::SetLibraryAvailable(L"msimg32.dll", true);
  EXPECT_NE(LoadLibraryW(L"msimg32.dll"), nullptr);
}

}  // namespace
