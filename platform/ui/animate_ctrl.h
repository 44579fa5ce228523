#pragma once
// An animation control: plays a silent AVI clip of uncompressed frames in a
// child window that takes the clip's size. With a transparent background the
// clip's background colour (its first pixel) lets the dialog show through.
#include <QBasicTimer>
#include <QWidget>

#include "platform/ui/avi_clip.h"

namespace platform::ui {

class AnimateCtrl : public QWidget {
 public:
  // Creates the child window with its top-left at the rectangle's corner.
  AnimateCtrl(QWidget* parent, int id, const QRect& rect, bool transparent);
  int Id() const { return id_; }

  bool Open(const QString& path);
  // Plays frames from..to (-1: the last) `repeat` times, -1 without end.
  bool Play(int from, int to, int repeat);
  bool Stop();
  bool IsPlaying() const { return timer_.isActive(); }
  int CurrentFrame() const { return frame_; }
  int FrameCount() const { return static_cast<int>(frames_.size()); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  int id_;
  bool transparent_;
  std::vector<QImage> frames_;
  int period_ms_ = 100;
  int from_ = 0, to_ = 0, repeat_ = 0, frame_ = 0;
  QBasicTimer timer_;
};

}  // namespace platform::ui
