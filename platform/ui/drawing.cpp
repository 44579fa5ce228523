#include "platform/ui/drawing.h"

#include <QFontMetrics>
#include <QPainter>

namespace platform::ui {

bool Bitmap::Load(const QString& path) {
  QPixmap loaded;
  if (!loaded.load(path)) {
    pixmap_ = QPixmap();
    return false;
  }
  pixmap_ = loaded;
  return true;
}

QIcon LoadIcon(const QString& path) {
  // QIcon reads its file lazily and is never null; a missing picture must give an empty icon.
  QPixmap pixmap;
  if (!pixmap.load(path)) return QIcon();
  return QIcon(pixmap);
}

const Bitmap* MemoryDC::SelectObject(const Bitmap* bitmap) {
  const Bitmap* previous = selected_;
  selected_ = bitmap;
  return previous;
}

void PaintDC::BitBlt(int x, int y, int cx, int cy, const MemoryDC& source, int sx, int sy) {
  const Bitmap* bitmap = source.Selected();
  if (bitmap == nullptr || bitmap->IsNull() || cx <= 0 || cy <= 0) return;
  painter_.drawPixmap(x, y, bitmap->Pixmap(), sx, sy, cx, cy);
}

void PaintDC::DrawIcon(int x, int y, const QIcon& icon, int size) {
  if (icon.isNull()) return;
  painter_.drawPixmap(x, y, icon.pixmap(size, size));
}

QFont FontForCellHeight(const QString& family, int cellHeight, int weight) {
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
  int best = cellHeight;
  for (int pixels = cellHeight; pixels >= 4; --pixels) {
    font.setPixelSize(pixels);
    best = pixels;
    if (QFontMetrics(font).height() <= cellHeight) break;
  }
  font.setPixelSize(best);
  return font;
}

}  // namespace platform::ui
