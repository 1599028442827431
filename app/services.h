// Everything the host reaches outside its own logic: the platform's services
// and the UI engine. The Mac build hands in the real ones, the simulated
// desktop its own; all live as long as the process.
#pragma once

#include "app/engine/flutter_embedding.h"
#include "app/platform/accessibility.h"
#include "app/platform/hot_keys.h"
#include "app/platform/keyboard.h"
#include "app/platform/login_items.h"
#include "app/platform/main_queue.h"
#include "app/platform/pasteboard.h"
#include "app/platform/standard_output.h"
#include "app/platform/status_bar.h"
#include "app/platform/thread.h"
#include "app/platform/windows.h"
#include "app/platform/workspace.h"

namespace brimlane {

struct Services {
  Pasteboard& pasteboard;
  Keyboard& keyboard;
  Accessibility& accessibility;
  Workspace& workspace;
  Windows& windows;
  Application& application;
  StatusBar& statusBar;
  HotKeys& hotKeys;
  LoginItems& loginItems;
  MainQueue& mainQueue;
  Thread& thread;
  StandardOutput& standardOutput;
  FlutterEmbedding& embedding;
};

}  // namespace brimlane
