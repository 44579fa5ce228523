#include "selection/select_dialog.h"

#include <QGuiApplication>
#include <QScreen>

#include "nvr/nvr_session.h"
#include "platform/core/message_box.h"
#include "platform/ui/drawing.h"
#include "res/resource_tables.h"
#include "selection/selection_messages.h"

namespace ui = platform::ui;
using selection::WM_CALENDAR_PICK;
using selection::WM_TIMELINE_SELECT;

namespace {

// Rectangles are given as left, top, right, bottom in client pixels.
QRect Ltrb(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// The date the time pickers carry when no day is meant; their format hides it.
constexpr int kPickerYear = 1998, kPickerMonth = 4, kPickerDay = 3;

// The frame around the client area of a dialog window of the placed size.
constexpr int kFrameWidth = 6, kFrameHeight = 29;

int SecondOfDay(const QDateTime& t) {
  const QTime time = t.time();
  return selection::SecondOfDay(time.hour(), time.minute(), time.second());
}

}  // namespace

CSelectDialog::CSelectDialog()
    : ui::Dialog(res::Dialog(IDD_SELECT)),
      m_pAnswer(new char[selection::kAnswerSize]),
      m_queries(m_http, m_pAnswer.get()) {
  MapCommand(ui::IDOK, [this] { OnClickedOk(); });
  MapCommand(IDC_SELECT_ZOOM_OUT, [this] { OnZoomOut(); });
  MapCommand(IDC_SELECT_ZOOM_IN, [this] { OnZoomIn(); });
  MapCommand(IDC_SELECT_PREVIEW_CHECK, [this] { OnEnablePreview(); });
  MapNotify(IDC_SELECT_START_TIME, ui::DTN_DATETIMECHANGE, [this](std::intptr_t) { OnStartTimeChange(); });
  MapNotify(IDC_SELECT_END_TIME, ui::DTN_DATETIMECHANGE, [this](std::intptr_t) { OnEndTimeChange(); });
  MapCommand(ui::IDCANCEL, [this] { OnClickedCancel(); });
}

CSelectDialog::~CSelectDialog() {
  m_http.Close();
  if (m_pPreview) {
    m_pPreview->Close();
    delete m_pPreview.data();
  }
}

void CSelectDialog::DoDataExchange() {
  m_btnZoomIn.SubclassDlgItem(IDC_SELECT_ZOOM_IN, this);
  m_btnZoomOut.SubclassDlgItem(IDC_SELECT_ZOOM_OUT, this);
  DDX_Control(IDC_SELECT_ZOOM_SLIDER, m_sliderZoom);
  DDX_Control(IDC_SELECT_LEGEND_NORMAL, m_legendNormal);
  DDX_Control(IDC_SELECT_LEGEND_EVENT, m_legendEvent);
  DDX_Control(IDC_SELECT_LEGEND_MOTION, m_legendMotion);
}

QLabel* CSelectDialog::MakeLabel(int id, const QString& text, Qt::Alignment align, const QRect& rect) {
  auto* label = new QLabel(text, Client());
  label->setObjectName(QString::number(id));
  label->setAlignment(align);
  label->setFont(*m_pFont);
  label->setGeometry(rect);
  label->show();
  return label;
}

ui::DateTimePicker* CSelectDialog::MakePicker(int id, const QString& format, const QRect& rect) {
  auto* picker = new ui::DateTimePicker(Client(), id, format);
  picker->setGeometry(rect);
  picker->SetNotifySink([this](int control, unsigned code) { OnNotify(control, code, 0); });
  picker->show();
  return picker;
}

QDateTime CSelectDialog::PutTime(ui::DateTimePicker* picker, int hour, int minute, int second) {
  picker->SetTime(kPickerYear, kPickerMonth, kPickerDay, hour, minute, second);
  return picker->GetTime();
}

void CSelectDialog::CreateControls() {
  m_calendar.Create(this, Ltrb(12, 50, 220, 210));

  m_pDateGroup = new ui::GroupBox(Client(), IDC_SELECT_GROUP, QStringLiteral("Date Time Period"));
  m_pDateGroup->setFont(*m_pFont);
  m_pDateGroup->setGeometry(Ltrb(230, 10, 500, 245));
  m_pDateGroup->show();
  m_pStartLabel = MakeLabel(IDC_SELECT_START_LABEL, QStringLiteral("Start Time : "), Qt::AlignHCenter | Qt::AlignTop,
                            Ltrb(240, 40, 320, 65));
  m_pEndLabel = MakeLabel(IDC_SELECT_END_LABEL, QStringLiteral("End Time : "), Qt::AlignHCenter | Qt::AlignTop,
                          Ltrb(240, 105, 320, 125));
  m_pStartDate = MakePicker(IDC_SELECT_START_DATE, QStringLiteral("yyyy/MM/dd"), Ltrb(280, 75, 400, 95));
  m_pStartDate->setEnabled(false);
  m_pStartTime = MakePicker(IDC_SELECT_START_TIME, QStringLiteral("HH:mm"), Ltrb(410, 75, 490, 95));
  m_pEndDate = MakePicker(IDC_SELECT_END_DATE, QStringLiteral("yyyy/MM/dd"), Ltrb(280, 135, 400, 155));
  m_pEndDate->setEnabled(false);
  m_pEndTime = MakePicker(IDC_SELECT_END_TIME, QStringLiteral("HH:mm"), Ltrb(410, 135, 490, 155));
  m_savedStartTime = PutTime(m_pStartTime, 0, 0, 0);
  m_savedEndTime = PutTime(m_pEndTime, 23, 59, 59);

  m_pPreviewGroup = new ui::GroupBox(Client(), IDC_SELECT_GROUP, QStringLiteral("Video Preview"));
  m_pPreviewGroup->setFont(*m_pFont);
  m_pPreviewGroup->setGeometry(Ltrb(510, 10, 800, 245));
  m_pPreviewGroup->show();
  m_pPreviewCheck = new ui::AutoCheckBox(Client(), IDC_SELECT_PREVIEW_CHECK, QStringLiteral("Enable Preview"),
                                         CommandSink());
  m_pPreviewCheck->setFont(*m_pFont);
  m_pPreviewCheck->setGeometry(Ltrb(520, 40, 660, 65));
  m_pPreviewCheck->SetCheck(ui::BST_CHECKED);
  m_pPreviewCheck->show();

  for (int n = 1; n <= selection::kChannels; ++n) {
    m_pChannelCaptions[n - 1] = MakeLabel(IDC_SELECT_CHANNEL_CAPTION_BASE + n, QString(),
                                          Qt::AlignLeft | Qt::AlignTop, Ltrb(5, 263 + 15 * n, 118, 279 + 15 * n));
  }

  m_pPreview = new CPreviewWnd(Client(), IDC_SELECT_PREVIEW);
  m_pPreview->setGeometry(Ltrb(520, 65, 790, 235));
  m_pPreview->show();
  m_pTimeLine = CTimeLineBar::Create(this, Ltrb(120, 250, 805, 540));

  if (m_legendNormal) m_legendNormal->setGeometry(125, 545, 15, 15);
  m_pNormalLabel = MakeLabel(IDC_SELECT_NORMAL_LABEL, QStringLiteral("Record on Normal"),
                             Qt::AlignLeft | Qt::AlignTop, Ltrb(145, 545, 300, 565));
  if (m_legendEvent) m_legendEvent->setGeometry(310, 545, 15, 15);
  m_pEventLabel = MakeLabel(IDC_SELECT_EVENT_LABEL, QStringLiteral("Record on Event"), Qt::AlignLeft | Qt::AlignTop,
                            Ltrb(330, 545, 470, 565));
  if (m_legendMotion) m_legendMotion->setGeometry(480, 545, 15, 15);
  m_pMotionLabel = MakeLabel(IDC_SELECT_MOTION_LABEL, QStringLiteral("Record on Motion"),
                             Qt::AlignLeft | Qt::AlignTop, Ltrb(500, 545, 640, 565));
}

bool CSelectDialog::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  m_counterFrequency = selection::QueryPerformanceFrequency();
  m_lastStartCount = selection::QueryPerformanceCounter();
  m_nowCount = m_lastStartCount;
  m_pFont = std::make_unique<QFont>(ui::FontForCellHeight(QStringLiteral("Arial"), 16, 400));

