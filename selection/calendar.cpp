#include "selection/calendar.h"

#include <QPainter>
#include <algorithm>

#include "platform/core/local_time.h"
#include "platform/ui/dialog.h"
#include "platform/ui/edges.h"
#include "platform/ui/window_port.h"
#include "selection/selection_messages.h"

// The calendar's own window: the button-face background and a sunken edge;
// the children paint themselves.
class CalendarWindow : public QWidget {
 public:
  CalendarWindow(QWidget* parent, CCalendar* owner) : QWidget(parent), owner_(owner) {}
  void Detach() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (owner_ != nullptr) owner_->OnPaint(p);
  }

 private:
  CCalendar* owner_;
};

CCalendar::CCalendar() = default;

CCalendar::~CCalendar() {
  if (auto* window = static_cast<CalendarWindow*>(window_.data())) {
    window->Detach();
    delete window;  // children and the message port go with it
  }
}

int CCalendar::Create(platform::ui::Dialog* parent, const QRect& rect) {
  if (parent == nullptr || parent->Client() == nullptr) return 0;
  return Create(parent->Client(), parent->Id(), rect);
}

int CCalendar::Create(QWidget* parent, platform::WindowId notify, const QRect& rect) {
  notify_ = notify;
  auto* window = new CalendarWindow(parent, this);
  window_ = window;
  window->setGeometry(rect);
  window->setCursor(Qt::ArrowCursor);
  port_ = new platform::ui::WindowPort(
      window, [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) { OnWndMsg(msg, wParam, lParam); });

  const selection::CalendarGeometry g = selection::LayoutCalendar(rect.width(), rect.height());
  auto makeCombo = [&](int id, const QRect& r) {
    auto* combo = new QComboBox(window);
    combo->setObjectName(QString::number(id));
    // The given height is the closed box's at most; the box needs its font's.
    combo->setGeometry(r.x(), r.y(), r.width(), std::clamp(combo->sizeHint().height(), r.height(), 26));
    return combo;
  };
  m_pMonthCombo = makeCombo(kMonthComboId, g.monthCombo);
  for (int month = 1; month <= 12; ++month) m_pMonthCombo->addItem(QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0')));
  m_pYearCombo = makeCombo(kYearComboId, g.yearCombo);
  for (int year = kFirstYear; year < kFirstYear + kYears; ++year) m_pYearCombo->addItem(QString::number(year));

  static const char* const kLongNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kShortNames[] = {"  S", "  M", "  T", "  W", "  T", "  F", "  S"};
  for (int i = 0; i < selection::kWeekdays; ++i) {
    auto* label = new CStaticEx(window, kFirstWeekdayLabelId + i, Id());
    label->m_nMode = selection::kModeHeader;
    label->setText(QString::fromLatin1(kLongNames[i]));
    label->setGeometry(g.weekdayLabels[i]);
    label->setText(QString::fromLatin1(kShortNames[i]));
    m_pWeekdayLabels[i] = label;
  }
  for (int k = 0; k < selection::kDayCells; ++k) {
    auto* cell = new CStaticEx(window, k, Id());
    cell->setGeometry(g.dayCells[k]);
    m_pDayCells[k] = cell;
  }

  const platform::LocalTime now = platform::CurrentLocalTime();
  m_pMonthCombo->setCurrentIndex(now.month - 1);
  // A year outside the list leaves it without a selection.
  const int yearIndex = now.year - kFirstYear;
  m_pYearCombo->setCurrentIndex(yearIndex >= 0 && yearIndex < kYears ? yearIndex : -1);
  // Only the operator's choices notify, as a list box does.
  QObject::connect(m_pMonthCombo, &QComboBox::activated, window, [this](int) { OnMonthYearChange(); });
  QObject::connect(m_pYearCombo, &QComboBox::activated, window, [this](int) { OnMonthYearChange(); });

  FillMonth(now.year, now.month);
  window->show();
  Invalidate();
  return 1;
}

platform::WindowId CCalendar::Id() const { return port_ ? port_->Id() : platform::kNoWindow; }

void CCalendar::Invalidate() {
  if (window_ == nullptr) return;
  window_->update();
  for (const auto& cell : m_pDayCells)
    if (cell) cell->update();
}

void CCalendar::FillMonth(int year, int month) {
  if (year < 1 || month < 1 || month > 12) return;  // no caller passes such values
  shownYear_ = year;
  shownMonth_ = month;
  m_nFirstWeekday = selection::FirstWeekday(year, month);
  const auto numbers = selection::DayNumbers(year, month);
  for (int k = 0; k < selection::kDayCells; ++k) {
    if (!m_pDayCells[k]) continue;
    m_pDayCells[k]->setText(numbers[k] == 0 ? QString() : QString::number(numbers[k]));
    m_pDayCells[k]->m_nMode = selection::kModePlain;
  }
}

std::array<int, selection::kDayCells> CCalendar::CellModes() const {
  std::array<int, selection::kDayCells> modes{};
  for (int k = 0; k < selection::kDayCells; ++k) modes[k] = m_pDayCells[k] ? m_pDayCells[k]->m_nMode : selection::kModePlain;
  return modes;
}

int CCalendar::SelectDay(int day) {
  auto modes = CellModes();
  const bool selected = selection::SelectDayInCells(modes, m_nFirstWeekday, day);
  for (int k = 0; k < selection::kDayCells; ++k)
    if (m_pDayCells[k]) m_pDayCells[k]->m_nMode = modes[k];
  if (!selected) return 0;
  Invalidate();
  return 1;
}

int CCalendar::GetSelectedDay() const {
  for (const auto& cell : m_pDayCells)
    if (cell && cell->m_nMode == selection::kModeSelected) return cell->text().trimmed().toInt();
  return 0;
}

bool CCalendar::MarkDay(int day) {
  if (day < 1 || day > selection::MonthLength(shownYear_, shownMonth_)) return false;
  const int k = selection::CellOfDay(m_nFirstWeekday, day);
  if (k < 0 || !m_pDayCells[k]) return false;
  m_pDayCells[k]->m_nMode = selection::kModeRecordings;
  Invalidate();
  return true;
}

void CCalendar::SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) { OnWndMsg(msg, wParam, lParam); }

void CCalendar::OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t) {
  if (msg != selection::WM_CALENDAR_PICK) return;
  const int day = wParam <= selection::kDayCells ? static_cast<int>(wParam) : -1;
  // The parent loads the chosen day, so it is told only when there is one.
  if (SelectDay(day) == 1) platform::PostWindowMessage(notify_, selection::WM_CALENDAR_PICK, 1, 0);
}

void CCalendar::OnMonthYearChange() {
  FillMonth(m_pYearCombo->currentIndex() + kFirstYear, m_pMonthCombo->currentIndex() + 1);
  Invalidate();
  platform::PostWindowMessage(notify_, selection::WM_CALENDAR_PICK, 0, 0);
}

void CCalendar::OnPaint(QPainter& p) {
  const QRect r = window_->rect();
  p.fillRect(r, QColor(240, 240, 240));
  platform::ui::DrawEdge(p, r, platform::ui::Edge::Sunken);
}
