// NSIndexPath as tables use it: a row within a section.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {

class GLINTMERE_EXPORT IndexPath : public Referencing<IndexPath, "NSIndexPath"> {
  public:
    // An autoreleased index path.
    OBJC_CLASS_MESSAGE_NAMED(indexPath, indexPathForRowInSection_,
                             "indexPathForRow:inSection:", IndexPath*(long, long))

    OBJC_MESSAGE(row, "row", long())
    OBJC_MESSAGE(section, "section", long())
};

} // namespace NS
