// The in-memory snapshot of the general pasteboard that the host takes before
// borrowing it (to capture a selection or to paste) and writes back after.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/platform/types.h"

namespace brimlane {

// Bytes that are overwritten with zeros when released: a snapshot holds
// whatever the user copied, passwords from a password manager included, and
// that should not linger in freed memory. Move-only, so the bytes are never
// duplicated by accident.
class WipedBytes {
 public:
  WipedBytes() = default;
  explicit WipedBytes(Bytes bytes) : bytes_(std::move(bytes)) {}
  WipedBytes(WipedBytes&& other) noexcept = default;
  WipedBytes& operator=(WipedBytes&& other) noexcept;
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
  ~WipedBytes() { wipe(); }

  std::span<const std::uint8_t> view() const { return bytes_; }

  // Called with each buffer just wiped (its address and size); lets tests see
  // that released snapshots leave nothing behind. Unset in the product.
  static void (*onWiped)(const std::uint8_t* data, std::size_t size);

 private:
  void wipe() noexcept;

  Bytes bytes_;
};

// One saved item: type name to that type's bytes, one entry per name.
using SavedPasteboardItem = std::map<std::string, WipedBytes, std::less<>>;

// The saved items in pasteboard order; nothing when the platform gave no list.
using SavedPasteboard = std::optional<std::vector<SavedPasteboardItem>>;

}  // namespace brimlane
