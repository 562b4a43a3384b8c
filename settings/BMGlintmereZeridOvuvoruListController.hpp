// BMGlintmereZeridOvuvoruListController: the ZeridOvuvoru pane, whose rows open
// the maker's packages in the package manager.
#pragma once

#include "BMGlintmereListController.hpp"

class BMGlintmereZeridOvuvoruListController
    : public NS::Referencing<BMGlintmereZeridOvuvoruListController, "BMGlintmereZeridOvuvoruListController",
                             BMGlintmereListController> {
  public:
    // The share button's action: opens the Twitter composer with the pane's text.
    OBJC_MESSAGE(tweetSupport, "tweetSupport:", void(id))
    // The package rows' actions: each asks the package manager to show one
    // package.
    OBJC_MESSAGE(openAmbergate, "openAmbergate", void())
    OBJC_MESSAGE(openGlintmere, "openGlintmere", void())
    OBJC_MESSAGE(openQuillfern, "openQuillfern", void())
    OBJC_MESSAGE(openHarborkite, "openHarborkite", void())
    OBJC_MESSAGE(openMossvale, "openMossvale", void())
};
