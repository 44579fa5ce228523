#include "platform/ui/animate_ctrl.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

namespace platform::ui {

AnimateCtrl::AnimateCtrl(QWidget* parent, int id, const QRect& rect, bool transparent)
    : QWidget(parent), id_(id), transparent_(transparent) {
  setGeometry(rect);
  if (transparent_) setAttribute(Qt::WA_TranslucentBackground);
  show();
}

bool AnimateCtrl::Open(const QString& path) {
  Stop();
  frames_.clear();
  frame_ = 0;
  AviClip clip;
  if (!LoadAviClip(path, &clip)) {
    update();
    return false;
  }
  const QRgb key = clip.frames.front().pixel(0, 0);
  for (QImage& f : clip.frames) {
    if (!transparent_) {
      frames_.push_back(f);
      continue;
    }
    QImage keyed = f.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < keyed.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
      for (int x = 0; x < keyed.width(); ++x)
        if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
    }
    frames_.push_back(keyed);
  }
  period_ms_ = clip.microsecondsPerFrame > 0 ? std::max(1, clip.microsecondsPerFrame / 1000) : 100;
  resize(clip.Size());  // the control takes the clip's size, as without centring
  update();
  return true;
}

bool AnimateCtrl::Play(int from, int to, int repeat) {
  if (frames_.empty()) return false;
  const int last = FrameCount() - 1;
  from_ = std::clamp(from, 0, last);
  to_ = to < 0 ? last : std::clamp(to, from_, last);
  repeat_ = repeat;
  frame_ = from_;
  timer_.start(period_ms_, this);
  update();
  return true;
}

bool AnimateCtrl::Stop() {
  timer_.stop();
  return true;
}

void AnimateCtrl::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) return QWidget::timerEvent(event);
  if (frame_ < to_) {
    ++frame_;
  } else if (repeat_ < 0 || --repeat_ > 0) {
    frame_ = from_;
  } else {
    timer_.stop();
  }
  update();
}

void AnimateCtrl::paintEvent(QPaintEvent*) {
  if (frames_.empty()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, frames_[static_cast<std::size_t>(std::clamp(frame_, 0, FrameCount() - 1))]);
}

}  // namespace platform::ui
