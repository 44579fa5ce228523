#include "platform/ui/track_bar.h"

#include <QSignalBlocker>

namespace platform::ui {

TrackBar::TrackBar(QWidget* parent, int id) : QSlider(Qt::Horizontal, parent), id_(id) {
  setFocusPolicy(Qt::StrongFocus);
  setTickPosition(QSlider::NoTicks);
  setPageStep(5);
  connect(this, &QSlider::actionTriggered, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd: Report(TB_LINEDOWN); break;
      case QAbstractSlider::SliderSingleStepSub: Report(TB_LINEUP); break;
      case QAbstractSlider::SliderPageStepAdd: Report(TB_PAGEDOWN); break;
      case QAbstractSlider::SliderPageStepSub: Report(TB_PAGEUP); break;
      case QAbstractSlider::SliderToMinimum: Report(TB_TOP); break;
      case QAbstractSlider::SliderToMaximum: Report(TB_BOTTOM); break;
      default: return;
    }
    Report(TB_ENDTRACK);
  });
  connect(this, &QSlider::sliderMoved, this, [this](int) { Report(TB_THUMBTRACK); });
  connect(this, &QSlider::sliderReleased, this, [this] {
    Report(TB_THUMBPOSITION);
    Report(TB_ENDTRACK);
  });
}

void TrackBar::Report(unsigned code) {
  // The action signals come before the move is applied; the position reported
  // is where the slider is going.
  if (sink_) sink_(code, sliderPosition(), this);
}

void TrackBar::SetRange(int low, int high, bool redraw) {
  const QSignalBlocker quiet(this);
  setRange(low, high);
  if (redraw) update();
}

void TrackBar::SetPos(int position) {
  const QSignalBlocker quiet(this);
  setValue(position);
  update();
}

void TrackBar::SetTic(int position) { tics_.push_back(position); }

}  // namespace platform::ui
