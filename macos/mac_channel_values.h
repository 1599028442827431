// Channel values between FlutterMacOS's standard codec and the seam: what the
// codec decoded (NSNull, NSNumber, NSString, FlutterStandardTypedData, NSArray,
// NSDictionary) as a ChannelValue, and back. Objective-C++ only.
#pragma once

#import <Foundation/Foundation.h>

#include "app/engine/channel_value.h"

namespace brimlane {

// Anything the standard codec does not produce becomes null. A string that
// the codec could not read as UTF-8 arrives as nil, or as NSNull inside a list
// or a map, and so becomes null as well; the simulated engine hands the host
// the same.
ChannelValue toChannelValue(id value);
// Null becomes NSNull, which also fits inside arrays and dictionaries.
id toObjC(const ChannelValue& value);
// Null becomes nil, as a call's arguments or an error's details take it.
id toObjCOrNil(const ChannelValue& value);

}  // namespace brimlane
