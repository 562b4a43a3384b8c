// What the stand-in keeps in each NSDictionary beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSDictionary.hpp"
#include "objc/Internals.hpp"

namespace NS {

class DictionaryInternals : public objc::Internals<DictionaryInternals, Dictionary> {
  public:
    OBJC_IVAR(_table, void*)
};

} // namespace NS
