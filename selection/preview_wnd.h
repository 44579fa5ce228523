#pragma once
// The selection dialog's preview: a child window that plays one channel of
// the recorder's stream. The work is done by its PreviewPlayer; the window
// paints the player's picture stretched over its client area, repainting
// whenever the decoder thread reports a new picture.
#include <QPainter>
#include <QString>
#include <QWidget>

#include "selection/preview_player.h"

namespace platform::ui {
class WindowPort;
}

class CPreviewWnd : public QWidget {
 public:
  explicit CPreviewWnd(QWidget* parent = nullptr, int id = 0);
  // Stops and joins both threads before the window goes.
  ~CPreviewWnd() override;

  int Id() const { return id_; }

  void SetServer(const QString& host, const QString& user, const QString& password, int port, int https) {
    player_.SetServer(host, user, password, port, https);
  }
  // Starts a preview of the two paths below.
  void Start();
  void Stop() { player_.Stop(); }
  void Close() { player_.Close(); }
  void ClearPicture() { player_.ClearPicture(); }

  // The threads' entry points: each runs its body on the window, returns 0.
  static unsigned ReaderThreadProc(CPreviewWnd* window);
  static unsigned DecoderThreadProc(CPreviewWnd* window);
  // The bodies and the decoder thread's step for one frame, which the player
  // that holds the threads runs; only the preview's own threads call them.
  void ReaderThread() { player_.ReaderThread(); }
  void DecoderThread() { player_.DecoderThread(); }
  void DecodeAndShow(const std::uint8_t* data, int size) { player_.DecodeAndShow(data, size); }

  PreviewPlayer& Player() { return player_; }
  const PreviewPlayer& Player() const { return player_; }

  // Set directly by the selection dialog before Start.
  QString m_strStreamPath;
  QString m_strPositionPath;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The shown picture stretched over the whole client area.
  void OnPaint(QPainter& painter);

 private:
  int id_;
  // A child object: it outlives the joined threads and goes with the window.
  platform::ui::WindowPort* port_;
  PreviewPlayer player_;
};
