// The dynamic value: building records by indexing, copies, lookups and the exceptions.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Runtime/ProtoValue.h"

TEST(ProtoValue, IndexingNullBuildsNestedRecords) {
  ProtoValue result;
  result[L"http"][L"code"] = 404;
  ASSERT_EQ(result.GetTag(), ProtoValue::kObject);
  EXPECT_TRUE(result.Has(L"http"));
  EXPECT_FALSE(result.Has(L"curl"));
  const ProtoValue& http = result.Get(L"http");
  EXPECT_EQ(http.GetTag(), ProtoValue::kObject);
  EXPECT_EQ(http.Get(L"code").integer(), 404);
  // Clearing an entry keeps the key.
  result[L"http"][L"code"].Clear();
  EXPECT_TRUE(result.Get(L"http").Has(L"code"));
  EXPECT_EQ(result.Get(L"http").Get(L"code").GetTag(), ProtoValue::kNull);

  ProtoValue list;
  list[0];
  ASSERT_EQ(list.GetTag(), ProtoValue::kArray);
  EXPECT_EQ(list[0].GetTag(), ProtoValue::kNull);
  list[1] = L"second";
  EXPECT_EQ(list[1].string(), L"second");
}

TEST(ProtoValue, WrongUseThrowsItsFourExceptions) {
  ProtoValue array;
  array[0];
  ProtoValue object(ProtoValue::kObject);
  ProtoValue text(L"t");
  ProtoValue number(7);
  ProtoValue narrow(ProtoValue::kNarrowString);
  struct {
    std::function<void()> call;
    int code;
    std::wstring message;
  } cases[] = {
      {[&] { array[2]; }, 1, L"ProtoValue operator[int] out of range"},
      {[&] { array[-1]; }, 1, L"ProtoValue operator[int] out of range"},
      {[&] { object[0]; }, 1, L"ProtoValue operator[int] out of range"},
      {[&] { array[L"k"]; }, 2, L"ProtoValue operator[string] wrong type"},
      {[&] { number[L"k"]; }, 2, L"ProtoValue operator[string] wrong type"},
      {[&] { text.integer(); }, 3, L"ProtoValue::integer wrong type"},
      {[&] { object.integer(); }, 3, L"ProtoValue::integer wrong type"},
      {[&] { number.string(); }, 3, L"ProtoValue::string wrong type"},
      {[&] { narrow.string(); }, 3, L"ProtoValue::string wrong type"},
      {[&] { object.Append(1); }, 1, L"ProtoValue operator[int] out of range"},
  };
  int row = 0;
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no exception in row " << row;
    } catch (const ProtoValueException& e) {
      EXPECT_EQ(e.code, c.code) << "row " << row;
      EXPECT_EQ(e.message, c.message) << "row " << row;
    }
    ++row;
  }
  EXPECT_EQ(array.GetTag(), ProtoValue::kArray);  // failures leave values as they were
  EXPECT_EQ(number.integer(), 7);
}

TEST(ProtoValue, NullReadsAsZeroAndEmptyWithoutChanging) {
  ProtoValue null;
  EXPECT_EQ(null.integer(), 0);
  EXPECT_EQ(null.string(), L"");
  // A write through what a null value read gives reaches neither it nor later reads.
  null.integer() = 5;
  null.string() = L"x";
  EXPECT_EQ(null.GetTag(), ProtoValue::kNull);
  EXPECT_EQ(ProtoValue().integer(), 0);
  EXPECT_EQ(ProtoValue().string(), L"");
  const ProtoValue& missing = ProtoValue(L"not an object").Get(L"x");
  EXPECT_EQ(missing.GetTag(), ProtoValue::kNull);
  EXPECT_EQ(missing.integer(), 0);

  ProtoValue array;
  array.Append(1);
  EXPECT_EQ(&array.Get(L"x"), &missing);  // the one shared null value
  EXPECT_FALSE(array.Has(L"x"));
  EXPECT_EQ(array.GetTag(), ProtoValue::kArray);
}

TEST(ProtoValue, KeysAreCaseSensitiveAndOrdered) {
  ProtoValue headers;
  headers[L"Content-Length"] = L"1234";
  headers[L"content-length"] = L"5";
  EXPECT_EQ(headers.Get(L"Content-Length").string(), L"1234");
  EXPECT_EQ(headers.Get(L"content-length").string(), L"5");
  EXPECT_FALSE(headers.Has(L"CONTENT-LENGTH"));
}

TEST(ProtoValue, ConstructionCopiesAndMoves) {
  struct {
    ProtoValue value;
    ProtoValue::Tag tag;
  } cases[] = {
      {ProtoValue(), ProtoValue::kNull},
      {ProtoValue(ProtoValue::kInteger), ProtoValue::kInteger},
      {ProtoValue(ProtoValue::kReal), ProtoValue::kReal},
      {ProtoValue(ProtoValue::kNarrowString), ProtoValue::kNarrowString},
      {ProtoValue(ProtoValue::kWideString), ProtoValue::kWideString},
      {ProtoValue(ProtoValue::kArray), ProtoValue::kArray},
      {ProtoValue(ProtoValue::kObject), ProtoValue::kObject},
      {ProtoValue(static_cast<ProtoValue::Tag>(9)), ProtoValue::kNull},
      {ProtoValue(-1), ProtoValue::kInteger},
      {ProtoValue(L"w"), ProtoValue::kWideString},
  };
  for (const auto& c : cases) {
    ProtoValue copy(c.value);
    EXPECT_EQ(copy.GetTag(), c.tag);
    EXPECT_EQ(c.value.GetTag(), c.tag);
  }
  EXPECT_EQ(ProtoValue(static_cast<int32_t>(-1)).integer(), -1);  // sign-extended
  EXPECT_EQ(ProtoValue(0xFFFFFFFFu).integer(), 0xFFFFFFFFLL);

  ProtoValue original;
  original[L"list"].Append(L"a");
  ProtoValue copy = original;
  copy[L"list"][0].string() = L"changed";
  copy[L"list"].Append(2);
  EXPECT_EQ(original[L"list"][0].string(), L"a");  // the copy was deep

  ProtoValue moved = std::move(copy);
  EXPECT_EQ(moved[L"list"][1].integer(), 2);
  EXPECT_EQ(copy.GetTag(), ProtoValue::kNull);  // NOLINT: a moved-from value is null
  copy[L"again"] = 1;
  EXPECT_TRUE(copy.Has(L"again"));
}

TEST(ProtoValue, SelfReferencesAreSafe) {
  ProtoValue array;
  array.Append(L"first");
  for (int i = 0; i < 20; ++i) array.Append(array[0]);  // an element of the growing array
  EXPECT_EQ(array[20].string(), L"first");
  array.Append(array);
  EXPECT_EQ(array[21][20].string(), L"first");

  ProtoValue record;
  record[L"inner"][L"x"] = 1;
  record = record[L"inner"];  // assigned from its own entry
  EXPECT_EQ(record.Get(L"x").integer(), 1);
  EXPECT_FALSE(record.Has(L"inner"));
}
