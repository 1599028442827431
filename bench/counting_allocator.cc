#include "bench/counting_allocator.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace brimlane::bench {
namespace {

AllocationStats stats;
std::size_t watchedSize = 0;

// Live bytes are counted by usable size, which the block itself knows, so
// allocation and release always agree whichever form of delete is called.
void* allocate(std::size_t size, std::size_t alignment) {
  const std::size_t request = size == 0 ? 1 : size;
  void* block = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    block = std::malloc(request);
  } else if (posix_memalign(&block, alignment, request) != 0) {
    block = nullptr;
  }
  if (!block) return nullptr;
  ++stats.allocations;
  stats.bytesRequested += size;
  if (size == watchedSize && size != 0) ++stats.watchedAllocations;
  stats.liveBytes += malloc_usable_size(block);
  if (stats.liveBytes > stats.peakLiveBytes) stats.peakLiveBytes = stats.liveBytes;
  return block;
}

void* allocateOrThrow(std::size_t size, std::size_t alignment) {
  void* block = allocate(size, alignment);
  if (!block) throw std::bad_alloc();
  return block;
}

void release(void* block) noexcept {
  if (!block) return;
  stats.liveBytes -= malloc_usable_size(block);
  std::free(block);
}

}  // namespace

AllocationStats allocationStats() {
  return stats;
}

void resetPeak() {
  stats.peakLiveBytes = stats.liveBytes;
}

void setWatchedBlockSize(std::size_t bytes) {
  watchedSize = bytes;
}

}  // namespace brimlane::bench

using brimlane::bench::allocate;
using brimlane::bench::allocateOrThrow;
using brimlane::bench::release;

constexpr std::size_t kDefaultAlignment = alignof(std::max_align_t);

void* operator new(std::size_t size) {
  return allocateOrThrow(size, kDefaultAlignment);
}
void* operator new[](std::size_t size) {
  return allocateOrThrow(size, kDefaultAlignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size, kDefaultAlignment);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size, kDefaultAlignment);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return allocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return allocate(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept {
  release(block);
}
void operator delete[](void* block) noexcept {
  release(block);
}
void operator delete(void* block, std::size_t) noexcept {
  release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  release(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  release(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  release(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  release(block);
}
