// Channel values and answers written out as the simulator prints them.
#pragma once

#include <string>
#include <string_view>

#include "app/engine/method_channel.h"

namespace brimlane::sim {

// A string in double quotes with \" \\ \n \t escaped.
std::string quote(std::string_view text);
std::string describe(const ChannelValue& value);
std::string describe(const ChannelResult& result);

}  // namespace brimlane::sim
