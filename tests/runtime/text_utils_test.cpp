// The text helpers: code-page conversions, formatting and trimming.
#include <gtest/gtest.h>

#include <string>

#include "Runtime/TextUtils.h"
#include "support/LocaleScope.h"

TEST(TextUtils, AnsiConversionsFollowTheLocaleCodeset) {
  {
    LocaleScope locale("C");  // ASCII: a character outside it becomes a space
    EXPECT_EQ(WideToAnsi(L"http://h/游戏/kvinstaller.exe"), "http://h/  /kvinstaller.exe");
    EXPECT_EQ(AnsiToWide("Content-Length: 1234\r\n"), L"Content-Length: 1234\r\n");
  }
  LocaleScope locale("C.UTF-8");
  // Far more than two bytes per character must still come out whole.
  std::wstring path = L"C:\\" + std::wstring(300, L'网') + L"\\x";
  std::string bytes = WideToAnsi(path);
  EXPECT_EQ(bytes.size(), 3u + 900u + 2u);
  EXPECT_EQ(AnsiToWide(bytes), path);
  EXPECT_EQ(WideToAnsi(L""), "");
  EXPECT_EQ(AnsiToWide(""), L"");
}

TEST(TextUtils, Utf8ToWide) {
  EXPECT_EQ(Utf8ToWide("\xE4\xB8\xAD"), L"中");
  EXPECT_EQ(Utf8ToWide("\xEF\xBB\xBF[Install]"), L"\xFEFF[Install]");  // the mark is kept
  EXPECT_EQ(Utf8ToWide("a\xFF"), L"a\xFFFD");
  EXPECT_EQ(Utf8ToWide(""), L"");
}

TEST(TextUtils, WideToUtf16Le) {
  EXPECT_EQ(WideToUtf16Le(L"A中"), std::string("A\0\x2D\x4E", 4));
  EXPECT_EQ(WideToUtf16Le(L"\U0001F3AE"), "\x3C\xD8\xAE\xDF");
  EXPECT_EQ(WideToUtf16Le(L""), "");
}

TEST(TextUtils, FormatString) {
  EXPECT_EQ(FormatString(L"%s -i \"%d\" -d", L"C:\\K\\KavroLauncher.exe", 7),
            L"C:\\K\\KavroLauncher.exe -i \"7\" -d");
  std::wstring longText(4000, L'x');
  EXPECT_EQ(FormatString(L"%s%s", longText.c_str(), L"y"), longText + L"y");
  EXPECT_EQ(FormatString(nullptr), L"");
  EXPECT_EQ(FormatString(L""), L"");
  EXPECT_EQ(FormatString(L"%y"), L"");
}

TEST(TextUtils, TrimWhitespace) {
  struct {
    std::wstring in, out;
  } cases[] = {
      {L"\r\n", L""},
      {L"  Content-Length", L"Content-Length"},
      {L" 1234\r\n", L"1234"},
      {L"\t\v\f a b \u3000", L"a b"},
      {L"", L""},
      {L"x", L"x"},
  };
  LocaleScope locale("C.UTF-8");  // the ideographic space is white space in it
  for (auto c : cases) {
    std::wstring& result = TrimWhitespace(c.in);
    EXPECT_EQ(&result, &c.in);
    EXPECT_EQ(c.in, c.out);
  }
  // A header line split at its colon, each side trimmed.
  std::wstring line = AnsiToWide("Content-Length: 1234\r\n");
  size_t colon = line.find(L':');
  std::wstring name = line.substr(0, colon), value = line.substr(colon + 1);
  EXPECT_EQ(TrimWhitespace(name), L"Content-Length");
  EXPECT_EQ(TrimWhitespace(value), L"1234");
}
