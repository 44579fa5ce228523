// The three widgets inside a dialog of the window layer, as the selection
// dialog holds them: the calendar by value, the bar by pointer, an image
// button over the template's zoom-in button. Their messages reach the
// dialog's hook; everything goes with the dialog's window.
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <vector>

#include "platform/core/local_time.h"
#include "platform/ui/dialog.h"
#include "selection/calendar.h"
#include "selection/image_button.h"
#include "selection/selection_messages.h"
#include "selection/time_line_bar.h"
#include "tests/app/run_dialog.h"
#include "tests/selection/mouse.h"
#include "tests/ui/qt_test_app.h"

namespace {

platform::ui::DialogTemplate HostTemplate() {
  platform::ui::DialogTemplate t;
  t.caption = QStringLiteral("Open History");
  t.cx = 544;
  t.cy = 376;
  platform::ui::ControlTemplate zoomIn;
  zoomIn.id = 1015;
  zoomIn.kind = platform::ui::ControlKind::PushButton;
  zoomIn.text = QStringLiteral("Button3");
  zoomIn.x = 53;
  zoomIn.y = 219;
  zoomIn.cx = 15;
  zoomIn.cy = 12;
  zoomIn.style = platform::ui::kVisible | platform::ui::kTabStop;
  t.controls.push_back(zoomIn);
  return t;
}

class HostDialog : public platform::ui::Dialog {
 public:
  HostDialog() : Dialog(HostTemplate()) { MapCommand(1015, [this] { ++zoomInClicks; }); }

  CCalendar m_calendar;
  CTimeLineBar* m_pTimeLine = nullptr;
  CMyButton m_btnZoomIn;
  std::vector<std::pair<unsigned, std::uintptr_t>> received;
  int zoomInClicks = 0;

 protected:
  void DoDataExchange() override { m_btnZoomIn.SubclassDlgItem(1015, this); }
  bool OnInitDialog() override {
    Dialog::OnInitDialog();
    m_calendar.Create(this, QRect(12, 50, 208, 160));
    m_pTimeLine = CTimeLineBar::Create(this, QRect(120, 250, 685, 290));
    const QString plus = QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/Plus.bmp");
    m_btnZoomIn.SetImages(plus, plus, plus, plus);
    Item<QPushButton>(1015)->setGeometry(100, 541, 18, 20);
    return true;
  }
  bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override {
    if (msg == selection::WM_CALENDAR_PICK || msg == selection::WM_TIMELINE_SELECT) received.emplace_back(msg, wParam);
    return Dialog::OnWndMsg(msg, wParam, lParam);
  }
};

}  // namespace

TEST(HostedWidgets, MessagesReachTheDialogAndTheWidgetsGoWithItsWindow) {
  platform::SetLocalClock([] { return platform::LocalTime{2012, 5, 13, 9, 0, 0}; });
  HostDialog dlg;
  QPointer<CTimeLineBar> bar;
  RunDialog<HostDialog>(dlg, [&](HostDialog& d) {
    bar = d.m_pTimeLine;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->parentWidget(), d.Client());
    EXPECT_EQ(d.m_calendar.Window()->parentWidget(), d.Client());
    ASSERT_NE(d.m_btnZoomIn.Button(), nullptr);

    // A day with recordings picked on the calendar.
    ASSERT_TRUE(d.m_calendar.MarkDay(13));
    CStaticEx* cell = d.m_calendar.m_pDayCells[d.m_calendar.m_nFirstWeekday + 13 - 2];
    testing_selection::Click(cell, cell->rect().center());
    ASSERT_TRUE(testing_ui::PumpUntil([&] { return !d.received.empty(); }));
    EXPECT_EQ(d.received.back(), std::make_pair(selection::WM_CALENDAR_PICK, std::uintptr_t{1}));
    EXPECT_EQ(d.m_calendar.GetSelectedDay(), 13);

    // A drag on the time line.
    d.received.clear();
    bar->AddItem(2, 8 * 3600, 9 * 3600, 1);
    bar->Invalidate();
    const int y = 25 + 15 + 7;
    testing_selection::Press(bar->viewport(), {bar->XOfSecond(7 * 3600), y});
    testing_selection::DragTo(bar->viewport(), {bar->XOfSecond(10 * 3600), y});
    testing_selection::Release(bar->viewport(), {bar->XOfSecond(10 * 3600), y});
    ASSERT_TRUE(testing_ui::PumpUntil([&] { return !d.received.empty(); }));
    EXPECT_EQ(d.received.back(), std::make_pair(selection::WM_TIMELINE_SELECT, std::uintptr_t{0}));
    EXPECT_EQ(bar->m_nSelStart, 8 * 3600);
    EXPECT_EQ(bar->m_nSelEnd, 9 * 3600);
    EXPECT_EQ(bar->m_nRowFlags[1], 1);

    // The image button still clicks through to the dialog's command.
    testing_selection::Click(d.m_btnZoomIn.Button(), {5, 5});
    EXPECT_EQ(d.zoomInClicks, 1);
  });
  // The bar went with the window; the calendar object outlives it.
  EXPECT_TRUE(bar.isNull());
  EXPECT_EQ(dlg.m_calendar.Window(), nullptr);
  EXPECT_EQ(dlg.m_btnZoomIn.Button(), nullptr);
  platform::SetLocalClock({});
}
