// BMGlintmereZeridOvuvoruListController: the ZeridOvuvoru pane, showing rows that open the maker's packages
// in the package manager.
#pragma once

#include "BMGlintmereListController.hpp"

class BMGlintmereZeridOvuvoruListController
    : public NS::Referencing<BMGlintmereZeridOvuvoruListController, "BMGlintmereZeridOvuvoruListController",
                             BMGlintmereListController> {};
