// The selection dialog offscreen against the simulated recorder: what its
// queries put on the calendar, the captions and the time line, how day
// picks and time-line selections drive the pickers and the preview, and
// what OK and Cancel hand back.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QKeyEvent>
#include <cstdint>
#include <optional>
#include <string>

#include "../app/box_recorder.h"
#include "../app/run_dialog.h"
#include "../ui/qt_test_app.h"
#include "nvr/nvr_session.h"
#include "res/resource.h"
#include "selection/calendar_layout.h"
#include "selection/select_dialog.h"
#include "selection/selection_messages.h"
#include "sim_recorder.h"

namespace ui = platform::ui;
using selection::WM_CALENDAR_PICK;

namespace {

constexpr int kDay = 13;  // every month has it

// A performance counter the test moves by hand, in milliseconds.
class FakeCounter {
 public:
  FakeCounter() {
    previous_ = selection::SetPerformanceCounter({[this] { return now_; }, [] { return std::int64_t{1000}; }});
  }
  ~FakeCounter() { selection::SetPerformanceCounter(previous_); }
  void Advance(std::int64_t ms) { now_ += ms; }

 private:
  std::int64_t now_ = 1000000;
  selection::PerformanceCounter previous_;
};

class SelectDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_ui::App();
    today_ = QDate::currentDate();
    sim::Config config;
    config.default_content = false;
    config.channel_names = {"Gate", "A very long name", "Yard"};
    recorder_ = std::make_unique<sim::SimRecorder>(config);
    ASSERT_TRUE(recorder_->Start()) << recorder_->Error();
    recorder_->SetRecordings(Day(5), {{2, 3600, 7200, 2}});
    recorder_->SetRecordings(Day(kDay), {{1, 29700, 34200, 1}, {3, 40000, 41000, 4}});
    session_.SetServer("Lobby", "127.0.0.1", "admin", "admin", recorder_->Port(), 0);
    // The main window holds a play id while the dialog runs.
    nvr::HttpGet http;
    ASSERT_TRUE(http.Connect("127.0.0.1", "admin", "admin", 3000, 0, recorder_->Port()));
    char grant[64] = {};
    http.GetToBuffer("/play/getid", grant, sizeof grant);
    session_.playId = recorder_->LastPlayId();
    ASSERT_GE(session_.playId.load(), 0);
    recorder_->ClearRequests();
  }

  sim::Date Day(int day) const { return {today_.year(), today_.month(), day}; }
  std::vector<std::string> Targets(std::optional<sim::Request> request = std::nullopt) const {
    std::vector<std::string> targets;
    for (const auto& r : request ? recorder_->Requests(*request) : recorder_->Requests()) targets.push_back(r.target);
    return targets;
  }
  static int Mode(CSelectDialog& d, int day) {
    return d.m_calendar.m_pDayCells[selection::CellOfDay(d.m_calendar.m_nFirstWeekday, day)]->m_nMode;
  }
  // The operator clicks a blue day: the cell tells the calendar, which tells the dialog.
  static void PickDay(CSelectDialog& d, int day) {
    d.m_calendar.SendMessage(WM_CALENDAR_PICK, static_cast<std::uintptr_t>(day));
    testing_ui::Pump(std::chrono::milliseconds(50));
  }
  static void Select(CSelectDialog& d, int start, int end) {
    d.m_pTimeLine->SetSelection(start, end);
    testing_ui::Pump(std::chrono::milliseconds(50));
  }
  static QString Shown(ui::DateTimePicker* picker) { return picker->text(); }
  int Run(const std::function<void(CSelectDialog&)>& act) {
    dialog_.m_pSession = &session_;
    return RunDialog<CSelectDialog>(dialog_, act);
  }

  QDate today_;
  std::unique_ptr<sim::SimRecorder> recorder_;
  nvr::NvrSession session_;
  FakeCounter counter_;
  BoxRecorder boxes_;
  CSelectDialog dialog_;
};

