#pragma once
// A static text that paints itself by its mode: a weekday label on a blue
// band, the chosen day in red, a day with recordings in blue (clickable, with
// a hand cursor), or a plain day in black.
#include <QLabel>

#include "platform/core/window_post.h"

class CStaticEx : public QLabel {
 public:
  // `notify` is the window a click is posted to (the calendar).
  CStaticEx(QWidget* parent, int id, platform::WindowId notify);
  ~CStaticEx() override;
  int Id() const { return id_; }

  // A button-up on this control: a day with recordings tells the calendar
  // which day was chosen.
  void OnLButtonUp();
  // The pointer moved over this control: a hand over a day with recordings.
  void OnMouseMove();

  int m_nMode = 3;  // selection::CellMode

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int id_;
  platform::WindowId notify_;
};
