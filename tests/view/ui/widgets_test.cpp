#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <thread>

#include "display_view.h"
#include "document/clip_reader.h"
#include "platform/file.h"
#include "support/audio_signals.h"
#include "support/temp_environment.h"
#include "view/ui/document_pane.h"
#include "view/ui/edit_bookmark_dialog.h"
#include "view/ui/qt_notice_poster.h"
#include "view/ui/status_fields_widget.h"
#include "view/ui/time_line_widget.h"
#include "view/ui/wave_strip_widget.h"
#include "view/ui/wave_view_widget.h"

namespace quillon::testing {
namespace {

using view::ui::DocumentPane;

// Sends a mouse event as the window system would.
void mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::KeyboardModifiers modifiers = {}) {
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, held, modifiers);
  QApplication::sendEvent(widget, &event);
}

// Lets the pane's worker finish and its notices arrive.
void settle(DocumentPane& pane) {
  for (int i = 0; i < 5; ++i) {
    pane.waveModel().worker().waitIdle(20000);
    QCoreApplication::processEvents();
  }
}

Ref<WaveDocument> speechDocument(int32_t seconds, int channels = 1) {
  auto document = WaveDocument::createUntitled(1, 44100, channels);
  document->audio = writeClip(speechLike(44100, int64_t{seconds} * 44100, channels, 4), channels);
  return document;
}

class WidgetsTest : public DocumentTest {};

TEST_F(WidgetsTest, ThePaneLaysOutItsPartsInDeviceIndependentPixels) {
  DocumentPane pane;
  pane.resize(1280, 720);
  pane.setDocument(speechDocument(3));
  pane.show();
  settle(pane);
  EXPECT_EQ(pane.captionBar()->geometry(), QRect(1, 0, 1279, 20));
  EXPECT_EQ(pane.waveView()->geometry(), QRect(1, 20, 1280, 596));
  EXPECT_EQ(pane.statusFields()->geometry(), QRect(1, 616, 1279, 24));
  EXPECT_EQ(pane.timeLine()->geometry(), QRect(1, 640, 1279, 60));
  EXPECT_EQ(pane.transportStrip()->geometry(), QRect(1, 700, 1279, 20));
  const int commands[] = {7004, 7003, 7006, 7007, 2041};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(pane.timeLine()->button(commands[i])->geometry(), QRect(1 + 19 * i, 40, 18, 18));
  EXPECT_EQ(pane.timeLine()->scrollBar()->x(), 96);
  // The status fields: three columns of W/3, the value 26 pixels into each.
  EXPECT_EQ(pane.statusFields()->valueRect(2), QRect(426 + 26, 0, 426 - 25, 12));
  // Each label ends a few pixels before its value, and the texts fit their rows.
  const QFontMetrics labels(pane.statusFields()->labelFont());
  for (int field = 0; field < 6; ++field) {
    const QString label = QString::fromUtf8(pane.statusFields()->texts()[size_t(field)].label);
    EXPECT_LE(pane.statusFields()->labelRect(field).x() + labels.horizontalAdvance(label) + 3,
              pane.statusFields()->valueRect(field).x())
        << label.toStdString();
  }
  EXPECT_LE(labels.height(), 12);
  EXPECT_LE(QFontMetrics(pane.statusFields()->font()).height(), 12);
  EXPECT_EQ(pane.statusFields()->texts()[3].value, "0:00:03.000");
  auto* strip = new QWidget;
  pane.setTransportStrip(strip);
  EXPECT_EQ(strip->parent(), &pane);
  EXPECT_EQ(strip->geometry(), QRect(1, 700, 1279, 20));
}

