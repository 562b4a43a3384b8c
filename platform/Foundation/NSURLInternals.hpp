// What the stand-in keeps in each NSURL beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSURL.hpp"
#include "objc/Internals.hpp"

namespace NS {

class URLInternals : public objc::Internals<URLInternals, URL> {
  public:
    OBJC_IVAR(_parts, void*)
};

} // namespace NS
