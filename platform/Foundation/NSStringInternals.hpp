// The inner workings of NSString: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSString.hpp"
#include "objc/Internals.hpp"

namespace NS {

class StringInternals : public objc::Internals<StringInternals, String> {
  public:
    OBJC_IVAR(_text, void*)
};

} // namespace NS
