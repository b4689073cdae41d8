// The command line the entry point hands to wWinMain.
#include <gtest/gtest.h>

#include "internal/cmdline.h"

namespace {

TEST(CommandLine, QuotesOnlyWhereWindowsWould) {
  struct Case {
    std::wstring argument;
    std::wstring quoted;
  } cases[] = {
      {L"12", L"12"},
      {L"", L"\"\""},
      {L"a b", L"\"a b\""},
      {L"tab\there", L"\"tab\there\""},
      {L"C:\\path\\", L"C:\\path\\"},                     // backslashes alone stay
      {L"C:\\my dir\\", L"\"C:\\my dir\\\\\""},           // doubled before the closing quote
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},             // quotes escaped
      {L"a\\\"b", L"\"a\\\\\\\"b\""},                     // backslash before a quote doubled
      {L"网络", L"网络"},
  };
  for (const auto& item : cases) {
    EXPECT_EQ(kvplat::QuoteArgument(item.argument), item.quoted) << item.argument;
  }
  EXPECT_EQ(kvplat::JoinArguments({L"12", L"a b", L""}), L"12 \"a b\" \"\"");
  EXPECT_EQ(kvplat::JoinArguments({}), L"");
}

TEST(CommandLine, HostArgumentsDecodeInTheLocaleCodeset) {
  EXPECT_EQ(kvplat::HostArgumentToWide("70000"), L"70000");
  // Outside a UTF-8 locale (the test's "C" locale) bytes above 0x7F do not decode.
  EXPECT_EQ(kvplat::HostArgumentToWide("a\xff"), L"a\xFFFD");
}

}  // namespace