TEST_F(WidgetsTest, GesturesThroughQtMouseEventsEndLikeTheStateMachine) {
  auto widgetDocument = speechDocument(10);
  auto modelDocument = WaveDocument::createUntitled(2, 44100, 1);
  modelDocument->audio = widgetDocument->audio;
  for (auto* d : {widgetDocument.get(), modelDocument.get()}) {
    d->markers.push_back(view::makeBookmark({"flag", {}}, 200000, 44100, 1));
  }
  DocumentPane pane;
  pane.resize(1000, 500);
  pane.setDocument(widgetDocument);
  pane.show();
  settle(pane);
  view::ui::WaveViewWidget* widget = pane.waveView();
  const double scale = widget->devicePixelRatioF();
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == "1.5") {
    EXPECT_EQ(scale, 1.5);
  }
  ScriptedInteraction ui;
  DisplayView model(ui, modelDocument, pane.waveModel().width());
  model.wave.setSize(pane.waveModel().width(), pane.waveModel().height(), scale);
  model.display.setDocument(modelDocument);
  model.settle();
  ASSERT_EQ(model.wave.samplesPerPixel(), pane.waveModel().samplesPerPixel());
  QSignalSpy drops(&pane, &DocumentPane::selectionDropped);

  struct Step {
    QEvent::Type type;
    int x, y;
    Qt::KeyboardModifiers modifiers;
  };
  const int h = widget->height(), flagY = h - 5;
  const int flagX = int(std::ceil(pane.waveModel().frameToX(200000) / scale)) + 3;
  const std::vector<Step> steps = {
      {QEvent::MouseButtonPress, 100, 50, {}},
      {QEvent::MouseButtonRelease, 100, 50, {}},
      {QEvent::MouseButtonPress, 150, 60, {}},
      {QEvent::MouseMove, 152, 60, {}},
      {QEvent::MouseMove, 300, 60, {}},
      {QEvent::MouseButtonRelease, 300, 60, {}},
      {QEvent::MouseButtonPress, 450, 60, Qt::ShiftModifier},
      {QEvent::MouseButtonRelease, 450, 60, Qt::ShiftModifier},
      {QEvent::MouseButtonPress, flagX, flagY, {}},
      {QEvent::MouseMove, 700, flagY, {}},
      {QEvent::MouseButtonRelease, 700, flagY, {}},
      {QEvent::MouseButtonPress, 200, 80, Qt::ControlModifier},
      {QEvent::MouseMove, 800, 80, Qt::ControlModifier},
      {QEvent::MouseButtonRelease, 800, 80, Qt::ControlModifier},
  };
  using Type = view::PointerEvent::Type;
  for (const Step& s : steps) {
    mouse(widget, s.type, QPoint(s.x, s.y),
          s.type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, s.modifiers);
    const QPoint device = widget->toDevice(QPointF(s.x, s.y));
    const Type type = s.type == QEvent::MouseButtonPress ? Type::Press
                      : s.type == QEvent::MouseMove      ? Type::Move
                                                         : Type::Release;
    model.display.pointer({type, device.x(), device.y(), bool(s.modifiers & Qt::ShiftModifier),
                           bool(s.modifiers & Qt::ControlModifier)});
  }
  const WaveDocument& a = *widgetDocument;
  const WaveDocument& b = *modelDocument;
  EXPECT_EQ(a.selectionStart, b.selectionStart);
  EXPECT_EQ(a.selectionEnd, b.selectionEnd);
  EXPECT_EQ(a.cursor, b.cursor);
  EXPECT_EQ(a.markers[0].position, b.markers[0].position);
  EXPECT_TRUE(a.hasSelection());
  EXPECT_NE(a.markers[0].position, 200000);  // the flag moved
  EXPECT_TRUE(a.modified);
  ASSERT_EQ(drops.count(), 1);
  EXPECT_EQ(drops[0][2].toLongLong(),
            pane.waveModel().xToFrame(widget->toDevice(QPointF(800, 0)).x()));
  // The status fields follow the selection.
  EXPECT_EQ(pane.statusFields()->texts()[0].value,
            view::formatA(view::framesToMilliseconds(a.selectionStart, 44100)));
}

TEST_F(WidgetsTest, TheUserInterfaceThreadReadsNoSampleOrPeakFile) {
  auto document = speechDocument(60, 2);
  platform::markUiThread();
  const platform::FileActivity before = platform::uiThreadFileActivity();
  {
    DocumentPane pane;
    pane.resize(1280, 720);
    pane.setDocument(document);
    pane.show();
    settle(pane);
    for (int command : {7003, 7003, 7003, 7004, 7006, 7003}) {
      pane.zoom(command);
      settle(pane);
    }
    pane.timeLine()->scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    settle(pane);
    mouse(pane.waveView(), QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton);
    mouse(pane.waveView(), QEvent::MouseMove, {400, 100}, Qt::NoButton);
    mouse(pane.waveView(), QEvent::MouseButtonRelease, {400, 100}, Qt::LeftButton);
    document->verticalZoom = true;
    pane.refresh(true);
    settle(pane);
    const QImage shot = pane.grab().toImage();
    EXPECT_GT(pane.waveModel().worker().stats().columnsComputed, 2000u);
    EXPECT_FALSE(shot.isNull());
  }
  const platform::FileActivity after = platform::uiThreadFileActivity();
  platform::markUiThread(false);
  EXPECT_EQ(after.opens, before.opens);
  EXPECT_EQ(after.reads, before.reads);
}

