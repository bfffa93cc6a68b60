// Replaces operator new/delete inside KVL.zrp only (the C++ runtime is linked
// statically, so the host's allocations are not affected). Small blocks go to
// malloc; blocks of 1 MiB and more come from VirtualAlloc, and the most recently
// freed ones (six, 64 MiB together at most) are kept for the next call instead of
// being returned, so that a 16 MB message does not fault in fresh pages every time.
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "plugin/LargeBlocks.h"

namespace {

constexpr std::size_t kHeader = 16;  // keeps the block's alignment; holds its size
constexpr std::size_t kLargeFrom = 1u << 20;
constexpr std::size_t kGranule = 64u << 10;
constexpr std::size_t kKeptBytesLimit = 64u << 20;
constexpr std::uint32_t kLargeMark = 0x4B564C42;  // "KVLB"

struct Header {
  std::size_t size;  // usable bytes of a large block; 0 for a small one
  std::uint32_t mark;
};
static_assert(sizeof(Header) <= kHeader);

struct KeptBlock {
  void* base = nullptr;
  std::size_t size = 0;
  std::uint64_t keptAt = 0;  // order of keeping: the oldest goes first
};

// Single-threaded like the rest of the plug-in: the host calls it on one thread.
// A lock keeps it safe should a host ever do otherwise.
struct Kept {
  CRITICAL_SECTION lock;
  std::array<KeptBlock, 6> blocks{};
  std::size_t bytes = 0;
  std::uint64_t clock = 0;
  Kept() { InitializeCriticalSection(&lock); }
};

Kept& KeptBlocks() {
  static Kept kept;
  return kept;
}

struct Locked {
  explicit Locked(Kept& kept) : kept_(kept) { EnterCriticalSection(&kept_.lock); }
  ~Locked() { LeaveCriticalSection(&kept_.lock); }
  Kept& kept_;
};

void* TakeKept(std::size_t size) {
  Kept& kept = KeptBlocks();
  Locked guard(kept);
  KeptBlock* best = nullptr;
  for (KeptBlock& block : kept.blocks)
    if (block.base && block.size >= size && (!best || block.size < best->size)) best = &block;
  if (!best) return nullptr;
  void* base = best->base;
  kept.bytes -= best->size;
  *best = {};
  return base;
}

// Keeps a freed block, giving back the oldest kept ones to make room.
bool Keep(void* base, std::size_t size) {
  if (size > kKeptBytesLimit) return false;
  Kept& kept = KeptBlocks();
  Locked guard(kept);
  for (;;) {
    KeptBlock* free = nullptr;
    KeptBlock* oldest = nullptr;
    for (KeptBlock& block : kept.blocks) {
      if (!block.base) free = &block;
      else if (!oldest || block.keptAt < oldest->keptAt) oldest = &block;
    }
    if (free && kept.bytes + size <= kKeptBytesLimit) {
      *free = {base, size, ++kept.clock};
      kept.bytes += size;
      return true;
    }
    if (!oldest) return false;
    VirtualFree(oldest->base, 0, MEM_RELEASE);
    kept.bytes -= oldest->size;
    *oldest = {};
  }
}

void* Allocate(std::size_t size) {
  if (size >= kLargeFrom && size < SIZE_MAX - kHeader - kGranule) {
    const std::size_t total = (size + kHeader + kGranule - 1) / kGranule * kGranule;
    void* base = TakeKept(total);
    if (!base) base = VirtualAlloc(nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!base) return nullptr;
    auto* header = static_cast<Header*>(base);
    header->size = total;
    header->mark = kLargeMark;
    return static_cast<char*>(base) + kHeader;
  }
  void* base = std::malloc(size + kHeader);
  if (!base) return nullptr;
  auto* header = static_cast<Header*>(base);
  header->size = 0;
  header->mark = 0;
  return static_cast<char*>(base) + kHeader;
}

void Release(void* memory) noexcept {
  if (!memory) return;
  void* base = static_cast<char*>(memory) - kHeader;
  const auto* header = static_cast<const Header*>(base);
  if (header->mark != kLargeMark) {
    std::free(base);
    return;
  }
  const std::size_t size = header->size;
  if (!Keep(base, size)) VirtualFree(base, 0, MEM_RELEASE);
}

}  // namespace

namespace kvl {
void ReleaseKeptBlocks() noexcept {
  Kept& kept = KeptBlocks();
  Locked guard(kept);
  for (KeptBlock& block : kept.blocks) {
    if (block.base) VirtualFree(block.base, 0, MEM_RELEASE);
    block = {};
  }
  kept.bytes = 0;
}
}  // namespace kvl

void* operator new(std::size_t size) {
  void* memory = Allocate(size == 0 ? 1 : size);
  if (!memory) throw std::bad_alloc();
  return memory;
}

void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size == 0 ? 1 : size); }
void operator delete(void* memory) noexcept { Release(memory); }
void operator delete[](void* memory) noexcept { Release(memory); }
void operator delete(void* memory, std::size_t) noexcept { Release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Release(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { Release(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { Release(memory); }
