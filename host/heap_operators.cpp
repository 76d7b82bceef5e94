// The DLL's operator new and delete, on the process heap. The C++ library's
// own versions throw, and one reference to them links its exception runtime,
// which costs a TLS slot and about 19 KiB of heap on every unload. The
// library allocates only with new (std::nothrow).
#include <windows.h>

#include <cstddef>
#include <new>

namespace {
void* Allocate(std::size_t size) noexcept { return HeapAlloc(GetProcessHeap(), 0, size ? size : 1); }
void Free(void* block) noexcept {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}
// The throwing forms are never used here; should one be, failing is all it may do.
void* AllocateOrStop(std::size_t size) noexcept {
  void* block = Allocate(size);
  if (!block) __builtin_trap();
  return block;
}
}  // namespace

void* operator new(std::size_t size) { return AllocateOrStop(size); }
void* operator new[](std::size_t size) { return AllocateOrStop(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
