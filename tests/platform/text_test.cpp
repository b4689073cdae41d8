// Code-page conversions and the console and debugger output.
#include <gtest/gtest.h>
#include <windows.h>

#include <unistd.h>

#include <functional>
#include <string>

#include "support/CapturedStream.h"
#include "support/LocaleScope.h"

namespace {

std::wstring ToWide(UINT codePage, const std::string& bytes) {
  int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                text.data(), n),
            n);
  return text;
}

std::string ToBytes(UINT codePage, const std::wstring& text, const char* defaultChar = nullptr,
                    BOOL* usedDefault = nullptr) {
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              defaultChar, usedDefault);
  std::string bytes(static_cast<size_t>(n), '\0');
  EXPECT_EQ(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                bytes.data(), n, defaultChar, usedDefault),
            n);
  return bytes;
}

}  // namespace

TEST(CodePages, Utf8DecodingReplacesInvalidInput) {
  struct {
    std::string bytes;
    std::wstring text;
  } cases[] = {
      {"\xE4\xB8\xAD", L"中"},
      {"a\xFF" "b", L"a\xFFFD" L"b"},
      {"\xE4\xB8", L"\xFFFD"},
      {"\xC0\xAF!", L"\xFFFD\xFFFD!"},
      {"\xED\xA0\x80", L"\xFFFD"},
      {"\xF0\x9F\x8E\xAE", L"\U0001F3AE"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.text);
}

TEST(CodePages, Utf8EncodingReplacesLoneSurrogates) {
  EXPECT_EQ(ToBytes(CP_UTF8, L"C:\\Kavro网络"), "C:\\Kavro\xE7\xBD\x91\xE7\xBB\x9C");
  EXPECT_EQ(ToBytes(CP_UTF8, std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
  // UTF-8 can represent everything, so it takes no default character.
  char out[8];
  BOOL used;
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"x", 1, out, 8, " ", nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"x", 1, out, 8, nullptr, &used), 0);
}

TEST(CodePages, TerminatedInputConvertsItsTerminator) {
  char bytes[8] = "#######";
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ab", -1, bytes, 8, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(bytes, 4), std::string("ab\0#", 4));
  wchar_t wide[8] = L"#######";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xE4\xB8\xAD", -1, wide, 8), 2);
  EXPECT_EQ(std::wstring(wide, 3), std::wstring(L"中\0#", 3));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "", -1, nullptr, 0), 1);
}

TEST(CodePages, BufferAndParameterErrors) {
  wchar_t wide[2];
  char bytes[2];
  struct {
    std::function<int()> call;
    DWORD error;
  } cases[] = {
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2); }, ERROR_INSUFFICIENT_BUFFER},
      {[&] { return WideCharToMultiByte(CP_ACP, 0, L"abc", 3, bytes, 2, nullptr, nullptr); },
       ERROR_INSUFFICIENT_BUFFER},
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, "abc", 0, wide, 2); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, wide, 2); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, "abc", -2, wide, 2); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 2); }, ERROR_INVALID_PARAMETER},
      {[&] { return MultiByteToWideChar(1252, 0, "abc", 3, wide, 2); }, ERROR_INVALID_PARAMETER},
      {[&] { return WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, bytes, -1, nullptr, nullptr); },
       ERROR_INVALID_PARAMETER},
  };
  int row = 0;
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(c.call(), 0) << "row " << row;
    EXPECT_EQ(GetLastError(), c.error) << "row " << row++;
  }
}

TEST(CodePages, AnsiIsTheLocaleCodeset) {
  {
    LocaleScope locale("C.UTF-8");
    const std::wstring path = L"C:\\Kavro网络\\KavroCorvix";
    BOOL used = TRUE;
    std::string bytes = ToBytes(CP_ACP, path, " ", &used);
    EXPECT_EQ(bytes, ToBytes(CP_UTF8, path));
    EXPECT_FALSE(used);
    EXPECT_EQ(ToWide(CP_ACP, bytes), path);
    EXPECT_EQ(ToBytes(CP_ACP, std::wstring(L"a") + static_cast<wchar_t>(0xDC00), " ", &used), "a ");
    EXPECT_TRUE(used);
  }
  {
    LocaleScope locale("C");  // plain ASCII: everything above 0x7F is unrepresentable
    BOOL used = FALSE;
    EXPECT_EQ(ToBytes(CP_ACP, L"http://h/é.exe", " ", &used), "http://h/ .exe");
    EXPECT_TRUE(used);
    EXPECT_EQ(ToBytes(CP_ACP, L"中x", nullptr, &used), "?x");
    EXPECT_EQ(ToBytes(CP_ACP, L"plain", " ", &used), "plain");
    EXPECT_FALSE(used);
    EXPECT_EQ(ToWide(CP_ACP, "Content-Length: 1234\r\n"), L"Content-Length: 1234\r\n");
    EXPECT_EQ(ToWide(CP_ACP, "a\xE9" "b"), L"a\xFFFD" L"b");
  }
}

TEST(Console, StandardHandlesAndOutput) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), out);
  EXPECT_NE(GetStdHandle(STD_ERROR_HANDLE), out);
  EXPECT_EQ(GetStdHandle(12345), INVALID_HANDLE_VALUE);

  LocaleScope locale("C.UTF-8");
  {
    CapturedStream captured(STDOUT_FILENO);
    const std::wstring line = L"[INFO]下载 ok\r\n";
    DWORD written = 0;
    EXPECT_TRUE(WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr));
    EXPECT_EQ(written, line.size());
    EXPECT_EQ(captured.Text(), "[INFO]\xE4\xB8\x8B\xE8\xBD\xBD ok\r\n");
  }
  {
    CapturedStream captured(STDERR_FILENO);
    OutputDebugStringW(L"trace 网络\r\n");
    EXPECT_EQ(captured.Text(), "trace \xE7\xBD\x91\xE7\xBB\x9C\r\n");
  }
  DWORD written = 7;
  EXPECT_FALSE(WriteConsoleW(nullptr, L"x", 1, &written, nullptr));
  EXPECT_EQ(written, 0u);
}
