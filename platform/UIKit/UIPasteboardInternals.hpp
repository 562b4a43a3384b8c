// The inner workings of UIPasteboard: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIPasteboard.hpp"
#include "objc/Internals.hpp"

namespace UI {

class PasteboardInternals : public objc::Internals<PasteboardInternals, Pasteboard> {
  public:
    OBJC_IVAR(_contents, void*)
};

} // namespace UI
