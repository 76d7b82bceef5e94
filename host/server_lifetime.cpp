#include "server_lifetime.h"

#include <atomic>

#include "module_lifetime.h"

namespace selvane {
namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

void NoteObjectCreated() noexcept { g_objects.fetch_add(1); }
void NoteObjectDestroyed() noexcept { g_objects.fetch_sub(1); }
void NoteServerLock(bool lock) noexcept { lock ? g_locks.fetch_add(1) : g_locks.fetch_sub(1); }

bool ServerCanUnload() noexcept {
  return g_objects.load() == 0 && g_locks.load() == 0 && LiveWindowCount() == 0;
}

}  // namespace selvane