  CreateControls();

  if (m_sliderZoom) {
    m_sliderZoom->setGeometry(22, 545, 78, 20);
    m_sliderZoom->SetRange(0, 23, false);
    m_sliderZoom->SetTic(5);
    m_sliderZoom->SetScrollSink([this](unsigned code, int position, ui::TrackBar* control) {
      OnHScroll(code, position, control);
    });
  }
  m_btnZoomIn.SetImages(QStringLiteral("images/Plus.bmp"), QStringLiteral("images/Plus.bmp"),
                        QStringLiteral("images/Plus.bmp"), QStringLiteral("images/Plus.bmp"));
  m_btnZoomOut.SetImages(QStringLiteral("images/Minus.bmp"), QStringLiteral("images/Minus.bmp"),
                         QStringLiteral("images/Minus.bmp"), QStringLiteral("images/Minus.bmp"));
  if (QWidget* out = GetDlgItem(IDC_SELECT_ZOOM_OUT)) out->setGeometry(5, 541, 18, 20);
  if (QWidget* in = GetDlgItem(IDC_SELECT_ZOOM_IN)) in->setGeometry(100, 541, 18, 20);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    int x = 0, y = 0, width = 0, height = 0;
    const QRect whole = screen->geometry();
    if (selection::DialogPlacement(whole.width(), whole.height(), &x, &y, &width, &height)) {
      Client()->setFixedSize(width - kFrameWidth, height - kFrameHeight);
      Window()->move(x, y);
    }
  }
  if (QWidget* ok = GetDlgItem(ui::IDOK)) ok->setGeometry(640, 580, 80, 25);
  if (QWidget* cancel = GetDlgItem(ui::IDCANCEL)) cancel->setGeometry(730, 580, 80, 25);

  ConnectToServer();
  return true;
}