TEST_F(SelectDialogTest, OpeningQueriesTheRecorderAndFillsCalendarAndCaptions) {
  Run([&](CSelectDialog& d) {
    EXPECT_EQ(d.Window()->windowTitle(), "Open History");
    EXPECT_EQ(Mode(d, 5), selection::kModeRecordings);
    EXPECT_EQ(Mode(d, kDay), selection::kModeRecordings);
    EXPECT_EQ(Mode(d, 6), selection::kModePlain);
    EXPECT_EQ(d.m_pChannelCaptions[0]->text(), "CH01 Gate");
    EXPECT_EQ(d.m_pChannelCaptions[1]->text(), "CH02 A very l...");
    EXPECT_EQ(d.m_pChannelCaptions[2]->text(), "CH03 Yard");
    EXPECT_EQ(d.m_pChannelCaptions[3]->text(), "");
    EXPECT_EQ(Shown(d.m_pStartTime), "00:00");
    EXPECT_EQ(Shown(d.m_pEndTime), "23:59");
    EXPECT_FALSE(d.m_pStartDate->isEnabled());
    EXPECT_TRUE(d.m_pStartTime->isEnabled());
    EXPECT_EQ(d.m_pPreviewCheck->GetCheck(), ui::BST_CHECKED);
    EXPECT_EQ(d.m_nPlayPrivilege, 0xFFFF);
  });
  EXPECT_EQ(Targets(), (std::vector<std::string>{
                           "/config/datetime", "/config/userprivileges",
                           "/play/recdate?recyear=" + std::to_string(today_.year()) +
                               "&recmonth=" + std::to_string(today_.month()),
                           "/live/avdevlist"}));
}

TEST_F(SelectDialogTest, ARecorderWithoutDateIsNotAskedAnythingMore) {
  recorder_->AddFault(sim::FaultRule::AnswerWith(sim::Request::GetDateTime, 200, "nodate\n"));
  const int result = Run([&](CSelectDialog& d) {
    EXPECT_EQ(Mode(d, kDay), selection::kModePlain);
    EXPECT_EQ(d.m_pChannelCaptions[0]->text(), "");
    PickDay(d, kDay);  // not blue: nothing happens
    EXPECT_TRUE(d.m_pTimeLine->Items().empty());
    d.SendCommand(ui::IDCANCEL);
  });
  EXPECT_EQ(result, ui::IDCANCEL);
  EXPECT_EQ(Targets(), std::vector<std::string>{"/config/datetime"});
}

TEST_F(SelectDialogTest, OkWithoutAFlaggedChannelIsRefused) {
  Run([&](CSelectDialog& d) {
    d.SendCommand(ui::IDOK);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, "No Data Selected!");
    EXPECT_EQ(boxes_.boxes[0].title, "Error");
    EXPECT_EQ(boxes_.boxes[0].owner, d.Id());
    EXPECT_FALSE(d.HasEnded());
    // A selection that found no recording flags nothing either.
    PickDay(d, kDay);
    Select(d, 0, 600);
    d.SendCommand(ui::IDOK);
    EXPECT_EQ(boxes_.boxes.size(), 2u);
    EXPECT_FALSE(d.HasEnded());
  });
}

