// BMGlintmereCustomHeaderView: the root pane's header: the product name, its tagline and a line drawn
// at random from a fixed list.
#pragma once

#include "UIKit/UILabel.hpp"
#include "UIKit/UIView.hpp"

namespace NS {
class Array;
} // namespace NS

class BMGlintmereCustomHeaderView
    : public NS::Referencing<BMGlintmereCustomHeaderView, "BMGlintmereCustomHeaderView", UI::View> {
  public:
    OBJC_IVAR_NAMED(headerLabelIvar, "headerLabel", UI::Label*)
    OBJC_IVAR_NAMED(subHeaderLabelIvar, "subHeaderLabel", UI::Label*)
    OBJC_IVAR_NAMED(randomLabelIvar, "randomLabel", UI::Label*)

    // The labels are held by the view's subview list; these only point at them, and setting one
    // neither adds nor removes a subview.
    OBJC_MESSAGE(headerLabel, "headerLabel", UI::Label*())
    OBJC_MESSAGE(setHeaderLabel, "setHeaderLabel:", void(UI::Label*))
    OBJC_MESSAGE(subHeaderLabel, "subHeaderLabel", UI::Label*())
    OBJC_MESSAGE(setSubHeaderLabel, "setSubHeaderLabel:", void(UI::Label*))
    OBJC_MESSAGE(randomLabel, "randomLabel", UI::Label*())
    OBJC_MESSAGE(setRandomLabel, "setRandomLabel:", void(UI::Label*))
    // The lines the random label draws from, a new array on every call.
    OBJC_MESSAGE(randomTexts, "randomTexts", NS::Array*())
};
