// GlintmereListController: the root pane of the settings bundle, showing the rows of "Glintmere".
#pragma once

#include "BMGlintmereListController.hpp"

class GlintmereListController
    : public NS::Referencing<GlintmereListController, "GlintmereListController", BMGlintmereListController> {
};
