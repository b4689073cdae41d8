// Wide formatting with the Windows conventions, the decimal conversions and the
// comparisons that ignore case.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdarg>
#include <string>

namespace {

// Formats through the measuring call and _vsnwprintf, as the program's helpers do.
std::wstring Format(const wchar_t* format, ...) {
  va_list args, copy;
  va_start(args, format);
  va_copy(copy, args);
  int length = _vscwprintf(format, args);
  va_end(args);
  if (length < 0) {
    va_end(copy);
    return L"<error>";
  }
  std::wstring text(static_cast<size_t>(length) + 1, L'#');
  int written = _vsnwprintf(text.data(), text.size(), format, copy);
  va_end(copy);
  EXPECT_EQ(written, length);
  EXPECT_EQ(text[static_cast<size_t>(length)], L'\0');
  text.resize(static_cast<size_t>(length));
  return text;
}

struct Case {
  std::wstring got;
  std::wstring expected;
};

void ExpectAll(const std::initializer_list<Case>& cases) {
  int row = 0;
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << "row " << row++;
}

}  // namespace

TEST(WideFormat, FormatsTheProgramsTexts) {
  ExpectAll({
      {Format(L"%s -i \"%d\" -d", L"C:\\Kavro\\KavroLauncher.exe", 7),
       L"C:\\Kavro\\KavroLauncher.exe -i \"7\" -d"},
      {Format(L"%s /S \"/unpack=%s\" /launch=off", L"D:\\w\\kvinstaller.exe", L"D:\\游戏"),
       L"D:\\w\\kvinstaller.exe /S \"/unpack=D:\\游戏\" /launch=off"},
      {Format(L"[%4s]", L"ERRO"), L"[ERRO]"},
      {Format(L"[%4s]", L"ab"), L"[  ab]"},
      {Format(L"[%s:%d]", L".\\CommonUtils", 708), L"[.\\CommonUtils:708]"},
      {Format(L"%s\\%s", L"C:\\a", L"kvinstall.ini"), L"C:\\a\\kvinstall.ini"},
      {Format(L"CreateDir：%s ret：%d", L"C:\\网络", -5), L"CreateDir：C:\\网络 ret：-5"},
      {Format(L"%I64u-", 1099511627776ULL), L"1099511627776-"},
      {Format(L"%s文件大小(%lld)大于预期(%lld)大小  ", L"f", 5LL, -1LL), L"f文件大小(5)大于预期(-1)大小  "},
      {Format(L"%d%%", 95), L"95%"},
      {Format(L"%.0fB", 999.0), L"999B"},
      {Format(L"%.2fMB", 120.0), L"120.00MB"},
      {Format(L"%.1f", 3.14159), L"3.1"},
      {Format(L" fade='%d'", 128), L" fade='128'"},
      {Format(L"dest='0,0,%d,30' dest='0,0,%d,30'", 400, 36), L"dest='0,0,400,30' dest='0,0,36,30'"},
  });
}

TEST(WideFormat, IntegerSizesFollowWindows) {
  ExpectAll({
      {Format(L"%ld %lu", static_cast<LONG>(-5), static_cast<DWORD>(0xFFFFFFFFu)), L"-5 4294967295"},
      {Format(L"%I64d %lld", INT64_MIN, LLONG_MAX), L"-9223372036854775808 9223372036854775807"},
      {Format(L"%I64x %llu", 0xABCDEF0123ULL, ULLONG_MAX), L"abcdef0123 18446744073709551615"},
      {Format(L"%I32d %Iu", -1, static_cast<size_t>(1) << 40), L"-1 1099511627776"},
      {Format(L"%hd %hu %hhu", 70000, 65536 + 7, 258), L"4464 7 2"},
      {Format(L"%u %i", 4000000000u, -42), L"4000000000 -42"},
      {Format(L"%x %X %#x %o %#o", 255, 255, 255, 8, 8), L"ff FF 0xff 10 010"},
      {Format(L"%p", reinterpret_cast<void*>(0x12AB)), L"00000000000012AB"},
  });
}

TEST(WideFormat, FlagsWidthAndPrecision) {
  ExpectAll({
      {Format(L"[%5d|%-5d|%05d|%+d|% d]", 42, 42, 42, 42, 42), L"[   42|42   |00042|+42| 42]"},
      {Format(L"[%*d|%-*d|%*d]", 6, 1, 3, 2, -3, 3), L"[     1|2  |3  ]"},
      {Format(L"[%.3d|%.0d|%8.3f]", 7, 0, 2.5), L"[007||   2.500]"},
      {Format(L"[%.*s|%.2s|%-6s|%6s]", 3, L"abcdef", L"xyz", L"ab", L"cd"), L"[abc|xy|ab    |    cd]"},
      {Format(L"[%.*s]", -1, L"all"), L"[all]"},
      {Format(L"[%e|%G|%g]", 12345.678, 0.00001, 100000.0), L"[1.234568e+04|1E-05|100000]"},
      {Format(L"[%%|%5%]"), L"[%|%]"},
  });
}

