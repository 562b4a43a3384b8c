// The inner workings of PSSpecifier: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Preferences/PSSpecifier.hpp"
#include "objc/Internals.hpp"

namespace PS {

class SpecifierInternals : public objc::Internals<SpecifierInternals, Specifier> {
  public:
    OBJC_IVAR(_properties, NS::MutableDictionary*, Owning)
    OBJC_IVAR(_getter, SEL)
    OBJC_IVAR(_setter, SEL)
};

// True for the kinds of row that show a value and let the user change it.
constexpr bool isControl(long type) {
    return type == LinkListCell || type == SliderCell || type == SwitchCell || type == EditTextCell ||
           type == SegmentCell || type == SecureEditTextCell || type == EditTextViewCell;
}

} // namespace PS
