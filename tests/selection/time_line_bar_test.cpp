// The time-line bar driven offscreen: drags with the mouse, the message to
// its parent, the auto-scroll timer, what it paints, and a screenshot.
#include <QDir>
#include <QPainter>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <memory>

#include "platform/ui/messages.h"
#include "selection/selection_messages.h"
#include "selection/time_line_bar.h"
#include "selection/time_line_painter.h"
#include "tests/selection/message_log.h"
#include "tests/selection/mouse.h"
#include "tests/ui/qt_test_app.h"

using testing_selection::MessageLog;
using testing_selection::Posted;

namespace {

const QRect kBarRect(120, 250, 685, 290);  // where the selection dialog puts it

class TimeLineBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = std::make_unique<QWidget>();
    host_->resize(850, 620);
    bar_ = CTimeLineBar::Create(host_.get(), log_.Id(), kBarRect);
    ASSERT_NE(bar_, nullptr);
    host_->show();
    testing_ui::Pump(std::chrono::milliseconds(20));
  }
  void TearDown() override { host_.reset(); }

  // A client point of the bar's view at a second of the day and a channel row.
  QPoint At(int second, int row) const {
    const int x = bar_->XOfSecond(second) - bar_->horizontalScrollBar()->value();
    return {x, bar_->m_nHeaderHeight + (row - 1) * bar_->m_nRowHeight + 7};
  }
  std::vector<Posted> Messages() {
    testing_ui::Pump(std::chrono::milliseconds(20));
    return log_.Take();
  }
  QImage View() { return bar_->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  MessageLog log_;
  std::unique_ptr<QWidget> host_;
  CTimeLineBar* bar_ = nullptr;
};

const Posted kSelected{selection::WM_TIMELINE_SELECT, 0, 0};

}  // namespace

TEST_F(TimeLineBarTest, CreatedAtZoomZeroWithItsTimerRunning) {
  EXPECT_EQ(bar_->parentWidget(), host_.get());
  EXPECT_EQ(bar_->geometry(), kBarRect);
  EXPECT_EQ(bar_->m_nZoom, 0);
  EXPECT_EQ(bar_->m_nCellWidth, 7);
  EXPECT_EQ(bar_->m_nTimerId, CTimeLineBar::TIMER_AUTOSCROLL);
  EXPECT_EQ(bar_->m_memBitmap.size(), QSize(13926, 266));
  // The whole day fits at zoom 0: nothing to scroll.
  EXPECT_EQ(bar_->horizontalScrollBar()->maximum(), 0);
  bar_->SetZoom(40);
  EXPECT_EQ(bar_->m_nZoom, 23);
  EXPECT_EQ(bar_->horizontalScrollBar()->maximum(), 13926 - bar_->viewport()->width());
  // The view's initial update sets 100 x 100 until the next zoom; nothing
  // sends it but this test.
  bar_->OnInitialUpdate();
  EXPECT_EQ(bar_->horizontalScrollBar()->maximum(), 0);
  bar_->SetZoom(23);
  EXPECT_EQ(bar_->horizontalScrollBar()->maximum(), 13926 - bar_->viewport()->width());
}

