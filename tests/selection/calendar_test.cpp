// The month calendar driven offscreen: the current month on creation, days
// marked and picked with the mouse, month changes from the keyboard, the
// messages to its parent, and a screenshot.
#include <QDir>
#include <QKeyEvent>
#include <gtest/gtest.h>

#include <memory>

#include "platform/core/local_time.h"
#include "selection/calendar.h"
#include "selection/selection_messages.h"
#include "tests/selection/message_log.h"
#include "tests/selection/mouse.h"
#include "tests/ui/qt_test_app.h"

using testing_selection::MessageLog;
using testing_selection::Posted;

namespace {

const QRect kCalendarRect(12, 50, 208, 160);  // where the selection dialog puts it
const Posted kDayPicked{selection::WM_CALENDAR_PICK, 1, 0};
const Posted kMonthChanged{selection::WM_CALENDAR_PICK, 0, 0};

class CalendarTest : public ::testing::Test {
 protected:
  void SetUp() override { StartOn(2012, 5, 13); }
  void TearDown() override {
    calendar_.reset();
    host_.reset();
    platform::SetLocalClock({});
  }
  void StartOn(int year, int month, int day) {
    calendar_.reset();
    host_.reset();
    platform::SetLocalClock([=] { return platform::LocalTime{year, month, day, 10, 0, 0}; });
    host_ = std::make_unique<QWidget>();
    host_->resize(240, 230);
    calendar_ = std::make_unique<CCalendar>();
    ASSERT_EQ(calendar_->Create(host_.get(), log_.Id(), kCalendarRect), 1);
    host_->show();
    testing_ui::Pump(std::chrono::milliseconds(20));
  }
  CStaticEx* CellOf(int day) { return calendar_->m_pDayCells[calendar_->m_nFirstWeekday + day - 2].data(); }
  void ClickDay(int day) {
    CStaticEx* cell = CellOf(day);
    testing_selection::Click(cell, cell->rect().center());
  }
  std::vector<Posted> Messages() {
    testing_ui::Pump(std::chrono::milliseconds(30));
    return log_.Take();
  }
  void Key(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
  }

  MessageLog log_;
  std::unique_ptr<QWidget> host_;
  std::unique_ptr<CCalendar> calendar_;
};

}  // namespace

