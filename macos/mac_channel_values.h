// Channel values between FlutterMacOS's standard codec and the seam: what the
// codec decoded (NSNull, NSNumber, NSString, FlutterStandardTypedData, NSArray,
// NSDictionary) as a ChannelValue, and back. Objective-C++ only.
#pragma once

#import <Foundation/Foundation.h>

#include "app/engine/channel_value.h"

namespace brimlane {

// Anything the standard codec does not produce becomes null.
ChannelValue toChannelValue(id value);
// Null becomes NSNull, which also fits inside arrays and dictionaries.
id toObjC(const ChannelValue& value);
// Null becomes nil, as a call's arguments or an error's details take it.
id toObjCOrNil(const ChannelValue& value);

}  // namespace brimlane
