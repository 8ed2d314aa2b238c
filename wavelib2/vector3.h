// A three-component vector of a packed wave record (a ray's direction, origin or edge, a set's
// source point), taken out or put back. The records are packed, so these arrays may start at any
// multiple of 4 bytes: they are copied bytewise, never handed on as a pointer to double, which
// promises 8-byte alignment to whoever reads through it.
#pragma once

#include <array>
#include <cstring>

namespace wavelib2 {

using Vector3 = std::array<double, 3>;

inline Vector3 LoadVector(const void* array3) {
    Vector3 v;
    std::memcpy(v.data(), array3, sizeof(v));
    return v;
}

inline void StoreVector(void* array3, const Vector3& v) {
    std::memcpy(array3, v.data(), sizeof(v));
}

}  // namespace wavelib2
