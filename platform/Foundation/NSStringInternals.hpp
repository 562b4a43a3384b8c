// What the stand-in keeps in each NSString beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSString.hpp"
#include "objc/Internals.hpp"

namespace NS {

class StringInternals : public objc::Internals<StringInternals, String> {
  public:
    OBJC_IVAR(_text, void*)
};

} // namespace NS
