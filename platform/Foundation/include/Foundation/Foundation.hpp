// Everything of the Foundation stand-in, in one include.
#pragma once

#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSDate.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSObject.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSTimer.hpp"
#include "Foundation/NSURL.hpp"