void CSelectDialog::OnClickedOk() {
  const selection::Span span{m_nStartHour, m_nStartMinute, m_nStartSecond, m_nEndHour, m_nEndMinute, m_nEndSecond};
  const bool chosen = m_pTimeLine && m_nDay != 0 && m_bSpanOnChosenDay &&
                      selection::FillRecordSelection(m_pTimeLine->m_nRowFlags, m_nYear, m_nMonth, m_nDay, span, this);
  if (!chosen) {
    platform::ShowMessageBox(Id(), QStringLiteral("No Data Selected!"), QStringLiteral("Error"), platform::MB_OK);
    return;
  }
  if (m_pPreview) m_pPreview->Close();
  OnOK();
}

void CSelectDialog::OnClickedCancel() {
  if (m_pPreview) m_pPreview->Close();
  OnCancel();
}

void CSelectDialog::OnHScroll(unsigned code, int position, QWidget* control) {
  if (control != nullptr && control == m_sliderZoom.data() && code != ui::TB_ENDTRACK && m_pTimeLine)
    m_pTimeLine->SetZoom(position);
}

void CSelectDialog::OnZoomIn() {
  if (!m_sliderZoom) return;
  const int position = m_sliderZoom->GetPos();
  if (position >= selection::kMaxZoom) return;
  m_sliderZoom->SetPos(position + 1);
  if (m_pTimeLine) m_pTimeLine->SetZoom(position + 1);
}

void CSelectDialog::OnZoomOut() {
  if (!m_sliderZoom) return;
  const int position = m_sliderZoom->GetPos();
  if (position <= 0) return;
  m_sliderZoom->SetPos(position - 1);
  if (m_pTimeLine) m_pTimeLine->SetZoom(position - 1);
}

void CSelectDialog::OnEnablePreview() {
  if (!m_pPreviewCheck || !m_pPreview) return;
  m_pPreview->setVisible(m_pPreviewCheck->GetCheck() != ui::BST_UNCHECKED);
}

