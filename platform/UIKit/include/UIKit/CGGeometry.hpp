// Core Graphics geometry: points, sizes and rectangles in points, as UIKit passes them.
#pragma once

#include "objc/TypeEncoding.hpp"

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    friend bool operator==(const CGRect&, const CGRect&) = default;
};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    return CGRect{{x, y}, {width, height}};
}
inline constexpr CGRect CGRectZero{};

template <> struct objc::StructEncoding<CGPoint> {
    static std::string value() { return "{CGPoint=dd}"; }
};
template <> struct objc::StructEncoding<CGSize> {
    static std::string value() { return "{CGSize=dd}"; }
};
template <> struct objc::StructEncoding<CGRect> {
    static std::string value() { return "{CGRect={CGPoint=dd}{CGSize=dd}}"; }
};
