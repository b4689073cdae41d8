// Switches the process locale (and so the ANSI code page) for one test and restores it.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

class LocaleScope {
 public:
  explicit LocaleScope(const char* name) : previous_(setlocale(LC_ALL, nullptr)) {
    EXPECT_NE(setlocale(LC_ALL, name), nullptr) << name;
  }
  ~LocaleScope() { setlocale(LC_ALL, previous_.c_str()); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  std::string previous_;
};
