#pragma once
// The month calendar: a month and a year list, a weekday header and 42 day
// cells. The selection dialog holds it by value, creates its window, marks
// the days with recordings and reacts to WM_CALENDAR_PICK: wParam 1 when a
// day with recordings was chosen, 0 when the month or the year changed.
//
// The calendar is a plain object that owns a window, as the dialog that holds
// it does: the window is a child of the parent's and goes with it.
#include <QComboBox>
#include <QPointer>
#include <QRect>
#include <array>
#include <cstdint>

#include "platform/core/window_post.h"
#include "selection/calendar_layout.h"
#include "selection/static_ex.h"

class QPainter;

namespace platform::ui {
class Dialog;
class WindowPort;
}  // namespace platform::ui

class CCalendar {
 public:
  static constexpr int kControlId = 400;
  static constexpr int kMonthComboId = 98;
  static constexpr int kYearComboId = 99;
  static constexpr int kFirstWeekdayLabelId = 91;
  static constexpr int kFirstYear = 2005;
  static constexpr int kYears = 40;  // 2005 to 2044

  CCalendar();
  ~CCalendar();
  CCalendar(const CCalendar&) = delete;
  CCalendar& operator=(const CCalendar&) = delete;

  // Makes the window with its children, showing the current month; the
  // rectangle is in the parent's client coordinates. `notify` is the window
  // told of picks (the dialog's id for a dialog parent). Returns 1.
  int Create(platform::ui::Dialog* parent, const QRect& rect);
  int Create(QWidget* parent, platform::WindowId notify, const QRect& rect);

  // Numbers the cells for that month (all plain); nothing is repainted.
  void FillMonth(int year, int month);
  // 1 when the day had recordings and is now the chosen day, else 0.
  int SelectDay(int day);
  // The chosen day, 0 when none.
  int GetSelectedDay() const;
  // Marks a day of the shown month as having recordings and repaints; false
  // for a day the month does not have.
  bool MarkDay(int day);

  QWidget* Window() const { return window_.data(); }
  platform::WindowId Id() const;
  void Invalidate();
  // Delivers a window message now.
  void SendMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  // Read and written directly by the selection dialog: index + 2005 is the
  // year, index + 1 the month; the cell of day d is m_nFirstWeekday + d - 2.
  QPointer<QComboBox> m_pYearCombo;
  QPointer<QComboBox> m_pMonthCombo;
  std::array<QPointer<CStaticEx>, selection::kWeekdays> m_pWeekdayLabels;
  std::array<QPointer<CStaticEx>, selection::kDayCells> m_pDayCells;
  int m_nFirstWeekday = 0;  // 1 = Sunday .. 7 = Saturday

 protected:
  virtual void OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void OnMonthYearChange();

 private:
  friend class CalendarWindow;
  void OnPaint(QPainter& painter);
  std::array<int, selection::kDayCells> CellModes() const;

  QPointer<QWidget> window_;
  QPointer<platform::ui::WindowPort> port_;
  platform::WindowId notify_ = platform::kNoWindow;
  int shownYear_ = 0;
  int shownMonth_ = 0;
};
