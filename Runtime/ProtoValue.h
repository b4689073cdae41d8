// The program's dynamic value: null, a 64-bit integer, a real number, a narrow or wide
// string, an array of values, or an object (wide-string keys, ordered, compared code
// unit by code unit). Indexing a null value turns it into the container the index asks
// for, so v[L"http"][L"code"] = ProtoValue(404) builds a nested record. Values own their
// payload and copy deeply. Not thread-safe: one thread uses a value at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

// Thrown by the accessors used on a value of the wrong kind.
class ProtoValueException {
 public:
  ProtoValueException(int32_t code, std::wstring message) : code(code), message(std::move(message)) {}

  int32_t code;  // 1 position out of range, 2 key on a non-object, 3 wrong kind read
  std::wstring message;
};

class ProtoValue {
 public:
  // The kinds, numbered as the value's tag.
  enum Tag : int32_t {
    kNull = 0,
    kInteger = 1,
    kReal = 2,
    kNarrowString = 3,
    kWideString = 4,
    kArray = 5,
    kObject = 6,
  };
  using Array = std::vector<ProtoValue>;
  using Object = std::map<std::wstring, ProtoValue>;

  ProtoValue() = default;
  // The empty value of a kind: 0, 0.0, "", [] or {}. An unknown tag gives null.
  explicit ProtoValue(Tag tag);
  ProtoValue(const std::wstring& text);  // NOLINT: implicit, values are built from strings
  ProtoValue(const wchar_t* text);       // NOLINT
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  ProtoValue(T value) : payload_(static_cast<int64_t>(value)) {}  // NOLINT: sign-extended
  ProtoValue(const ProtoValue& other);
  // A value moved from is null.
  ProtoValue(ProtoValue&& other) noexcept;
  ProtoValue& operator=(const ProtoValue& other);
  ProtoValue& operator=(ProtoValue&& other) noexcept;
  ~ProtoValue() = default;

  Tag GetTag() const { return static_cast<Tag>(payload_.index()); }
  // Releases the payload; the value becomes null.
  void Clear() { payload_ = std::monostate{}; }

  // The element at index; null becomes an empty array, and index equal to the element
  // count appends a null element. Anything else throws code 1.
  ProtoValue& operator[](int index);
  // The entry for key, inserted as null when missing; null becomes an empty object.
  // Throws code 2 for other kinds.
  ProtoValue& operator[](const std::wstring& key);

  // The entry for key when this is an object holding it, otherwise a shared null value.
  const ProtoValue& Get(const std::wstring& key) const;
  bool Has(const std::wstring& key) const;
  // Appends a copy of value as the element after the last (at position 0 on null).
  void Append(const ProtoValue& value);

  // The integer; null reads as 0. Other kinds throw code 3. Writing through the
  // reference of a null value changes nothing: the value stays null.
  int64_t& integer();
  const int64_t& integer() const;
  // The wide string; null reads as "". Other kinds (a narrow string too) throw code 3.
  // Writing through the reference of a null value changes nothing.
  std::wstring& string();
  const std::wstring& string() const;

 private:
  using Payload = std::variant<std::monostate, int64_t, double, std::unique_ptr<std::string>,
                               std::unique_ptr<std::wstring>, std::unique_ptr<Array>,
                               std::unique_ptr<Object>>;

  template <class T>
  static Payload Clone(const T& plain);
  template <class T>
  static Payload Clone(const std::unique_ptr<T>& owned);

  Payload payload_;  // never holds a null pointer
};
