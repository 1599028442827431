// The process entry: hands control to AppKit, which loads the main interface
// file (the delegate and the hidden main window) and runs the event loop.
#import <AppKit/AppKit.h>

int main(int argc, char* argv[]) {
  return NSApplicationMain(argc, const_cast<const char**>(argv));
}