TEST_F(CalendarTest, ShowsTheCurrentMonth) {
  CCalendar& c = *calendar_;
  ASSERT_NE(c.Window(), nullptr);
  EXPECT_EQ(c.Window()->geometry(), kCalendarRect);
  EXPECT_EQ(c.m_pMonthCombo->count(), 12);
  EXPECT_EQ(c.m_pMonthCombo->itemText(0), "01");
  EXPECT_EQ(c.m_pMonthCombo->itemText(11), "12");
  EXPECT_EQ(c.m_pMonthCombo->currentIndex(), 4);
  EXPECT_EQ(c.m_pYearCombo->count(), 40);
  EXPECT_EQ(c.m_pYearCombo->itemText(0), "2005");
  EXPECT_EQ(c.m_pYearCombo->itemText(39), "2044");
  EXPECT_EQ(c.m_pYearCombo->currentIndex(), 7);
  const char* headers[] = {"  S", "  M", "  T", "  W", "  T", "  F", "  S"};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(c.m_pWeekdayLabels[i]->text(), headers[i]);
    EXPECT_EQ(c.m_pWeekdayLabels[i]->m_nMode, 0);
    EXPECT_EQ(c.m_pWeekdayLabels[i]->Id(), 91 + i);
  }
  // May 2012 begins on a Tuesday.
  EXPECT_EQ(c.m_nFirstWeekday, 3);
  EXPECT_EQ(c.m_pDayCells[0]->text(), "");
  EXPECT_EQ(c.m_pDayCells[2]->text(), "1");
  EXPECT_EQ(c.m_pDayCells[32]->text(), "31");
  EXPECT_EQ(c.m_pDayCells[33]->text(), "");
  for (int k = 0; k < 42; ++k) {
    EXPECT_EQ(c.m_pDayCells[k]->m_nMode, 3);
    EXPECT_EQ(c.m_pDayCells[k]->Id(), k);
    EXPECT_EQ(c.m_pDayCells[k]->geometry().size(), QSize(29, 17));
  }
  EXPECT_EQ(c.GetSelectedDay(), 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CalendarTest, PickingDaysWithRecordings) {
  CCalendar& c = *calendar_;
  EXPECT_TRUE(c.MarkDay(5));
  EXPECT_TRUE(c.MarkDay(17));
  EXPECT_FALSE(c.MarkDay(0));
  EXPECT_FALSE(c.MarkDay(32));  // May has 31 days
  EXPECT_EQ(CellOf(5)->m_nMode, 2);

  // A day with recordings turns red and the parent is told.
  ClickDay(5);
  EXPECT_EQ(Messages(), std::vector<Posted>({kDayPicked}));
  EXPECT_EQ(CellOf(5)->m_nMode, 1);
  EXPECT_EQ(c.GetSelectedDay(), 5);
  ClickDay(17);
  EXPECT_EQ(Messages(), std::vector<Posted>({kDayPicked}));
  EXPECT_EQ(CellOf(17)->m_nMode, 1);
  EXPECT_EQ(CellOf(5)->m_nMode, 2);  // the earlier one blue again
  EXPECT_EQ(c.GetSelectedDay(), 17);

  // Plain days and the chosen day do nothing.
  ClickDay(6);
  ClickDay(17);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(c.GetSelectedDay(), 17);

  // A hand over a day with recordings only.
  testing_selection::HoverAt(CellOf(5), CellOf(5)->rect().center());
  EXPECT_EQ(CellOf(5)->cursor().shape(), Qt::PointingHandCursor);
  testing_selection::HoverAt(CellOf(6), CellOf(6)->rect().center());
  EXPECT_EQ(CellOf(6)->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(CalendarTest, TheDayUnderTheReleasePicksNotTheOneUnderThePress) {
  CCalendar& c = *calendar_;
  c.MarkDay(5);
  c.MarkDay(20);
  // The pressed cell keeps the mouse until the release, which it receives
  // at a point over another cell (or over none).
  auto pressAndReleaseOver = [&](CStaticEx* pressed, QWidget* over, QPoint at) {
    testing_selection::Press(pressed, pressed->rect().center());
    testing_selection::Release(pressed, pressed->mapFrom(c.Window(), over->mapTo(c.Window(), at)));
  };
  const struct {
    int pressDay, releaseDay, picked;
  } cases[] = {
      {5, 20, 20},   // from one marked day to another: the second
      {20, 5, 5},
      {6, 20, 20},   // from a plain day onto a marked one
      {20, 6, 0},    // from a marked day onto a plain one: nothing
      {5, 5, 5},
  };
  for (const auto& k : cases) {
    c.SelectDay(-1);  // nothing chosen, both marked days blue
    Messages();
    pressAndReleaseOver(CellOf(k.pressDay), CellOf(k.releaseDay), CellOf(k.releaseDay)->rect().center());
    EXPECT_EQ(Messages(), k.picked ? std::vector<Posted>({kDayPicked}) : std::vector<Posted>())
        << k.pressDay << " -> " << k.releaseDay;
    EXPECT_EQ(c.GetSelectedDay(), k.picked) << k.pressDay << " -> " << k.releaseDay;
  }
  // Released over the weekday header, or outside the calendar: nothing.
  c.SelectDay(-1);
  Messages();
  pressAndReleaseOver(CellOf(5), c.m_pWeekdayLabels[2], c.m_pWeekdayLabels[2]->rect().center());
  pressAndReleaseOver(CellOf(5), c.Window(), QPoint(c.Window()->width() + 20, c.Window()->height() / 2));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(c.GetSelectedDay(), 0);
}

TEST_F(CalendarTest, APickThatSelectsNothingIsNotPassedOn) {
  CCalendar& c = *calendar_;
  c.MarkDay(5);
  ClickDay(5);
  Messages();
  // A day without recordings, or none the month has: the old choice goes
  // back to blue, and the parent is not told to load a day that is not chosen.
  for (std::uintptr_t day : {std::uintptr_t{6}, std::uintptr_t{0}, std::uintptr_t{40}, ~std::uintptr_t{0}}) {
    platform::PostWindowMessage(c.Id(), selection::WM_CALENDAR_PICK, day, 0);
    EXPECT_TRUE(Messages().empty()) << day;
  }
  EXPECT_EQ(CellOf(5)->m_nMode, 2);
  EXPECT_EQ(c.GetSelectedDay(), 0);
  // A pick sent by anyone else for a marked day selects it.
  platform::PostWindowMessage(c.Id(), selection::WM_CALENDAR_PICK, 5, 0);
  EXPECT_EQ(Messages(), std::vector<Posted>({kDayPicked}));
  EXPECT_EQ(c.GetSelectedDay(), 5);
}

TEST_F(CalendarTest, ChangingTheMonthRefillsAndTellsTheParent) {
  CCalendar& c = *calendar_;
  c.MarkDay(5);
  ClickDay(5);
  Messages();
  Key(c.m_pMonthCombo, Qt::Key_Down);  // June 2012 begins on a Friday
  EXPECT_EQ(c.m_pMonthCombo->currentIndex(), 5);
  EXPECT_EQ(Messages(), std::vector<Posted>({kMonthChanged}));
  EXPECT_EQ(c.m_nFirstWeekday, 6);
  EXPECT_EQ(c.m_pDayCells[5]->text(), "1");
  EXPECT_EQ(c.m_pDayCells[34]->text(), "30");
  EXPECT_EQ(c.m_pDayCells[35]->text(), "");
  for (const auto& cell : c.m_pDayCells) EXPECT_EQ(cell->m_nMode, 3);
  EXPECT_EQ(c.GetSelectedDay(), 0);

  Key(c.m_pYearCombo, Qt::Key_Up);  // June 2011 begins on a Wednesday
  EXPECT_EQ(Messages(), std::vector<Posted>({kMonthChanged}));
  EXPECT_EQ(c.m_nFirstWeekday, 4);
  // Changes the code makes itself tell nobody.
  c.m_pMonthCombo->setCurrentIndex(1);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CalendarTest, LeapFebruariesThroughFillMonth) {
  CCalendar& c = *calendar_;
  const struct { int year, lastDay; } cases[] = {{2008, 29}, {2012, 29}, {2016, 29}, {2011, 28}, {2100, 28}};
  for (const auto& f : cases) {
    c.FillMonth(f.year, 2);
    EXPECT_EQ(CellOf(f.lastDay)->text(), QString::number(f.lastDay)) << f.year;
    const int after = c.m_nFirstWeekday + f.lastDay - 1;
    EXPECT_EQ(c.m_pDayCells[after]->text(), "") << f.year;
  }
}

TEST_F(CalendarTest, AYearOutsideTheListLeavesItWithoutASelection) {
  StartOn(2050, 3, 1);
  CCalendar& c = *calendar_;
  EXPECT_EQ(c.m_pYearCombo->currentIndex(), -1);
  EXPECT_EQ(c.m_nFirstWeekday, selection::FirstWeekday(2050, 3));
  EXPECT_EQ(CellOf(31)->text(), "31");
  // A later month change reads the year as 2004 (December 2004).
  Key(c.m_pMonthCombo, Qt::Key_End);
  EXPECT_EQ(Messages(), std::vector<Posted>({kMonthChanged}));
  EXPECT_EQ(c.m_nFirstWeekday, selection::FirstWeekday(2004, 12));
}

TEST_F(CalendarTest, PaintsTheModesAndSavesAScreenshot) {
  CCalendar& c = *calendar_;
  for (int day : {2, 5, 9, 13, 17, 21, 28}) c.MarkDay(day);
  ClickDay(13);
  testing_ui::Pump(std::chrono::milliseconds(30));
  const QImage image = c.Window()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  auto countIn = [&](const QRect& r, auto pred) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += pred(QColor(image.pixel(x, y)));
    return n;
  };
  auto blue = [](QColor p) { return p.blue() > 150 && p.red() < 110 && p.green() < 110; };
  auto red = [](QColor p) { return p.red() > 150 && p.green() < 110 && p.blue() < 110; };
  EXPECT_GT(countIn(CellOf(5)->geometry(), blue), 0);
  EXPECT_EQ(countIn(CellOf(5)->geometry(), red), 0);
  EXPECT_GT(countIn(CellOf(13)->geometry(), red), 0);
  EXPECT_EQ(countIn(CellOf(6)->geometry(), blue) + countIn(CellOf(6)->geometry(), red), 0);
  // The weekday band's top stripe.
  const QRect label = c.m_pWeekdayLabels[3]->geometry();
  EXPECT_EQ(QColor(image.pixel(label.right() - 1, label.top() + 2)), QColor(30, 70, 240));
  EXPECT_EQ(QColor(image.pixel(label.right() - 1, label.top() + 9)), QColor(20, 70, 220));
  EXPECT_EQ(QColor(image.pixel(label.right() - 1, label.bottom() - 1)), QColor(10, 70, 200));

  QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
  EXPECT_TRUE(c.Window()->grab().save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/calendar.png")));
  EXPECT_TRUE(c.Window()->grab().scaled(c.Window()->size() * 3).save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/calendar_x3.png")));
}

TEST(CalendarLifetime, TheWindowMayGoFirstOrLast) {
  MessageLog log;
  {
    auto host = std::make_unique<QWidget>();
    CCalendar calendar;
    calendar.Create(host.get(), log.Id(), kCalendarRect);
    const platform::WindowId id = calendar.Id();
    host.reset();  // the parent's window goes first, as when a dialog ends
    EXPECT_EQ(calendar.Window(), nullptr);
    EXPECT_FALSE(platform::PostWindowMessage(id, platform::WM_USER));  // dropped: no window has the id
    EXPECT_EQ(calendar.GetSelectedDay(), 0);
  }
  {
    QWidget host;
    {
      CCalendar calendar;
      calendar.Create(&host, log.Id(), kCalendarRect);
    }
    EXPECT_TRUE(host.findChildren<QComboBox*>().isEmpty());
  }
}
