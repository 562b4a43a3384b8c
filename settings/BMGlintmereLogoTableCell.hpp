// BMGlintmereLogoTableCell: the footer logo of the root pane, one picture centred with a soft shadow.
#pragma once

#include "Preferences/PSTableCell.hpp"
#include "UIKit/UIImageView.hpp"

class BMGlintmereLogoTableCell
    : public NS::Referencing<BMGlintmereLogoTableCell, "BMGlintmereLogoTableCell", PS::TableCell> {
  public:
    OBJC_IVAR_NAMED(logoImageViewIvar, "logoImageView", UI::ImageView*, Owning)

    // The picture; the cell owns it. Setting another only replaces the reference: it neither adds
    // nor removes a subview.
    OBJC_MESSAGE(logoImageView, "logoImageView", UI::ImageView*())
    OBJC_MESSAGE(setLogoImageView, "setLogoImageView:", void(UI::ImageView*))
};
