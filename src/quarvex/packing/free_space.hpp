#pragma once

namespace quarvex {

// An empty block of a box: lower corner and extents; volume and area are
// fixed when the record is made.
struct FreeSpace {
    FreeSpace(double x, double y, double z, double w, double l, double d)
        : x(x), y(y), z(z), w(w), l(l), d(d), volume(w * l * d), area(w * l) {}

    double x, y, z;
    double w, l, d;
    double volume;
    double area;
};

}  // namespace quarvex
