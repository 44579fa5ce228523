#pragma once
// Device contexts and bitmaps over QPainter and QPixmap. A bitmap that could
// not be loaded is empty, and drawing an empty bitmap draws nothing.
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;
class QWidget;

namespace platform::ui {

class Bitmap {
 public:
  Bitmap() = default;
  // From a file or a compiled-in resource path (":/..."); false when missing.
  bool Load(const QString& path);
  void Attach(const QPixmap& pixmap) { pixmap_ = pixmap; }
  void Release() { pixmap_ = QPixmap(); }
  bool IsNull() const { return pixmap_.isNull(); }
  int Width() const { return pixmap_.width(); }
  int Height() const { return pixmap_.height(); }
  const QPixmap& Pixmap() const { return pixmap_; }

 private:
  QPixmap pixmap_;
};

// An icon with the sizes its resource holds.
QIcon LoadIcon(const QString& path);

// A memory device context: a bitmap is selected into it and copied from it.
class MemoryDC {
 public:
  // Returns the previously selected bitmap, so the caller can put it back.
  const Bitmap* SelectObject(const Bitmap* bitmap);
  const Bitmap* Selected() const { return selected_; }

 private:
  const Bitmap* selected_ = nullptr;
};

// The device context of a window while it paints.
class PaintDC {
 public:
  explicit PaintDC(QPainter& painter) : painter_(painter) {}
  QPainter& Painter() { return painter_; }
  // Copies (x, y, cx, cy) of the source's bitmap from (sx, sy); clipped to the window.
  void BitBlt(int x, int y, int cx, int cy, const MemoryDC& source, int sx, int sy);
  void DrawIcon(int x, int y, const QIcon& icon, int size);

 private:
  QPainter& painter_;
};

// A font of the given cell height in pixels (the way the platform's font
// heights are meant), searched by the font's measured height.
QFont FontForCellHeight(const QString& family, int cellHeight, int weight = 400);

}  // namespace platform::ui
