#include "view/ui/qt_notice_poster.h"

#include <QMetaObject>

namespace quillon::view::ui {

QtNoticePoster::QtNoticePoster() : receiver_(std::make_unique<QObject>()) {}

QtNoticePoster::~QtNoticePoster() = default;

void QtNoticePoster::post(std::function<void()> notice) {
  QMetaObject::invokeMethod(
      receiver_.get(), [notice = std::move(notice)] { notice(); }, Qt::QueuedConnection);
}

}  // namespace quillon::view::ui
