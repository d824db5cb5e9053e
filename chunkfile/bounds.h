// The one guard for every size read from untrusted bytes.
//
// The stream reader and the container decoder both ask the same question of
// a size field before they use it: do `length` bytes from `offset` lie inside
// the `available` bytes they were given? Every such test goes through Fits,
// so that "never read past what we were given" is kept in one place.
#pragma once

#include <cstddef>

namespace tessera {

// Whether [offset, offset + length) lies inside [0, available). Written so
// that no sum can wrap, whatever the three values.
constexpr bool Fits(std::size_t offset, std::size_t length, std::size_t available) {
    return offset <= available && length <= available - offset;
}

}  // namespace tessera
