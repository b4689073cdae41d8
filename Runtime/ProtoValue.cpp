// The dynamic value: construction, deep copies, auto-vivifying indexing and accessors.
#include "Runtime/ProtoValue.h"

#include <utility>

namespace {

// What Get returns when there is no entry.
const ProtoValue kSharedNull;

[[noreturn]] void ThrowWrongIntegerRead() {
  throw ProtoValueException(3, L"ProtoValue::integer wrong type");
}

[[noreturn]] void ThrowWrongStringRead() {
  throw ProtoValueException(3, L"ProtoValue::string wrong type");
}

}  // namespace

// Deep copies of the payload: plain kinds by value, owned ones by copying their target.
template <class T>
ProtoValue::Payload ProtoValue::Clone(const T& plain) {
  return plain;
}

template <class T>
ProtoValue::Payload ProtoValue::Clone(const std::unique_ptr<T>& owned) {
  return std::make_unique<T>(*owned);
}

ProtoValue::ProtoValue(Tag tag) {
  switch (tag) {
    case kInteger: payload_ = int64_t{0}; break;
    case kReal: payload_ = 0.0; break;
    case kNarrowString: payload_ = std::make_unique<std::string>(); break;
    case kWideString: payload_ = std::make_unique<std::wstring>(); break;
    case kArray: payload_ = std::make_unique<Array>(); break;
    case kObject: payload_ = std::make_unique<Object>(); break;
    default: break;
  }
}

ProtoValue::ProtoValue(const std::wstring& text) : payload_(std::make_unique<std::wstring>(text)) {}

ProtoValue::ProtoValue(const wchar_t* text)
    : payload_(std::make_unique<std::wstring>(text ? text : L"")) {}

ProtoValue::ProtoValue(const ProtoValue& other)
    : payload_(std::visit([](const auto& held) { return Clone(held); }, other.payload_)) {}

ProtoValue::ProtoValue(ProtoValue&& other) noexcept
    : payload_(std::exchange(other.payload_, std::monostate{})) {}

ProtoValue& ProtoValue::operator=(ProtoValue&& other) noexcept {
  ProtoValue taken(std::move(other));
  std::swap(payload_, taken.payload_);
  return *this;
}

// Copies first, then exchanges: the old content is released last, so assigning a value
// from one of its own elements is safe.
ProtoValue& ProtoValue::operator=(const ProtoValue& other) {
  ProtoValue copy(other);
  std::swap(payload_, copy.payload_);
  return *this;
}

ProtoValue& ProtoValue::operator[](int index) {
  if (GetTag() == kNull) payload_ = std::make_unique<Array>();
  auto* array = std::get_if<std::unique_ptr<Array>>(&payload_);
  if (!array || index < 0 || static_cast<size_t>(index) > (*array)->size())
    throw ProtoValueException(1, L"ProtoValue operator[int] out of range");
  if (static_cast<size_t>(index) == (*array)->size()) (*array)->emplace_back();
  return (**array)[static_cast<size_t>(index)];
}

ProtoValue& ProtoValue::operator[](const std::wstring& key) {
  if (GetTag() == kNull) payload_ = std::make_unique<Object>();
  auto* object = std::get_if<std::unique_ptr<Object>>(&payload_);
  if (!object) throw ProtoValueException(2, L"ProtoValue operator[string] wrong type");
  return (**object)[key];
}

const ProtoValue& ProtoValue::Get(const std::wstring& key) const {
  auto* object = std::get_if<std::unique_ptr<Object>>(&payload_);
  if (!object) return kSharedNull;
  auto entry = (*object)->find(key);
  return entry == (*object)->end() ? kSharedNull : entry->second;
}

bool ProtoValue::Has(const std::wstring& key) const {
  auto* object = std::get_if<std::unique_ptr<Object>>(&payload_);
  return object && (*object)->count(key) != 0;
}

void ProtoValue::Append(const ProtoValue& value) {
  // Copied before the array grows: value may be one of this array's elements.
  ProtoValue copy(value);
  auto* array = std::get_if<std::unique_ptr<Array>>(&payload_);
  int count = array ? static_cast<int>((*array)->size()) : 0;
  (*this)[count] = std::move(copy);
}

int64_t& ProtoValue::integer() {
  if (auto* value = std::get_if<int64_t>(&payload_)) return *value;
  if (GetTag() != kNull) ThrowWrongIntegerRead();
  // A fresh 0 on every read of a null value, so that a write through it reaches nobody.
  static thread_local int64_t scratch;
  scratch = 0;
  return scratch;
}

const int64_t& ProtoValue::integer() const {
  if (auto* value = std::get_if<int64_t>(&payload_)) return *value;
  if (GetTag() != kNull) ThrowWrongIntegerRead();
  static const int64_t zero = 0;
  return zero;
}

std::wstring& ProtoValue::string() {
  if (auto* text = std::get_if<std::unique_ptr<std::wstring>>(&payload_)) return **text;
  if (GetTag() != kNull) ThrowWrongStringRead();
  static thread_local std::wstring scratch;
  scratch.clear();
  return scratch;
}

const std::wstring& ProtoValue::string() const {
  if (auto* text = std::get_if<std::unique_ptr<std::wstring>>(&payload_)) return **text;
  if (GetTag() != kNull) ThrowWrongStringRead();
  static const std::wstring empty;
  return empty;
}
