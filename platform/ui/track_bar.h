#pragma once
// A trackbar (horizontal slider) that reports the user's moves to its parent
// as WM_HSCROLL: the scroll code, the position after the move, and the
// control. The program's own settings are silent.
#include <QSlider>
#include <functional>
#include <vector>

namespace platform::ui {

inline constexpr unsigned WM_HSCROLL = 0x0114;
// Scroll codes of a trackbar.
inline constexpr unsigned TB_LINEUP = 0;
inline constexpr unsigned TB_LINEDOWN = 1;
inline constexpr unsigned TB_PAGEUP = 2;
inline constexpr unsigned TB_PAGEDOWN = 3;
inline constexpr unsigned TB_THUMBPOSITION = 4;
inline constexpr unsigned TB_THUMBTRACK = 5;
inline constexpr unsigned TB_TOP = 6;
inline constexpr unsigned TB_BOTTOM = 7;
inline constexpr unsigned TB_ENDTRACK = 8;

class TrackBar : public QSlider {
 public:
  using Sink = std::function<void(unsigned code, int position, TrackBar* control)>;
  TrackBar(QWidget* parent, int id);
  int Id() const { return id_; }
  void SetScrollSink(Sink sink) { sink_ = std::move(sink); }

  void SetRange(int low, int high, bool redraw);
  int GetPos() const { return value(); }
  void SetPos(int position);
  void SetTic(int position);

 private:
  void Report(unsigned code);

  int id_;
  Sink sink_;
  std::vector<int> tics_;
};

}  // namespace platform::ui