TEST_F(SelectDialogTest, DayPickLoadsTheRecordsAndOkHandsBackSpanAndChannels) {
  const int result = Run([&](CSelectDialog& d) {
    recorder_->ClearRequests();
    PickDay(d, kDay);
    EXPECT_EQ(Mode(d, kDay), selection::kModeSelected);
    EXPECT_EQ(d.m_nDay, kDay);
    EXPECT_EQ(d.m_nMonth, today_.month());
    EXPECT_EQ(d.m_nYear, today_.year());
    const QString date = QDate(today_.year(), today_.month(), kDay).toString("yyyy/MM/dd");
    EXPECT_EQ(Shown(d.m_pStartDate), date);
    EXPECT_EQ(Shown(d.m_pEndDate), date);
    EXPECT_EQ(Shown(d.m_pStartTime), "00:00");
    EXPECT_EQ(Shown(d.m_pEndTime), "00:00");
    const auto& items = d.m_pTimeLine->Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(Targets(), (std::vector<std::string>{
                             "/live/avdevlist",
                             "/play/reclist?id=" + std::to_string(session_.playId.load()) + "&start=0&recyear=" +
                                 std::to_string(today_.year()) + "&recmonth=" + std::to_string(today_.month()) +
                                 "&recday=13"}));

    // Seconds of the start are dropped, the end is rounded up to a minute.
    Select(d, 29742, 34200);
    EXPECT_EQ(d.m_nStartHour, 8);
    EXPECT_EQ(d.m_nStartMinute, 15);
    EXPECT_EQ(d.m_nStartSecond, 0);
    EXPECT_EQ(d.m_nEndHour, 9);
    EXPECT_EQ(d.m_nEndMinute, 30);
    EXPECT_EQ(Shown(d.m_pStartTime), "08:15");
    EXPECT_EQ(Shown(d.m_pEndTime), "09:30");
    d.SendCommand(ui::IDOK);
  });
  ASSERT_EQ(result, ui::IDOK);
  EXPECT_TRUE(boxes_.boxes.empty());
  const int y = today_.year(), m = today_.month();
  EXPECT_EQ(dialog_.m_startTime, (std::array<int, 9>{0, 15, 8, kDay, m, y, 0, 0, 0}));
  EXPECT_EQ(dialog_.m_endTime, (std::array<int, 9>{0, 30, 9, kDay, m, y, 0, 0, 0}));
  std::array<int, 16> channels{};
  channels[0] = 1;
  EXPECT_EQ(dialog_.m_channelFlags, channels);
}

TEST_F(SelectDialogTest, ASelectionEndingInTheLastMinuteEndsAtMidnight) {
  recorder_->SetRecordings(Day(kDay), {{2, 80000, 86400, 1}});
  const int result = Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    Select(d, 3723, 86399);
    EXPECT_EQ(d.m_nEndHour, 24);
    EXPECT_EQ(d.m_nEndMinute, 0);
    EXPECT_EQ(Shown(d.m_pStartTime), "22:13");
    EXPECT_EQ(Shown(d.m_pEndTime), "00:00");  // 24:00 cannot be shown: the picker keeps its time
    d.SendCommand(ui::IDOK);
  });
  ASSERT_EQ(result, ui::IDOK);
  EXPECT_EQ(dialog_.m_endTime[selection::kHour], 24);
  EXPECT_EQ(dialog_.m_endTime[selection::kMinute], 0);
  EXPECT_EQ(dialog_.m_channelFlags[1], 1);
}

TEST_F(SelectDialogTest, ASpanOfThePreviousDayIsNotHandedBackForANewDay) {
  recorder_->SetRecordings(Day(5), {{1, 29700, 34200, 1}});
  Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    Select(d, 29742, 34200);
    PickDay(d, 5);  // the row flags of day 13 may still stand
    EXPECT_EQ(d.m_nStartHour, 0);
    EXPECT_EQ(d.m_nEndHour, 0);
    d.SendCommand(ui::IDOK);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, "No Data Selected!");
    EXPECT_FALSE(d.HasEnded());
  });
}

TEST_F(SelectDialogTest, AMonthChangeResetsTheTimePickersAndKeepsTheChosenDay) {
  Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    Select(d, 29742, 34200);
    const QString date = Shown(d.m_pStartDate);
    recorder_->ClearRequests();
    const int other = d.m_calendar.m_pMonthCombo->currentIndex() == 0 ? 1 : 0;
    d.m_calendar.m_pMonthCombo->setCurrentIndex(other);
    emit d.m_calendar.m_pMonthCombo->activated(other);  // as the operator's choice does
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(Shown(d.m_pStartTime), "00:00");
    EXPECT_EQ(Shown(d.m_pEndTime), "00:00");
    EXPECT_EQ(Shown(d.m_pStartDate), date);
    EXPECT_EQ(d.m_nDay, kDay);
    EXPECT_TRUE(d.m_pTimeLine->Items().empty());
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/play/recdate?recyear=" + std::to_string(today_.year()) +
                                                       "&recmonth=" + std::to_string(other + 1),
                                                   "/live/avdevlist"}));
  });
}