TEST(WideFormat, NarrowAndWideTextArguments) {
  const wchar_t* nullWide = nullptr;
  const char* nullNarrow = nullptr;
  const char unterminated[3] = {'a', 'b', 'c'};
  ExpectAll({
      {Format(L"%S|%hs|%ls|%ws", "narrow", "h", L"l", L"w"), L"narrow|h|l|w"},
      {Format(L"%c%C%hc%lc", L'中', 'x', 'y', L'文'), L"中xy文"},
      {Format(L"[%3c|%-3C]", L'a', 'b'), L"[  a|b  ]"},
      {Format(L"%s|%S", nullWide, nullNarrow), L"(null)|(null)"},
      {Format(L"[%.3S]", unterminated), L"[abc]"},
      {Format(L"[%-4S]", "ab"), L"[ab  ]"},
  });
}

TEST(WideFormat, InvalidFormatsFail) {
  for (const wchar_t* format : {L"%", L"abc %", L"%y", L"%n", L"%99999999999d"}) {
    EXPECT_EQ(_scwprintf(format, 1), -1) << format;
    wchar_t buffer[8] = L"keep";
    EXPECT_EQ(_snwprintf(buffer, 8, format, 1), -1) << format;
  }
  EXPECT_EQ(_scwprintf(nullptr), -1);
}

TEST(WideFormat, SnwprintfTruncationAndTerminator) {
  struct {
    const wchar_t* text;
    size_t count;
    int result;
    std::wstring buffer;  // the whole 8-character buffer afterwards, '#' where untouched
  } cases[] = {
      {L"abc", 5, 3, std::wstring(L"abc\0####", 8)},
      {L"abcde", 5, 5, L"abcde###"},
      {L"abcdefg", 5, -1, L"abcde###"},
      {L"", 5, 0, std::wstring(L"\0#######", 8)},
      {L"abc", 0, -1, L"########"},
  };
  for (const auto& c : cases) {
    std::wstring buffer(8, L'#');
    EXPECT_EQ(_snwprintf(buffer.data(), c.count, L"%s", c.text), c.result) << c.text;
    EXPECT_EQ(buffer, c.buffer) << c.text;
  }
  EXPECT_EQ(_snwprintf(nullptr, 0, L"%s-%d", L"abc", 12), 6);
}

TEST(WideFormat, LengthsOfLongTexts) {
  std::wstring longText(5000, L'字');
  EXPECT_EQ(_scwprintf(L"[%s]", longText.c_str()), 5002);
  EXPECT_EQ(Format(L"%s%s", longText.c_str(), L"!"), longText + L"!");
  EXPECT_EQ(_scwprintf(L"%10000d", 1), 10000);
}

TEST(WideFormat, WsprintfFormatsIntoItsFixedBuffer) {
  wchar_t name[64];
  EXPECT_EQ(wsprintfW(name, L"_UPDATE_MODULE_HELPER_WINDOW_KAVRO%d", 1), 35);
  EXPECT_STREQ(name, L"_UPDATE_MODULE_HELPER_WINDOW_KAVRO1");

  // Output beyond its 1024-character limit is cut and still terminated.
  std::wstring big(2000, L'x');
  std::wstring buffer(2048, L'#');
  EXPECT_EQ(wsprintfW(buffer.data(), L"%s", big.c_str()), 1023);
  EXPECT_EQ(buffer.substr(0, 1024), std::wstring(1023, L'x') + L'\0');
  EXPECT_EQ(buffer[1024], L'#');
}

TEST(CrtStrings, DecimalConversions) {
  struct {
    const wchar_t* text;
    long long value64;
    int value32;
  } cases[] = {
      {L"123abc", 123, 123},
      {L"  \t-42", -42, -42},
      {L"+7", 7, 7},
      {L"", 0, 0},
      {L"abc", 0, 0},
      {L"70000", 70000, 70000},
      {L"- 5", 0, 0},
      {L"3000000000", 3000000000LL, INT_MAX},
      {L"-3000000000", -3000000000LL, INT_MIN},
      {L"99999999999999999999", LLONG_MAX, INT_MAX},
      {L"-9223372036854775808", LLONG_MIN, INT_MIN},
      {L"-99999999999999999999", LLONG_MIN, INT_MIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(_wtoi64(c.text), c.value64) << c.text;
    EXPECT_EQ(_wtoi(c.text), c.value32) << c.text;
  }
  EXPECT_EQ(static_cast<WORD>(_wtoi(L"-1")), 65535);
}

TEST(CrtStrings, ComparisonsIgnoreAsciiCase) {
  EXPECT_EQ(_wcsicmp(L"VerticalLayoutUI", L"verticallayoutui"), 0);
  EXPECT_LT(_wcsicmp(L"abc", L"ABD"), 0);
  EXPECT_GT(_wcsicmp(L"abcd", L"ABC"), 0);
  EXPECT_LT(_wcsicmp(L"_", L"a"), 0);  // letters compare as lower case, after '_'
  EXPECT_NE(_wcsicmp(L"É", L"é"), 0);  // only ASCII letters are folded
  EXPECT_EQ(_wcsnicmp(L"Fade='1'", L"fADE=", 5), 0);
  EXPECT_NE(_wcsnicmp(L"Fade", L"Fate", 4), 0);
  EXPECT_EQ(_stricmp("Skin/InstallPackages.XML", "skin/installpackages.xml"), 0);
  EXPECT_GT(_stricmp("b", "A"), 0);
}
