// Accessibility over AXIsProcessTrustedWithOptions.
#include "macos/mac_accessibility.h"

#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

namespace brimlane {

bool MacAccessibility::isProcessTrustedWithOptions(bool prompt) {
  NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : prompt ? @YES : @NO};
  return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}

}  // namespace brimlane
