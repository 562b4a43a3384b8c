// BMGlintmereMakersListController: the Makers pane, showing the people who make Glintmere, each row a
// developer cell.
#pragma once

#include "BMGlintmereListController.hpp"

class BMGlintmereMakersListController
    : public NS::Referencing<BMGlintmereMakersListController, "BMGlintmereMakersListController",
                             BMGlintmereListController> {};
