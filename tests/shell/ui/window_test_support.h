#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace quillon::testing {

// Acts on the next modal window of type T once it is shown, from the event loop that shows it
// (a dialog's exec() or a job's pump). Polls every 10 ms; gives up after a minute.
template <typename T>
void whenModal(std::function<void(T&)> act) {
  auto* timer = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(timer, &QTimer::timeout, [timer, started, act = std::move(act)] {
    if (started->elapsed() > 60000) {
      ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " appeared";
      timer->deleteLater();
      timer->stop();
      return;
    }
    auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!modal || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(*modal);
  });
  timer->start(10);
}

// Sends a mouse event as the window system would.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint at,
                      Qt::KeyboardModifiers modifiers = {}) {
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                    modifiers);
  QApplication::sendEvent(widget, &event);
}

// Waits (dispatching events) until `done`; fails after a minute.
inline bool eventually(const std::function<bool()>& done) {
  if (QTest::qWaitFor(done, 60000)) return true;
  ADD_FAILURE() << "gave up waiting";
  return false;
}

}  // namespace quillon::testing