void CSelectDialog::OnDestroy() {
  ui::Dialog::OnDestroy();
  const auto drop = [](auto& control) {
    delete control.data();
    control = nullptr;
  };
  drop(m_pStartLabel);
  drop(m_pEndLabel);
  drop(m_pStartDate);
  drop(m_pStartTime);
  drop(m_pEndDate);
  drop(m_pEndTime);
  drop(m_pDateGroup);
  drop(m_pPreviewGroup);
  drop(m_pPreviewCheck);
  drop(m_pEventLabel);
  drop(m_pNormalLabel);
  drop(m_pMotionLabel);
  m_pFont.reset();
  for (auto& caption : m_pChannelCaptions) drop(caption);
}

bool CSelectDialog::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == WM_CALENDAR_PICK) OnCalendarPick(wParam);
  else if (msg == WM_TIMELINE_SELECT) OnTimelineSelect(wParam);
  return ui::Dialog::OnWndMsg(msg, wParam, lParam);
}

// ---------------------------------------------------------------- events

void CSelectDialog::OnCalendarPick(std::uintptr_t wParam) {
  if (wParam != 0 && wParam != 1) return;
  if (m_pTimeLine) m_pTimeLine->ClearItems();
  if (m_pPreview) {
    m_pPreview->Close();
    m_pPreview->ClearPicture();
  }
  if (wParam == 1) {
    m_nYear = (m_calendar.m_pYearCombo ? m_calendar.m_pYearCombo->currentIndex() : -1) + CCalendar::kFirstYear;
    m_nMonth = (m_calendar.m_pMonthCombo ? m_calendar.m_pMonthCombo->currentIndex() : -1) + 1;
    m_nDay = m_calendar.GetSelectedDay();
    // A span selected on the previous day is not a span of this one.
    m_nStartHour = m_nStartMinute = m_nStartSecond = 0;
    m_nEndHour = m_nEndMinute = m_nEndSecond = 0;
    m_bSpanOnChosenDay = false;
    for (ui::DateTimePicker* picker : {m_pStartDate.data(), m_pEndDate.data(), m_pStartTime.data(), m_pEndTime.data()})
      if (picker) picker->SetTime(m_nYear, m_nMonth, m_nDay, 0, 0, 0);
    LoadChannelNames();
    LoadRecordList();
  } else {
    if (m_pStartTime) m_savedStartTime = PutTime(m_pStartTime, 0, 0, 0);
    if (m_pEndTime) m_savedEndTime = PutTime(m_pEndTime, 0, 0, 0);
    LoadRecordDates();
    LoadChannelNames();
  }
  if (m_pTimeLine) m_pTimeLine->Invalidate();
}

void CSelectDialog::OnTimelineSelect(std::uintptr_t wParam) {
  if (wParam == 0 && m_pTimeLine) {
    const selection::Span span = selection::SpanFromSelection(m_pTimeLine->m_nSelStart, m_pTimeLine->m_nSelEnd);
    m_nStartHour = span.startHour;
    m_nStartMinute = span.startMinute;
    m_nStartSecond = span.startSecond;
    m_nEndHour = span.endHour;
    m_nEndMinute = span.endMinute;
    m_nEndSecond = span.endSecond;
    m_bSpanOnChosenDay = !span.IsZero();
    if (m_pStartTime) m_savedStartTime = PutTime(m_pStartTime, m_nStartHour, m_nStartMinute, 0);
    if (m_pEndTime) m_savedEndTime = PutTime(m_pEndTime, m_nEndHour, m_nEndMinute, m_nEndSecond);
  }
  const selection::Span span{m_nStartHour, m_nStartMinute, m_nStartSecond, m_nEndHour, m_nEndMinute, m_nEndSecond};
  if (m_pPreviewCheck && m_pPreviewCheck->GetCheck() != ui::BST_UNCHECKED && !span.IsZero()) StartPreview();
}