TEST_F(SelectDialogTest, ASelectionStartsThePreviewOfTheLowestFlaggedChannel) {
  Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    counter_.Advance(600);
    Select(d, 29000, 42000);  // rows 1 and 3 flagged
    const std::string id = std::to_string(session_.playId.load());
    const std::string day = std::to_string(today_.year()) + "," + std::to_string(today_.month()) + ",13";
    const std::string search = "/play/searchdata?id=" + id + "&recstarttime=" + day + ",8,15,0&recendtime=" + day +
                               ",11,24,0&avdevids=1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";
    const std::string stream = "/play/mav/nvrprofilestream?id=" + id + "&avdevid=1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0&profile=1";
    EXPECT_EQ(d.m_pPreview->m_strPositionPath.toStdString(), search);
    EXPECT_EQ(d.m_pPreview->m_strStreamPath.toStdString(), stream);
    ASSERT_TRUE(recorder_->WaitForRequests(1, sim::Request::GetStream, 5000));
    EXPECT_EQ(Targets(sim::Request::SeekPlayback), std::vector<std::string>{search});
    EXPECT_EQ(Targets(sim::Request::GetStream), std::vector<std::string>{stream});
    EXPECT_TRUE(d.m_pPreview->Player().IsRunning());

    // Cancel stops the stream before the dialog ends.
    d.SendCommand(ui::IDCANCEL);
    EXPECT_FALSE(d.m_pPreview->Player().IsRunning());
  });
}

TEST_F(SelectDialogTest, CancelEscapeAndTheCloseBoxStopThePreview) {
  const std::function<void(CSelectDialog&)> ways[] = {
      [](CSelectDialog& d) { d.SendCommand(ui::IDCANCEL); },
      [](CSelectDialog& d) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(d.Window(), &escape);
      },
      [](CSelectDialog& d) { d.Window()->close(); },
  };
  for (const auto& leave : ways) {
    CSelectDialog dialog;
    dialog.m_pSession = &session_;
    bool stopped = false;
    const int result = RunDialog<CSelectDialog>(dialog, [&](CSelectDialog& d) {
      PickDay(d, kDay);
      counter_.Advance(600);
      Select(d, 29742, 34200);
      ASSERT_TRUE(d.m_pPreview->Player().IsRunning());
      leave(d);
      stopped = !d.m_pPreview->Player().IsRunning();
    });
    EXPECT_EQ(result, ui::IDCANCEL);
    EXPECT_TRUE(stopped);
  }
}

TEST_F(SelectDialogTest, PreviewStartsAreSpacedByHalfASecondAndNeedTheCheckBox) {
  Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    Select(d, 29742, 34200);  // within 500 ms of opening
    EXPECT_TRUE(d.m_pPreview->m_strPositionPath.isEmpty());
    counter_.Advance(600);
    Select(d, 30000, 31000);
    const QString first = d.m_pPreview->m_strPositionPath;
    EXPECT_TRUE(first.contains("8,20,0&recendtime"));
    counter_.Advance(300);
    Select(d, 31000, 32000);  // 300 ms later: dropped, the first one plays on
    EXPECT_EQ(d.m_pPreview->m_strPositionPath, first);
    counter_.Advance(300);
    Select(d, 32000, 33000);  // 600 ms after the first
    EXPECT_TRUE(d.m_pPreview->m_strPositionPath.contains("8,53,0&recendtime"));

    // Unchecked: the preview is hidden and no selection starts one.
    d.m_pPreviewCheck->click();
    EXPECT_FALSE(d.m_pPreview->isVisible());
    const QString last = d.m_pPreview->m_strPositionPath;
    counter_.Advance(1000);
    Select(d, 29742, 30000);
    EXPECT_EQ(d.m_pPreview->m_strPositionPath, last);
    d.m_pPreviewCheck->click();
    EXPECT_TRUE(d.m_pPreview->isVisible());
    d.m_pPreview->Close();
  });
}

