#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

// The event a sound device sets when it hands a buffer back, and that an engine's worker waits
// on. Setting it takes no lock and allocates nothing (an atomic count and, only when somebody
// sleeps on it, one futex wake), so the audio callback may set it. A waiter first notes the
// generation, then checks its buffers, then waits for the generation to move on: a notice given
// in between is never lost.
class DeviceSignal {
 public:
  void notify();
  uint32_t generation() const { return generation_.load(std::memory_order_acquire); }
  // Waits until the generation differs from `seen` or `milliseconds` have passed.
  void wait(uint32_t seen, int milliseconds);

 private:
  std::atomic<uint32_t> generation_{0};
  std::atomic<uint32_t> sleepers_{0};
};

}  // namespace quillon
