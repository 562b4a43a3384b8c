// What the stand-in keeps in each UIPasteboard beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIPasteboard.hpp"
#include "objc/Internals.hpp"

namespace UI {

class PasteboardInternals : public objc::Internals<PasteboardInternals, Pasteboard> {
  public:
    OBJC_IVAR(_contents, void*)
};

} // namespace UI