TEST_F(SelectDialogTest, TimePickerChangesAreCheckedAndSnapped) {
  Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    Select(d, 29742, 34200);  // 08:15 to 09:30
    const QDateTime start = d.m_pStartTime->GetTime();
    // The operator sets the start equal to the end: the old start comes back.
    d.m_pStartTime->setDateTime(d.m_pEndTime->GetTime());
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(d.m_pStartTime->GetTime(), start);
    EXPECT_EQ(d.m_nStartMinute, 15);
    // The end one minute after the start: accepted and snapped to the recording.
    QDateTime end = d.m_pStartTime->GetTime().addSecs(60);
    d.m_pEndTime->setDateTime(end);
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(d.m_nEndHour, 8);
    EXPECT_EQ(d.m_nEndMinute, 16);
    EXPECT_EQ(Shown(d.m_pEndTime), "08:16");

    // Pickers carrying different dates are compared by their times of day.
    d.m_pEndTime->SetTime(QDateTime(QDate(2030, 1, 1), QTime(9, 0)));
    d.m_pStartTime->setDateTime(QDateTime(QDate(1998, 4, 3), QTime(10, 0)));
    testing_ui::Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(Shown(d.m_pStartTime), "08:15");
  });
}

TEST_F(SelectDialogTest, ZoomButtonsAndSliderStayWithinTheLevels) {
  Run([&](CSelectDialog& d) {
    d.SendCommand(IDC_SELECT_ZOOM_OUT);  // at 0: nothing
    EXPECT_EQ(d.m_sliderZoom->GetPos(), 0);
    EXPECT_EQ(d.m_pTimeLine->m_nZoom, 0);
    d.SendCommand(IDC_SELECT_ZOOM_IN);
    EXPECT_EQ(d.m_sliderZoom->GetPos(), 1);
    EXPECT_EQ(d.m_pTimeLine->m_nZoom, 1);
    EXPECT_EQ(d.m_pTimeLine->m_nCellWidth, 8);
    for (int i = 0; i < 30; ++i) d.SendCommand(IDC_SELECT_ZOOM_IN);
    EXPECT_EQ(d.m_sliderZoom->GetPos(), 23);
    EXPECT_EQ(d.m_pTimeLine->m_nZoom, 23);
    d.m_sliderZoom->triggerAction(QAbstractSlider::SliderPageStepSub);  // the operator pages the slider
    EXPECT_EQ(d.m_sliderZoom->GetPos(), 18);
    EXPECT_EQ(d.m_pTimeLine->m_nZoom, 18);
    d.SendCommand(IDC_SELECT_ZOOM_OUT);
    EXPECT_EQ(d.m_pTimeLine->m_nZoom, 17);
    // A key moves the bar's zoom with the slider, not back to 0.
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Left}) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(d.m_sliderZoom, &press);
    }
    EXPECT_EQ(d.m_sliderZoom->GetPos(), 18);
    EXPECT_EQ(d.m_pTimeLine->m_nZoom, 18);
  });
}

TEST_F(SelectDialogTest, WithoutAPlayIdTheDayShowsNoRecordings) {
  Run([&](CSelectDialog& d) {
    session_.playId = -1;
    PickDay(d, kDay);
    EXPECT_TRUE(d.m_pTimeLine->Items().empty());
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, "Playback is currently by another user!");
    EXPECT_EQ(boxes_.boxes[0].owner, platform::kNoWindow);
    EXPECT_TRUE(Targets(sim::Request::GetRecordListPage).empty());
  });
}

TEST_F(SelectDialogTest, Screenshot) {
  const QString previous = QDir::currentPath();
  QDir::setCurrent(QStringLiteral(TARNWELL_SOURCE_DIR "/res"));  // "images/Plus.bmp" and "images/Minus.bmp"
  Run([&](CSelectDialog& d) {
    PickDay(d, kDay);
    counter_.Advance(600);
    d.m_pPreviewCheck->SetCheck(ui::BST_UNCHECKED);
    Select(d, 29000, 42000);
    d.m_pPreviewCheck->SetCheck(ui::BST_CHECKED);
    // As on a screen large enough for the dialog's own size.
    d.Client()->setFixedSize(844, 631);
    d.Window()->adjustSize();
    testing_ui::Pump(std::chrono::milliseconds(50));
    QDir().mkpath(QStringLiteral(TARNWELL_SCREENSHOT_DIR));
    EXPECT_TRUE(d.Window()->grab().save(QStringLiteral(TARNWELL_SCREENSHOT_DIR "/select_dialog.png")));
  });
  QDir::setCurrent(previous);
}

}  // namespace
