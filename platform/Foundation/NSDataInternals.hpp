// What the stand-in keeps in each NSData beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSData.hpp"
#include "objc/Internals.hpp"

namespace NS {

class DataInternals : public objc::Internals<DataInternals, Data> {
  public:
    OBJC_IVAR(_bytes, void*)
};

} // namespace NS
