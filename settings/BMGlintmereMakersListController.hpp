// BMGlintmereMakersListController: the Makers pane, showing the people who make
// Glintmere, each row a developer cell.
#pragma once

#include "BMGlintmereListController.hpp"

class BMGlintmereMakersListController
    : public NS::Referencing<BMGlintmereMakersListController, "BMGlintmereMakersListController",
                             BMGlintmereListController> {
  public:
    // The share button's action: opens the Twitter composer with the pane's text.
    OBJC_MESSAGE(tweetSupport, "tweetSupport:", void(id))
};
