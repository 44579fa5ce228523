#pragma once
// The time-line bar: a scrollable child window that shows one day's
// recordings of 16 channels, lets the operator drag a selection over a range
// of rows, snaps it to the recordings and posts WM_TIMELINE_SELECT to its
// parent. The arithmetic lives in TimeLineModel, whose members the selection
// dialog reads directly (m_nSelStart, m_nSelEnd, m_nRowFlags).
//
// The bar is a child widget of its parent and goes with the parent's window;
// the parent keeps only a pointer and never deletes it.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <cstdint>

#include "platform/core/window_post.h"
#include "selection/time_line_model.h"

namespace platform::ui {
class Dialog;
class WindowPort;
}  // namespace platform::ui

class CTimeLineBar : public QAbstractScrollArea, public selection::TimeLineModel {
 public:
  // Runs for the bar's whole life; a tick scrolls towards the side beyond
  // which the pointer was dragged since the previous tick.
  static constexpr unsigned TIMER_AUTOSCROLL = 1;
  static constexpr int kAutoScrollPeriodMs = 100;

  // A bar without a window yet; null when it cannot be made.
  static CTimeLineBar* CreateObject();
  // Makes the bar as a visible, bordered child of the dialog (or of any
  // widget, telling the window with the given id), at zoom 0 with its timer
  // running. The rectangle is in the parent's client coordinates.
  static CTimeLineBar* Create(platform::ui::Dialog* parent, const QRect& rect);
  static CTimeLineBar* Create(QWidget* parent, platform::WindowId notify, const QRect& rect);

  ~CTimeLineBar() override;

  // Clamps to 0..23, sets the column width and the scroll sizes, repaints.
  void SetZoom(int level);
  // A span from the time pickers: snapped to the recordings, then the parent is told.
  void SetSelection(int startSecond, int endSecond);

  // The view's initial update: the base's, then scroll sizes of 100 x 100.
  // Nothing sends the bar this notification, so the sizes set by SetZoom
  // stay in force.
  void OnInitialUpdate();
  // Draws the whole day into the off-screen picture, then copies what the
  // view shows of it (`dirty`, in view coordinates) onto the view.
  void OnDraw(QPainter& view, const QRect& dirty);
  // The mouse, at a point of the view (the scroll position not yet added).
  void OnLButtonDown(QPoint client);
  void OnMouseMove(QPoint client);
  void OnLButtonUp(QPoint client);

  // Repaints the view (after a load of items).
  void Invalidate();
  // Delivers a window message now (WM_TIMER among them).
  void SendMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

  unsigned m_nTimerId = 0;
  QImage m_memBitmap;  // the whole day is drawn here, then copied to the view

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  CTimeLineBar();
  void InitView();
  void OnWndMsg(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
  void OnTimer(unsigned id);
  // The scrolled area's size; a page is a tenth of it, a line a tenth of a
  // page, as a scroll view's defaults are.
  void SetScrollSizes(QSize total);
  void UpdateScrollBars();
  // Moves a scroll bar by a page of the scroll sizes in place of its own.
  void PageBy(QScrollBar* bar, int action, int page);
  QPoint Logical(QPoint client) const;
  void TakeCapture();
  void ReleaseCapture();
  void NotifyParent();

  QPointer<platform::ui::WindowPort> port_;
  platform::WindowId notify_ = platform::kNoWindow;
  bool captured_ = false;  // the mouse is ours also outside the window
  QSize scrollTotal_;
};
