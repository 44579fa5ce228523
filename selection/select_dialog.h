#pragma once
// The selection dialog "Open History": the operator picks a day on the
// calendar, a span and channels on the time line (or with the time pickers),
// may preview the span, and OK hands back a RecordSelection.
//
// Use: construct it, set m_pSession, run DoModal(); after IDOK read
// m_startTime, m_endTime and m_channelFlags (a channel counts as chosen when
// its element is exactly 1). The caller keeps the play-id lease alive while
// the dialog runs; the dialog only reads the session.
#include <QDateTime>
#include <QLabel>
#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>

#include "nvr/http_get.h"
#include "platform/ui/button_controls.h"
#include "platform/ui/date_time_picker.h"
#include "platform/ui/dialog.h"
#include "platform/ui/track_bar.h"
#include "selection/calendar.h"
#include "selection/image_button.h"
#include "selection/preview_wnd.h"
#include "selection/record_selection.h"
#include "selection/selection_queries.h"
#include "selection/time_line_bar.h"

namespace nvr {
class NvrSession;
}

class CSelectDialog : public platform::ui::Dialog, public RecordSelection {
 public:
  CSelectDialog();
  ~CSelectDialog() override;

  // The dialog's parts, read directly by the caller and by tests.
  CCalendar m_calendar;
  QPointer<CTimeLineBar> m_pTimeLine;
  QPointer<QLabel> m_pStartLabel, m_pEndLabel;
  QPointer<platform::ui::DateTimePicker> m_pStartDate, m_pStartTime, m_pEndDate, m_pEndTime;
  QPointer<platform::ui::GroupBox> m_pDateGroup, m_pPreviewGroup;
  QPointer<platform::ui::AutoCheckBox> m_pPreviewCheck;
  std::unique_ptr<QFont> m_pFont;
  QPointer<QLabel> m_pEventLabel, m_pNormalLabel, m_pMotionLabel;
  std::array<QPointer<QLabel>, selection::kChannels> m_pChannelCaptions;
  QPointer<CPreviewWnd> m_pPreview;
  nvr::HttpGet m_http;
  std::unique_ptr<char[]> m_pAnswer;
  std::array<QString, selection::kChannels> m_strChannelNames;
  int m_nYear = 0, m_nMonth = 0, m_nDay = 0;
  int m_nStartHour = 0, m_nStartMinute = 0, m_nStartSecond = 0;
  int m_nEndHour = 0, m_nEndMinute = 0, m_nEndSecond = 0;
  std::int64_t m_lastStartCount = 0, m_nowCount = 0, m_counterFrequency = 0;
  nvr::NvrSession* m_pSession = nullptr;
  CMyButton m_btnZoomIn;
  CMyButton m_btnZoomOut;
  QPointer<platform::ui::TrackBar> m_sliderZoom;
  QPointer<QLabel> m_legendNormal, m_legendEvent, m_legendMotion;
  int m_nPlayPrivilege = selection::kDefaultPlayPrivilege;
  QDateTime m_savedStartTime, m_savedEndTime;

  // Recorder queries.
  void ConnectToServer();
  void LoadRecordDates();
  void LoadChannelNames();
  void SetChannelCaptions();
  void LoadRecordList();
  void StartPreview();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange() override;
  bool OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
  void OnDestroy() override;

 private:
  void OnClickedOk();
  void OnClickedCancel();
  void OnHScroll(unsigned code, int position, QWidget* control);
  void OnZoomIn();
  void OnZoomOut();
  void OnEnablePreview();
  void OnStartTimeChange();
  void OnEndTimeChange();
  void OnCalendarPick(std::uintptr_t wParam);
  void OnTimelineSelect(std::uintptr_t wParam);

  void CreateControls();
  QLabel* MakeLabel(int id, const QString& text, Qt::Alignment align, const QRect& rect);
  platform::ui::DateTimePicker* MakePicker(int id, const QString& format, const QRect& rect);
  // Puts a time of 1998-04-03 on a time picker (the date its format hides)
  // and reads back what the picker then holds.
  QDateTime PutTime(platform::ui::DateTimePicker* picker, int hour, int minute, int second);

  selection::SelectionQueries m_queries;
  // Set by a non-empty time-line selection, cleared when another day is
  // chosen: OK never hands back a span that was selected on another day.
  bool m_bSpanOnChosenDay = false;
};
