#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "platform/notice_poster.h"

namespace quillon::view::ui {

// Runs workers' notices on the user-interface thread through Qt's event loop: each notice becomes
// a queued call on a receiver that lives on the thread that made the poster. Notices still queued
// when the poster goes are dropped, so the owner destroys the poster only after its workers have
// stopped posting.
class QtNoticePoster final : public NoticePoster {
 public:
  QtNoticePoster();
  ~QtNoticePoster() override;
  void post(std::function<void()> notice) override;

 private:
  std::unique_ptr<QObject> receiver_;
};

}  // namespace quillon::view::ui
