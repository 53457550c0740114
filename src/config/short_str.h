#pragma once
// Length-bounded byte strings of the driver's records.
//
// Names, tokens, frames and request data are held as bytes with at most
// Capacity of them (255 unless a record says less); anything assigned beyond
// that is cut, never written past the end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

template <std::size_t Capacity = 255>
class BoundedStr {
 public:
  static constexpr std::size_t kCapacity = Capacity;

  BoundedStr() = default;
  BoundedStr(std::string_view text) { Assign(text); }  // NOLINT: implicit like a text literal
  BoundedStr(const std::string& text) { Assign(text); }  // NOLINT
  BoundedStr(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }

  BoundedStr& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  BoundedStr& operator=(const std::string& text) {
    Assign(text);
    return *this;
  }
  BoundedStr& operator=(const char* text) {
    Assign(text ? std::string_view(text) : std::string_view());
    return *this;
  }

  // Appends what still fits; the rest is cut.
  BoundedStr& operator+=(std::string_view text) {
    bytes_.append(text.substr(0, Capacity - bytes_.size()));
    return *this;
  }
  BoundedStr& operator+=(char c) {
    if (bytes_.size() < Capacity) bytes_.push_back(c);
    return *this;
  }

  const std::string& str() const { return bytes_; }
  std::string_view view() const { return bytes_; }
  operator std::string_view() const { return bytes_; }  // NOLINT
  const char* c_str() const { return bytes_.c_str(); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  void clear() { bytes_.clear(); }
  std::uint8_t byte(std::size_t i) const {
    return i < bytes_.size() ? static_cast<std::uint8_t>(bytes_[i]) : 0;
  }

  friend bool operator==(const BoundedStr& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const BoundedStr& a, const char* b) { return a.view() == std::string_view(b ? b : ""); }
  friend bool operator==(const BoundedStr& a, const std::string& b) { return a.view() == b; }
  friend bool operator==(const BoundedStr& a, const BoundedStr& b) { return a.view() == b.view(); }

 private:
  void Assign(std::string_view text) { bytes_.assign(text.substr(0, Capacity)); }

  std::string bytes_;
};

using ShortStr = BoundedStr<255>;

// A text in compare form: at most 80 characters (the record keeps it in a
// 256-byte field with a terminating zero).
using CompareText = BoundedStr<80>;

}  // namespace qz
