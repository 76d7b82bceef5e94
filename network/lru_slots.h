#pragma once
// A fixed table of slots by key, for state kept per caller or per universe
// without allocation: a key not held takes a free slot or, when none is left,
// the least recently used one. Plain C++; the caller serialises access.
#include <cstdint>

namespace selvane::net {

template <typename Key, typename Value, int N>
class LruSlots {
 public:
  static constexpr int kSlots = N;

  // The value held for `key`. A key new to the table gets a value-initialised
  // one (another key's is forgotten); `fresh` says so.
  Value& Use(Key key, bool& fresh) {
    ++uses_;
    Slot* slot = &slots_[last_];  // the same caller again, the usual case
    fresh = false;
    if (!(slot->used && slot->key == key)) {
      slot = Find(key);
      if (!slot) {
        slot = Oldest();
        slot->used = true;
        slot->key = key;
        slot->value = Value{};
        fresh = true;
      }
      last_ = static_cast<int>(slot - slots_);
    }
    slot->lastUse = uses_;
    return slot->value;
  }

 private:
  struct Slot {
    Key key{};
    uint64_t lastUse = 0;
    bool used = false;
    Value value{};
  };

  Slot* Find(Key key) {
    for (Slot& s : slots_)
      if (s.used && s.key == key) return &s;
    return nullptr;
  }
  Slot* Oldest() {
    Slot* oldest = &slots_[0];
    for (Slot& s : slots_) {
      if (!s.used) return &s;
      if (s.lastUse < oldest->lastUse) oldest = &s;
    }
    return oldest;
  }

  Slot slots_[N];
  uint64_t uses_ = 0;
  int last_ = 0;
};

}  // namespace selvane::net