TEST_F(TimeLineBarTest, ADragSnapsToTheRecordingsAndTellsTheParent) {
  bar_->AddItem(1, 29700, 34200, 1);
  bar_->AddItem(3, 40000, 41000, 2);
  bar_->AddItem(5, 50000, 52000, 4);

  testing_selection::Press(bar_->viewport(), At(28800, 1));
  EXPECT_EQ(bar_->m_bDragging, 1);
  testing_selection::DragTo(bar_->viewport(), At(36000, 2));
  EXPECT_EQ(bar_->viewport()->cursor().shape(), Qt::PointingHandCursor);
  testing_selection::DragTo(bar_->viewport(), At(42000, 3));
  testing_selection::DragTo(bar_->viewport(), QPoint(20, 280));  // below the grid
  EXPECT_EQ(bar_->viewport()->cursor().shape(), Qt::ForbiddenCursor);
  EXPECT_TRUE(Messages().empty());  // nothing until the button comes up
  testing_selection::Release(bar_->viewport(), At(42000, 3));

  EXPECT_EQ(bar_->m_bDragging, 0);
  EXPECT_EQ(Messages(), std::vector<Posted>({kSelected}));
  EXPECT_EQ(bar_->m_nSelStart, 29700);
  EXPECT_EQ(bar_->m_nSelEnd, 41000);
  EXPECT_EQ(bar_->m_nRowFlags[0], 1);
  EXPECT_EQ(bar_->m_nRowFlags[1], 0);
  EXPECT_EQ(bar_->m_nRowFlags[2], 1);
  EXPECT_EQ(bar_->m_nRowFlags[4], 0);  // row 5 lies outside the drag

  // A click where nothing is recorded still tells the parent: 0 to 0.
  testing_selection::Click(bar_->viewport(), At(20000, 1));
  EXPECT_EQ(Messages(), std::vector<Posted>({kSelected}));
  EXPECT_EQ(bar_->m_nSelStart, 0);
  EXPECT_EQ(bar_->m_nSelEnd, 0);
  EXPECT_EQ(bar_->m_nRowFlags[0] + bar_->m_nRowFlags[2], 0);

  // A press outside the grid starts nothing, and its release tells nobody.
  testing_selection::Click(bar_->viewport(), QPoint(2, 10));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(TimeLineBarTest, ATimePickerSelectionTellsTheParentToo) {
  bar_->AddItem(16, 3600, 7200, 0x10);
  bar_->SetSelection(0, 5000);
  EXPECT_EQ(Messages(), std::vector<Posted>({kSelected}));
  EXPECT_EQ(bar_->m_nSelRowStart, 1);
  EXPECT_EQ(bar_->m_nSelRowEnd, 16);
  EXPECT_EQ(bar_->m_nSelStart, 3600);
  EXPECT_EQ(bar_->m_nSelEnd, 5000);
  EXPECT_EQ(bar_->m_nRowFlags[15], 1);
}

TEST_F(TimeLineBarTest, DraggingBeyondASideScrollsByFiveTimesTheZoomPerTick) {
  bar_->SetZoom(10);  // 37-pixel columns: a step of 50 pixels
  QScrollBar* h = bar_->horizontalScrollBar();
  const int right = bar_->width();  // beyond the window's right edge
  testing_selection::Press(bar_->viewport(), At(3600, 2));
  testing_selection::DragTo(bar_->viewport(), QPoint(right + 10, 40));
  EXPECT_EQ(bar_->m_nAutoScroll, 1);
  // The running timer takes the step, then forgets the side.
  ASSERT_TRUE(testing_ui::PumpUntil([&] { return h->value() == 50; }, std::chrono::seconds(2)));
  EXPECT_EQ(bar_->m_nAutoScroll, 0);
  testing_ui::Pump(std::chrono::milliseconds(250));
  EXPECT_EQ(h->value(), 50);  // no further moves, no further steps

  // Ticks by hand from here on: each move beyond the side buys one step.
  for (int i = 0; i < 3; ++i) {
    testing_selection::DragTo(bar_->viewport(), QPoint(right + 10, 40));
    bar_->SendMessage(platform::ui::WM_TIMER, CTimeLineBar::TIMER_AUTOSCROLL);
  }
  EXPECT_EQ(h->value(), 200);
  testing_selection::DragTo(bar_->viewport(), QPoint(-20, 40));
  bar_->SendMessage(platform::ui::WM_TIMER, CTimeLineBar::TIMER_AUTOSCROLL);
  EXPECT_EQ(h->value(), 150);

  // Near the end, a step that would pass the limit is not taken.
  h->setValue(h->maximum() - 30);
  testing_selection::DragTo(bar_->viewport(), QPoint(right + 10, 40));
  bar_->SendMessage(platform::ui::WM_TIMER, CTimeLineBar::TIMER_AUTOSCROLL);
  EXPECT_EQ(h->value(), h->maximum() - 30);
  EXPECT_EQ(bar_->m_nAutoScroll, 0);

  // The mouse maps through the scroll position.
  testing_selection::Release(bar_->viewport(), QPoint(100, 40));
  EXPECT_EQ(bar_->m_nSelEnd, 0);  // no recordings: 0 to 0
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(TimeLineBarTest, TheScrollBarPagesByATenthOfTheDayAndStepsByAHundredth) {
  QScrollBar* h = bar_->horizontalScrollBar();
  const struct {
    int zoom, width;
  } cases[] = {{23, 13926}, {12, 5286}, {5, 1638}};
  for (const auto& k : cases) {
    bar_->SetZoom(k.zoom);
    ASSERT_EQ(bar_->ScrollSize().width(), k.width);
    const int page = k.width / 10;
    const int line = page / 10;
    h->setValue(0);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(h->value(), page) << k.zoom;
    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(h->value(), page + line) << k.zoom;
    h->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(h->value(), line) << k.zoom;
    // A page never passes either end.
    h->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(h->value(), 0) << k.zoom;
    h->setValue(h->maximum() - 1);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(h->value(), h->maximum()) << k.zoom;
    // The handle shows how much of the day is in view.
    EXPECT_EQ(h->pageStep(), bar_->viewport()->width()) << k.zoom;
  }
}

TEST_F(TimeLineBarTest, AZoomZeroTickMovesNothing) {
  testing_selection::Press(bar_->viewport(), At(3600, 2));
  testing_selection::DragTo(bar_->viewport(), QPoint(bar_->width() + 10, 40));
  bar_->SendMessage(platform::ui::WM_TIMER, CTimeLineBar::TIMER_AUTOSCROLL);
  EXPECT_EQ(bar_->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(bar_->m_nAutoScroll, 0);
}

TEST_F(TimeLineBarTest, PaintsRecordingsSelectionAndGrid) {
  bar_->AddItem(1, 3600, 7200, 0x01);   // red
  bar_->AddItem(2, 3600, 7200, 0x13);   // blue wins over red
  bar_->AddItem(3, 3600, 7200, 0x24);   // green
  bar_->AddItem(4, 3600, 7200, 0x01);
  bar_->AddItem(4, 5000, 6000, 0x04);   // a later item covers an earlier one
  bar_->AddItem(5, 3600, 7200, 0x00);   // no known bit: nothing drawn
  testing_selection::Press(bar_->viewport(), At(4000, 1));
  testing_selection::Release(bar_->viewport(), At(4000, 1));
  ASSERT_EQ(bar_->m_nRowFlags[0], 1);
  bar_->viewport()->repaint();
  const QImage view = View();
  auto pixel = [&](int second, int row, int dy = 7) {
    return QColor(view.pixel(bar_->XOfSecond(second), 25 + (row - 1) * 15 + dy));
  };
  EXPECT_EQ(pixel(5400, 1), QColor(221, 0, 0));
  EXPECT_EQ(pixel(5400, 2), QColor(0, 0, 221));
  EXPECT_EQ(pixel(5400, 3), QColor(0, 221, 0));
  EXPECT_EQ(pixel(4000, 4), QColor(221, 0, 0));
  EXPECT_EQ(pixel(5500, 4), QColor(0, 221, 0));
  // Row 5's item adds no colour: the cell shows the grid's white.
  EXPECT_EQ(pixel(5000, 5), QColor(Qt::white));
  // The selected minute in the flagged row, above and below its recording.
  EXPECT_EQ(pixel(4000, 1, 2), QColor(85, 136, 204));
  EXPECT_EQ(pixel(4000, 2, 2), QColor(221, 221, 221));  // unselected: the hour's shaded quarter
  // The first quarter of each hour is shaded; the grid lines are grey.
  EXPECT_EQ(QColor(view.pixel(7, 27)), QColor(221, 221, 221));
  EXPECT_EQ(QColor(view.pixel(5, 27)), QColor(157, 157, 157));
  EXPECT_EQ(QColor(view.pixel(8, 25)), QColor(157, 157, 157));
  // The header band.
  EXPECT_EQ(QColor(view.pixel(300, 20)), QColor(239, 235, 222));

  // Items far outside the day or the rows paint what falls on the picture.
  bar_->AddItem(-2147483647 - 1, -2147483647 - 1, 2147483647, 0x3F);
  bar_->AddItem(6, -2147483647 - 1, 2147483647, 0x01);
  bar_->viewport()->repaint();
  const QImage wide = View();
  EXPECT_EQ(QColor(wide.pixel(200, 25 + 5 * 15 + 7)), QColor(221, 0, 0));
}

TEST_F(TimeLineBarTest, ScreenshotOfADayWithASelection) {
  const struct { int channel, start, end, type; } day[] = {
      {1, 0, 86400, 0x01},      {2, 6 * 3600, 18 * 3600, 0x01}, {2, 8 * 3600, 8 * 3600 + 900, 0x02},
      {2, 12 * 3600, 12 * 3600 + 1800, 0x04}, {3, 7 * 3600, 9 * 3600, 0x10}, {4, 22 * 3600, 86400, 0x01},
      {5, 3 * 3600, 5 * 3600, 0x20}, {7, 0, 12 * 3600, 0x01}, {8, 9 * 3600, 10 * 3600, 0x02},
      {9, 14 * 3600, 16 * 3600, 0x01}, {9, 15 * 3600, 15 * 3600 + 600, 0x04}, {12, 1 * 3600, 23 * 3600, 0x01},
      {16, 20 * 3600, 21 * 3600, 0x02},
  };
  for (const auto& d : day) bar_->AddItem(d.channel, d.start, d.end, d.type);
  testing_selection::Press(bar_->viewport(), At(7 * 3600 + 1800, 1));
  testing_selection::DragTo(bar_->viewport(), At(9 * 3600 + 1800, 3));
  testing_selection::Release(bar_->viewport(), At(9 * 3600 + 1800, 3));
  // Inside recordings: the seconds of the pixels, to within one pixel's width.
  EXPECT_NEAR(bar_->m_nSelStart, 7 * 3600 + 1800, 129);
  EXPECT_NEAR(bar_->m_nSelEnd, 9 * 3600 + 1800, 129);
  EXPECT_EQ(bar_->m_nRowFlags[0] + bar_->m_nRowFlags[1] + bar_->m_nRowFlags[2], 3);
  QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
  EXPECT_TRUE(bar_->grab().save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/time_line_bar.png")));
  bar_->SetZoom(6);
  bar_->horizontalScrollBar()->setValue(bar_->XOfSecond(6 * 3600));
  testing_ui::Pump(std::chrono::milliseconds(30));  // lets the scroll bar show
  EXPECT_TRUE(bar_->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(bar_->grab().save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/time_line_bar_zoom6.png")));
}