TEST_F(WidgetsTest, TheButtonsZoomAndTheScrollBarShowsNoThumbForTheWholeDocument) {
  DocumentPane pane;
  pane.resize(800, 400);
  auto document = speechDocument(5);
  pane.setDocument(document);
  pane.show();
  settle(pane);
  QScrollBar* bar = pane.timeLine()->scrollBar();
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_FALSE(pane.timeLine()->button(7004)->isEnabled());
  QTest::mouseClick(pane.timeLine()->button(7003), Qt::LeftButton);
  settle(pane);
  EXPECT_EQ(document->viewEnd - document->viewStart, (5 * 44100 + 1) / 2);
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_TRUE(pane.timeLine()->button(7004)->isEnabled());
  QSignalSpy touched(&pane, &DocumentPane::documentTouched);
  // A tap in the ruler's tick band moves the cursor there.
  QTest::mouseClick(pane.timeLine(), Qt::LeftButton, {}, QPoint(400, 5));
  EXPECT_NEAR(document->cursor, pane.timeLineModel().xToFrame(400), 1);
  EXPECT_EQ(touched.count(), 1);
  QTest::mouseClick(pane.timeLine()->button(2041), Qt::LeftButton);
  EXPECT_TRUE(document->verticalZoom);
  EXPECT_TRUE(pane.timeLine()->button(2041)->isChecked());
}

TEST_F(WidgetsTest, NoticesPostedFromAWorkerRunOnTheUserInterfaceThread) {
  view::ui::QtNoticePoster poster;
  std::thread::id ranOn;
  bool ran = false;
  std::thread worker([&] {
    poster.post([&] {
      ranOn = std::this_thread::get_id();
      ran = true;
    });
  });
  worker.join();
  EXPECT_FALSE(ran);
  QCoreApplication::processEvents();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(WidgetsTest, TheEditBookmarkDialogKeepsTheNameAndTheChosenColour) {
  view::ui::EditBookmarkDialog dialog({"New bookmark", {10, 20, 30}});
  EXPECT_EQ(dialog.nameEdit()->text(), "New bookmark");
  EXPECT_EQ(dialog.colour(), QColor(10, 20, 30));
  QTest::keyClicks(dialog.nameEdit(), QString(300, 'z'));
  dialog.setColour(QColor(200, 100, 0));
  const view::BookmarkFields fields = dialog.fields();
  EXPECT_EQ(fields.name, std::string(259, 'z'));
  EXPECT_EQ(fields.colour, (view::Rgb{200, 100, 0}));
}

TEST_F(WidgetsTest, TheWaveStripShowsMagnitudesAndATapStartsTheSelection) {
  // Three stretches: full scale, just over 261,120 and just under it.
  std::vector<Sample> words(3000);
  for (int i = 0; i < 3000; ++i)
    words[size_t(i)] = i < 1000 ? -524288 : i < 2000 ? 261121 : 261119;
  const Clip clip = writeClip(words);
  view::ui::WaveStripWidget strip;
  strip.resize(302, 41);  // 300 columns of 10 frames, 40 high
  strip.model().setSource(makeRef<ClipReader>(clip), 3000);
  strip.show();
  ASSERT_TRUE(strip.model().waitIdle(5000));
  QCoreApplication::processEvents();
  const std::vector<uint8_t> bytes = strip.model().columnBytes();
  ASSERT_EQ(bytes.size(), 300u);
  EXPECT_EQ(bytes[50], 255);
  EXPECT_EQ(bytes[150], 255);
  EXPECT_EQ(bytes[250], 254);  // 261,119 >> 10
  QSignalSpy taps(&strip, &view::ui::WaveStripWidget::tapped);
  QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(101, 20));
  ASSERT_GE(taps.count(), 1);
  EXPECT_EQ(taps.last()[0].toLongLong(), 1000);
  EXPECT_EQ(strip.model().selectionStart(), 1000);
  const QImage image = strip.grab().toImage();
  EXPECT_EQ(image.pixelColor(101, 5), QColor(255, 210, 33));  // the selection start's column
  EXPECT_EQ(image.pixelColor(50, 20), QColor(102, 255, 102));
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
}

}  // namespace
}  // namespace quillon::testing
