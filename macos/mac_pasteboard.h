// The pasteboard service over NSPasteboard. Objective-C++ only.
#pragma once

#import <AppKit/AppKit.h>

#include "app/platform/pasteboard.h"

namespace brimlane {

class MacPasteboard : public Pasteboard {
 public:
  // Gives the pasteboard to work on; asked again on every call.
  using Provider = NSPasteboard* (^)(void);

  // Works on the general pasteboard.
  MacPasteboard();
  // Works on whatever `provider` gives: tests pass a uniquely named pasteboard
  // so that they never touch the user's clipboard.
  explicit MacPasteboard(Provider provider);

  std::optional<std::vector<std::unique_ptr<PasteboardItem>>> pasteboardItems() override;
  void clearContents() override;
  void writeItem(std::span<const PasteboardEntry> entries) override;
  std::optional<std::string> stringForTypeString() override;
  void setStringForTypeString(std::string_view text) override;

 private:
  NSPasteboard* pasteboard() const { return provider_(); }

  Provider provider_;
};

}  // namespace brimlane
