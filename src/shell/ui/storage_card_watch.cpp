#include "shell/ui/storage_card_watch.h"

namespace quillon {

StorageCardWatch::StorageCardWatch(StorageCardMonitor& monitor, std::function<void()> notice,
                                   QObject* parent)
    : QObject(parent), monitor_(monitor), notice_(std::move(notice)) {
  monitor_.enable(true);
  timer_.setSingleShot(true);
  timer_.setInterval(StorageCardMonitor::kPollMilliseconds);
  connect(&timer_, &QTimer::timeout, this, &StorageCardWatch::poll);
  if (!monitor_.cardFolder().empty()) timer_.start();
}

StorageCardWatch::~StorageCardWatch() {
  timer_.stop();
  monitor_.enable(false);
}

void StorageCardWatch::poll() {
  timer_.start();
  if (monitor_.poll()) {
    QMetaObject::invokeMethod(this, &StorageCardWatch::runNotice, Qt::QueuedConnection);
  }
}

void StorageCardWatch::runNotice() {
  if (inNotice_ || !notice_) return;
  inNotice_ = true;
  notice_();
  inNotice_ = false;
}

}  // namespace quillon
