// The registry of the prefix: keys, string values, their types and sizes, the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/TempPrefix.h"

namespace {

HKEY Create(const wchar_t* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  return key;
}

LSTATUS SetString(HKEY key, const wchar_t* name, DWORD type, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

}  // namespace

TEST(Registry, StringValuesRoundTripWithTypeAndSize) {
  TempPrefix prefix;
  const std::wstring folder = L"D:\\My Games\\Kavro网络\\KavroCorvix";
  HKEY key = Create(L"SOFTWARE\\KavroLauncher");
  DWORD disposition = 0;
  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"software\\kavrolauncher", 0, nullptr, 0, KEY_WRITE,
                            nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(SetString(again, L"InstPath", REG_SZ, folder), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, L"Expanded", REG_EXPAND_SZ, L"%ProgramData%\\x"), ERROR_SUCCESS);
  RegCloseKey(again);
  RegCloseKey(key);

  // Opened again, through the ANSI call and another case, as a reader would.
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KAVROLAUNCHER", 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR buffer[1025] = {};
  DWORD type = 0, size = 4096;
  ASSERT_EQ(RegQueryValueExW(key, L"instpath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, (folder.size() + 1) * sizeof(WCHAR));
  EXPECT_EQ(std::wstring(buffer), folder);

  size = 0;
  ASSERT_EQ(RegQueryValueExW(key, L"Expanded", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(size, sizeof(L"%ProgramData%\\x"));
  // Too small a buffer: ERROR_MORE_DATA with the size needed, buffer untouched.
  WCHAR small[4] = {L'x', 0, 0, 0};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, L"Expanded", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(L"%ProgramData%\\x"));
  EXPECT_EQ(small[0], L'x');
  RegCloseKey(key);
}

TEST(Registry, FailuresReturnTheirCodes) {
  TempPrefix prefix;
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KavroLauncher", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  HKEY readOnly = Create(L"SOFTWARE\\KavroLauncher", KEY_READ);
  EXPECT_EQ(SetString(readOnly, L"InstPath", REG_SZ, L"C:\\x"), ERROR_ACCESS_DENIED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(readOnly, L"InstPath", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  HKEY writeOnly = Create(L"SOFTWARE\\KavroLauncher", KEY_SET_VALUE);
  EXPECT_EQ(SetString(writeOnly, L"InstPath", REG_SZ, L"C:\\x"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExW(writeOnly, L"InstPath", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(readOnly), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExW(readOnly, L"InstPath", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  RegCloseKey(writeOnly);
}

TEST(Registry, FileKeepsTheExportLayout) {
  TempPrefix prefix;
  HKEY key = Create(L"SOFTWARE\\KavroLauncher");
  SetString(key, L"InstPath", REG_SZ, L"C:\\Kavro网络\\\"q\"");
  SetString(key, L"Ex", REG_EXPAND_SZ, L"%A%");
  // A string without its terminator is kept exactly, written as bytes.
  const WCHAR raw[] = {L'a', L'b'};
  RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
  RegCloseKey(key);
  EXPECT_EQ(ReadHostFile(prefix.Host("system.reg")),
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KavroLauncher]\n"
            "\"InstPath\"=\"C:\\\\Kavro网络\\\\\\\"q\\\"\"\n"
            "\"Ex\"=hex(2):25,00,41,00,25,00,00,00\n"
            "\"Raw\"=hex(1):61,00,62,00\n");

  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KavroLauncher", 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR buffer[8] = {};
  DWORD type = 0, size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, L"Raw", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, sizeof raw);
  RegCloseKey(key);
}

TEST(Registry, ReadsAHandWrittenFile) {
  TempPrefix prefix;
  WriteHostFile(prefix.Host("system.reg"),
                "Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KavroLauncher]\r\n"
                "\"InstPath\"=hex(2):43,00,3a,00,5c,00,00,00\r\n"
                "\"Broken\"=hex(1):zz\r\n"
                "@=\"default\"\r\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KavroLauncher", 0, KEY_READ, &key), ERROR_SUCCESS);
  WCHAR buffer[16] = {};
  DWORD type = 0, size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, L"InstPath", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(std::wstring(buffer), L"C:\\");
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(buffer), L"default");
  RegCloseKey(key);
}
