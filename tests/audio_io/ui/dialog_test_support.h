#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <chrono>
#include <functional>

namespace quillon::testing {

// Runs the Qt event loop (the engines' notices arrive through it) until `done` is true; fails
// after a minute (a hang, not a timing).
inline bool pumpUntil(const std::function<bool()>& done) {
  const auto give = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > give) {
      ADD_FAILURE() << "gave up waiting";
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  QCoreApplication::processEvents();
  return true;
}

// Runs what is queued now (notices posted before the call).
inline void pump() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
}

}  // namespace quillon::testing
