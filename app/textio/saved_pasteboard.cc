#include "app/textio/saved_pasteboard.h"

#include <cstring>

namespace brimlane {
namespace {

// Called through a volatile pointer so the compiler cannot prove the stores
// dead and drop them just before the buffer is freed.
void* (*const volatile secureMemset)(void*, int, std::size_t) = std::memset;

}  // namespace

void (*WipedBytes::onWiped)(const std::uint8_t*, std::size_t) = nullptr;

WipedBytes& WipedBytes::operator=(WipedBytes&& other) noexcept {
  if (this != &other) {
    wipe();
    bytes_ = std::move(other.bytes_);
  }
  return *this;
}

void WipedBytes::wipe() noexcept {
  if (bytes_.empty()) return;
  secureMemset(bytes_.data(), 0, bytes_.size());
  if (onWiped) onWiped(bytes_.data(), bytes_.size());
}

}  // namespace brimlane
