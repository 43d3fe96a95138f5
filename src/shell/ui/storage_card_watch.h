#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "shell/storage_card_monitor.h"

namespace quillon {

// The editor's one-second timer over the StorageCardMonitor, on the user-interface thread. It
// enables the monitor while it lives and runs only when a card is used. The timer fires once and
// is armed again at the start of each poll; when a poll reports a change, `notice` (normally
// `handleStorageCardNotice`) is queued onto the event loop. A notice that comes while the last
// one is still asking the user is dropped: that one keeps checking the card itself.
class StorageCardWatch : public QObject {
 public:
  StorageCardWatch(StorageCardMonitor& monitor, std::function<void()> notice,
                   QObject* parent = nullptr);
  ~StorageCardWatch() override;

 private:
  void poll();
  void runNotice();

  StorageCardMonitor& monitor_;
  std::function<void()> notice_;
  QTimer timer_;
  bool inNotice_ = false;
};

}  // namespace quillon
