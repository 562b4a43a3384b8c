// BMGlintmereDeveloperTableCell: a settings row presenting one person, a picture on the left and the
// person's display name, real name and role stacked to its right.
#pragma once

#include "PreferencesHost.hpp"

namespace UI {
class Image;
class ImageView;
class Label;
} // namespace UI

class BMGlintmereDeveloperTableCell
    : public NS::Referencing<BMGlintmereDeveloperTableCell, "BMGlintmereDeveloperTableCell", PS::TableCell> {
  public:
    // The whole cell, usable without a specifier; the picture may be nil. The host's entry,
    // initWithStyle:reuseIdentifier:specifier:, reads the row's "devImage" (the base name of a PNG in
    // the settings bundle), "devName", "realName" and "job" and comes here.
    OBJC_MESSAGE_NAMED(initWithDevName, initWithDevNameRealNameJobSubtitleDevImage_,
                       "initWithDevName:realName:jobSubtitle:devImage:",
                       BMGlintmereDeveloperTableCell*(NS::String*, NS::String*, NS::String*, UI::Image*))

    // Owning properties; the cell shows what they held when it was built.
    OBJC_MESSAGE(devImageView, "devImageView", UI::ImageView*())
    OBJC_MESSAGE(setDevImageView, "setDevImageView:", void(UI::ImageView*))
    OBJC_MESSAGE(devNameLabel, "devNameLabel", UI::Label*())
    OBJC_MESSAGE(setDevNameLabel, "setDevNameLabel:", void(UI::Label*))
    OBJC_MESSAGE(realNameLabel, "realNameLabel", UI::Label*())
    OBJC_MESSAGE(setRealNameLabel, "setRealNameLabel:", void(UI::Label*))
    OBJC_MESSAGE(jobLabel, "jobLabel", UI::Label*())
    OBJC_MESSAGE(setJobLabel, "setJobLabel:", void(UI::Label*))
};