void CSelectDialog::StartPreview() {
  if (!m_pPreview || !m_pTimeLine || m_pSession == nullptr) return;
  const int channel = selection::PreviewChannel(m_pTimeLine->m_nRowFlags);
  m_nowCount = selection::QueryPerformanceCounter();
  if (selection::ElapsedMs(m_lastStartCount, m_nowCount, m_counterFrequency) < selection::kMinPreviewSpacingMs) return;
  m_lastStartCount = selection::QueryPerformanceCounter();
  m_pPreview->Close();
  const QString start =
      selection::PreviewTimeText(m_nYear, m_nMonth, m_nDay, m_nStartHour, m_nStartMinute, m_nStartSecond);
  const QString end = selection::PreviewTimeText(m_nYear, m_nMonth, m_nDay, m_nEndHour, m_nEndMinute, m_nEndSecond);
  const int playId = m_pSession->playId.load();
  m_pPreview->m_strPositionPath = selection::SearchDataPath(playId, start, end, channel);
  m_pPreview->m_strStreamPath = selection::PreviewStreamPath(playId, channel);
  m_pPreview->SetServer(m_pSession->GetHost(), m_pSession->GetUser(), m_pSession->GetPassword(),
                        m_pSession->GetPort(), 0);
  m_pPreview->Start();
}

void CSelectDialog::OnStartTimeChange() {
  DoDataExchange();
  if (!m_pStartTime || !m_pEndTime || !m_pTimeLine) return;
  const QDateTime ts = m_pStartTime->GetTime();
  const QDateTime te = m_pEndTime->GetTime();
  // The pickers can carry different dates; only their times of day count.
  if (SecondOfDay(ts) >= SecondOfDay(te)) {
    m_pStartTime->SetTime(m_savedStartTime);
    return;
  }
  m_savedStartTime = ts;
  DoDataExchange();
  m_pTimeLine->SetSelection(SecondOfDay(m_savedStartTime), SecondOfDay(m_savedEndTime));
}

void CSelectDialog::OnEndTimeChange() {
  DoDataExchange();
  if (!m_pStartTime || !m_pEndTime || !m_pTimeLine) return;
  const QDateTime ts = m_pStartTime->GetTime();
  const QDateTime te = m_pEndTime->GetTime();
  if (SecondOfDay(te) <= SecondOfDay(ts)) {
    m_pEndTime->SetTime(m_savedEndTime);
    return;
  }
  m_savedEndTime = te;
  DoDataExchange();
  m_pTimeLine->SetSelection(SecondOfDay(m_savedStartTime), SecondOfDay(m_savedEndTime));
}

// --------------------------------------------------------------- queries

void CSelectDialog::ConnectToServer() {
  if (m_pSession == nullptr) return;
  if (!m_queries.Connect(m_pSession->GetHost(), m_pSession->GetUser(), m_pSession->GetPassword(),
                         m_pSession->GetPort()))
    return;
  m_nPlayPrivilege = m_queries.ReadPlayPrivilege();
  LoadRecordDates();
  LoadChannelNames();
}

void CSelectDialog::LoadRecordDates() {
  const int year = (m_calendar.m_pYearCombo ? m_calendar.m_pYearCombo->currentIndex() : -1) + CCalendar::kFirstYear;
  const int month = (m_calendar.m_pMonthCombo ? m_calendar.m_pMonthCombo->currentIndex() : -1) + 1;
  const auto days = m_queries.RecordDays(year, month);
  if (!days) return;
  for (int day : *days) m_calendar.MarkDay(day);
  m_calendar.Invalidate();
}

void CSelectDialog::LoadChannelNames() {
  if (m_queries.ChannelNames(&m_strChannelNames) == selection::SelectionQueries::Names::Refresh) SetChannelCaptions();
}

void CSelectDialog::SetChannelCaptions() {
  for (int n = 0; n < selection::kChannels; ++n)
    if (!m_strChannelNames[n].isEmpty() && m_pChannelCaptions[n]) m_pChannelCaptions[n]->setText(m_strChannelNames[n]);
}

void CSelectDialog::LoadRecordList() {
  if (m_pSession == nullptr || !m_pTimeLine) return;
  const int playId = m_pSession->playId.load();
  if (playId < 0) {
    platform::FrameworkMessageBox(QStringLiteral("Playback is currently by another user!"), platform::MB_OK);
    return;
  }
  for (const selection::RecordItem& item : m_queries.RecordList(playId, m_nYear, m_nMonth, m_nDay, m_nPlayPrivilege))
    m_pTimeLine->AddItem(item.channel, item.start, item.end, item.type);
}
