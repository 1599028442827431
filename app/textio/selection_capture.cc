// Capturing the text selected in the user's application.
#include "app/app_delegate.h"

namespace brimlane {

void AppDelegate::captureSelectionBeforeShow() {}

}  // namespace brimlane
