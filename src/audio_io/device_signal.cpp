#include "audio_io/device_signal.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace quillon {

void DeviceSignal::notify() {
  generation_.fetch_add(1, std::memory_order_seq_cst);
  // Ordered with the waiter's count and its futex check: either it sees the new generation, or
  // this sees it sleeping.
  if (sleepers_.load(std::memory_order_seq_cst) != 0) {
    ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&generation_), FUTEX_WAKE_PRIVATE, INT32_MAX,
              nullptr, nullptr, 0);
  }
}

void DeviceSignal::wait(uint32_t seen, int milliseconds) {
  if (milliseconds <= 0 || generation_.load(std::memory_order_acquire) != seen) return;
  timespec timeout{milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
  sleepers_.fetch_add(1, std::memory_order_seq_cst);
  ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&generation_), FUTEX_WAIT_PRIVATE, seen,
            &timeout, nullptr, 0);
  sleepers_.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace quillon
