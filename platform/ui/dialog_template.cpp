#include "platform/ui/dialog_template.h"

#include <QFontMetrics>

namespace platform::ui {
namespace {

// Rounded a * b / c, as the platform's dialog-unit arithmetic does it.
int MulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

}  // namespace

QFont TemplateFont(const QString& face, int points) {
  QFont font;
  const bool windowsFace = face == QLatin1String("MS Shell Dlg") || face == QLatin1String("MS Shell Dlg 2") ||
                           face == QLatin1String("Arial") || face == QLatin1String("MS Sans Serif") ||
                           face == QLatin1String("Tahoma");
  font.setFamily(windowsFace || face.isEmpty() ? QStringLiteral("Liberation Sans") : face);
  font.setStyleHint(QFont::SansSerif);
  // Points at 96 dots per inch, so layouts do not depend on the screen's DPI.
  font.setPixelSize(MulDiv(points, 96, 72));
  return font;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics fm(font);
  const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (width / 26 + 1) / 2;
  baseY_ = fm.height();
}

int DialogUnits::ToPixelsX(int du) const { return MulDiv(du, baseX_, 4); }
int DialogUnits::ToPixelsY(int du) const { return MulDiv(du, baseY_, 8); }

QRect DialogUnits::ToPixels(int x, int y, int cx, int cy) const {
  return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(cx), ToPixelsY(cy));
}

}  // namespace platform::ui
