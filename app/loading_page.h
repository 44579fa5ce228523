#pragma once
// A small modal page shown while another thread works. It watches a flag of
// its owner and ends itself when the flag drops to 0, or after 100 ticks of
// 50 ms; Enter and Escape end it as well. It knows nothing about the work.
#include <QImage>
#include <QString>
#include <atomic>
#include <vector>

#include "app/loading_countdown.h"
#include "platform/ui/dialog.h"

class CLoadingPage : public platform::ui::Dialog {
 public:
  static constexpr unsigned TIMER_LOADING_FRAME = 4098;
  static constexpr int kFramePeriodMs = 50;

  CLoadingPage();
  ~CLoadingPage() override;

  // The owner's flag; set before DoModal. Null reads as 0.
  const std::atomic<int>* m_pFlag = nullptr;
  // Where the indicator is read from, relative to the current directory.
  QString m_indicatorPath = QStringLiteral("images/Indicator.gif");

  int FrameCount() const { return m_nFrameCount; }
  int CurrentFrame() const { return m_nFrame; }
  int Ticks() const { return m_countdown.Ticks(); }
  QSize IndicatorSize() const { return m_indicatorSize; }

 protected:
  bool OnInitDialog() override;
  void OnTimer(unsigned id) override;
  bool OnEraseBkgnd(platform::ui::PaintDC& dc) override;
  void OnPaint(platform::ui::PaintDC& dc) override;
  platform::ui::CtlColor OnCtlColor(int controlId) override;

 private:
  // Decodes every frame of the indicator in memory, with its transparent
  // parts and pure black see-through. False when a frame could not be had.
  bool LoadIndicatorFrames();

  unsigned m_nTimer = 0;
  LoadingCountdown m_countdown;
  QFont m_font;
  QWidget* m_pText = nullptr;  // owned by the window
  int m_nFrameCount = 0;
  int m_nFrame = 0;
  bool m_bFrameDrawn = false;  // no frame shows before the first tick
  QSize m_indicatorSize;
  std::vector<QImage> m_frames;
  platform::ui::Bitmap m_background;
};
