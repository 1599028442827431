#include "app/engine/method_channel.h"

#include <cassert>

namespace brimlane {

MethodResult::~MethodResult() {
  assert(!reply_ && "a method call was left unanswered");
}

void MethodResult::answer(ChannelResult result) {
  assert(reply_ && "a method call was answered twice");
  if (!reply_) return;
  std::exchange(reply_, nullptr)(std::move(result));
}

}  // namespace brimlane
