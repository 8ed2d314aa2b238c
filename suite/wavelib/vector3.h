// A three-component vector of a packed wave record (a ray's direction, origin or edge, a set's
// source point), taken out or put back. The records are packed, so these arrays may start at any
// multiple of 4 bytes: they are copied bytewise, never handed on as a pointer to double, which
// promises 8-byte alignment to whoever reads through it.
#pragma once

#include <array>
#include <cstring>

namespace wavelib {

using Vector3 = std::array<double, 3>;

// Component by component: a copy of the whole 24 bytes would pass through memory on its way to
// the registers, on every element of a pass.
inline Vector3 LoadVector(const void* array3) {
    const auto* b = static_cast<const unsigned char*>(array3);
    double x, y, z;
    std::memcpy(&x, b, sizeof(double));
    std::memcpy(&y, b + sizeof(double), sizeof(double));
    std::memcpy(&z, b + 2 * sizeof(double), sizeof(double));
    return {x, y, z};
}

inline void StoreVector(void* array3, const Vector3& v) {
    auto* b = static_cast<unsigned char*>(array3);
    std::memcpy(b, &v[0], sizeof(double));
    std::memcpy(b + sizeof(double), &v[1], sizeof(double));
    std::memcpy(b + 2 * sizeof(double), &v[2], sizeof(double));
}

// The dot product, summed in the order x, y, z (every result of wavelib depends on that order).
inline double Dot(const Vector3& a, const Vector3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

}  // namespace wavelib
