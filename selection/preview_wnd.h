#pragma once
// The selection dialog's preview: a child window that plays one channel of
// the recorder's stream. The work is done by its PreviewPlayer; the window
// paints the player's picture stretched over its client area, repainting
// whenever the decoder thread reports a new picture.
#include <QString>
#include <QWidget>

#include "platform/ui/picture_paint.h"
#include "selection/preview_player.h"

class CPreviewWnd : public QWidget {
 public:
  explicit CPreviewWnd(QWidget* parent = nullptr, int id = 0);
  // Stops and joins both threads before the window goes.
  ~CPreviewWnd() override;

  int Id() const { return id_; }
  platform::WindowId WindowId() const { return repaint_.Id(); }

  void SetServer(const QString& host, const QString& user, const QString& password, int port, int https) {
    player_.SetServer(host, user, password, port, https);
  }
  // Starts a preview of the two paths below.
  void Start();
  void Stop() { player_.Stop(); }
  void Close() { player_.Close(); }
  void ClearPicture() { player_.ClearPicture(); }

  PreviewPlayer& Player() { return player_; }
  const PreviewPlayer& Player() const { return player_; }

  // Set directly by the selection dialog before Start.
  QString m_strStreamPath;
  QString m_strPositionPath;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int id_;
  platform::ui::RepaintById repaint_;
  PreviewPlayer player_;
};
