#pragma once
// Fixed arrays indexed from 1, as the records count their items.

#include <array>
#include <cstddef>

namespace qz {

template <class T, std::size_t N>
class Array1 {
 public:
  static constexpr std::size_t kSize = N;

  // Index 1..N. Callers check indexes that come from a station, the host or
  // a file with Contains() first; a wrong index here is a driver fault.
  T& operator[](std::size_t i) { return items_.at(i - 1); }
  const T& operator[](std::size_t i) const { return items_.at(i - 1); }

  static constexpr bool Contains(long long i) { return i >= 1 && i <= static_cast<long long>(N); }
  static constexpr std::size_t size() { return N; }

  void fill(const T& value) { items_.fill(value); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::array<T, N> items_{};
};

}  // namespace qz
