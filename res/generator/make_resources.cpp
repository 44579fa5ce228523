// Draws the program's own pictures: the application icon, the toolbar icons,
// the main window's background, the loading page's picture, the animated
// loading indicator, the backup dialog's copy animation and the zoom keys. Run by hand when a picture changes:
//   make_resources <res folder>
// and commit what it writes.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

#include "res/generator/avi_writer.h"
#include "res/generator/gif_writer.h"

namespace {

const QColor kNavy(26, 58, 110);
const QColor kBlue(52, 112, 196);
const QColor kSky(150, 190, 235);

QImage Canvas(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A recorder box with a lens, seen from the front: the program's sign.
QImage AppIcon(int size) {
  QImage image = Canvas(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 48.0, size / 48.0);
  QLinearGradient body(0, 6, 0, 42);
  body.setColorAt(0, kBlue.lighter(130));
  body.setColorAt(1, kNavy);
  p.setPen(QPen(kNavy.darker(140), 1.5));
  p.setBrush(body);
  p.drawRoundedRect(QRectF(3, 9, 42, 30), 6, 6);
  QRadialGradient lens(17, 22, 10);
  lens.setColorAt(0, QColor(230, 240, 255));
  lens.setColorAt(1, QColor(40, 70, 120));
  p.setBrush(lens);
  p.setPen(QPen(Qt::white, 1.5));
  p.drawEllipse(QPointF(17, 24), 9, 9);
  p.setBrush(QColor(245, 180, 40));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(37, 16), 2.5, 2.5);
  // The backup arrow.
  QPainterPath arrow;
  arrow.moveTo(33, 21);
  arrow.lineTo(39, 21);
  arrow.lineTo(39, 28);
  arrow.lineTo(42, 28);
  arrow.lineTo(36, 35);
  arrow.lineTo(30, 28);
  arrow.lineTo(33, 28);
  arrow.closeSubpath();
  p.setBrush(QColor(90, 200, 90));
  p.setPen(QPen(QColor(30, 100, 30), 1));
  p.drawPath(arrow);
  return image;
}

void Monitor(QPainter& p) {
  p.setPen(QPen(kNavy, 1.2));
  QLinearGradient screen(0, 4, 0, 22);
  screen.setColorAt(0, kSky);
  screen.setColorAt(1, kBlue);
  p.setBrush(screen);
  p.drawRoundedRect(QRectF(3, 4, 22, 17), 2, 2);
  p.setBrush(QColor(120, 130, 145));
  p.drawRect(QRectF(11, 21, 6, 3));
  p.drawRoundedRect(QRectF(7, 24, 14, 3), 1, 1);
}

QImage RemoteServerIcon() {
  QImage image = Canvas(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  Monitor(p);
  // A recorder behind the screen, joined by a cable.
  p.setPen(QPen(QColor(60, 60, 60), 1.2));
  QLinearGradient box(0, 14, 0, 30);
  box.setColorAt(0, QColor(90, 95, 105));
  box.setColorAt(1, QColor(40, 42, 48));
  p.setBrush(box);
  p.drawRoundedRect(QRectF(17, 17, 13, 12), 2, 2);
  p.setBrush(QColor(90, 230, 90));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(26.5, 21), 1.4, 1.4);
  p.setBrush(QColor(240, 200, 60));
  p.drawEllipse(QPointF(22.5, 21), 1.4, 1.4);
  p.setPen(QPen(QColor(200, 210, 220), 1.2));
  p.drawLine(QPointF(19.5, 25.5), QPointF(27.5, 25.5));
  return image;
}

QImage DocumentWith(const QColor& sign, bool plus) {
  QImage image = Canvas(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // A film strip: the recording.
  p.setPen(QPen(QColor(50, 50, 60), 1));
  p.setBrush(QColor(70, 75, 90));
  p.drawRoundedRect(QRectF(3, 5, 20, 22), 2, 2);
  p.setBrush(kSky);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(7, 9, 12, 6));
  p.drawRect(QRectF(7, 17, 12, 6));
  p.setBrush(Qt::white);
  for (int y = 7; y < 27; y += 4) {
    p.drawRect(QRectF(4, y, 2, 2));
    p.drawRect(QRectF(20, y, 2, 2));
  }
  // The sign in a round badge.
  p.setPen(QPen(sign.darker(150), 1.2));
  QRadialGradient badge(21, 19, 9);
  badge.setColorAt(0, sign.lighter(150));
  badge.setColorAt(1, sign);
  p.setBrush(badge);
  p.drawEllipse(QPointF(23, 22), 8, 8);
  p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 22), QPointF(27, 22));
  if (plus) p.drawLine(QPointF(23, 18), QPointF(23, 26));
  return image;
}

QImage BackupIcon() {
  QImage image = Canvas(32, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // A disk drive receiving an arrow.
  p.setPen(QPen(QColor(60, 60, 70), 1.2));
  QLinearGradient drive(0, 18, 0, 29);
  drive.setColorAt(0, QColor(200, 205, 215));
  drive.setColorAt(1, QColor(120, 125, 140));
  p.setBrush(drive);
  p.drawRoundedRect(QRectF(3, 18, 26, 11), 2, 2);
  p.setBrush(QColor(90, 230, 90));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(24.5, 23.5), 1.6, 1.6);
  QPainterPath arrow;
  arrow.moveTo(12, 2);
  arrow.lineTo(20, 2);
  arrow.lineTo(20, 10);
  arrow.lineTo(25, 10);
  arrow.lineTo(16, 19);
  arrow.lineTo(7, 10);
  arrow.lineTo(12, 10);
  arrow.closeSubpath();
  QLinearGradient fill(0, 2, 0, 19);
  fill.setColorAt(0, kSky);
  fill.setColorAt(1, kBlue);
  p.setBrush(fill);
  p.setPen(QPen(kNavy, 1.2));
  p.drawPath(arrow);
  return image;
}

// 1022 x 500, 24 bits: a calm gradient with faint bands, so the job list and
// the toolbar stay readable over it.
QImage Background() {
  QImage image(1022, 500, QImage::Format_RGB888);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, 500);
  sky.setColorAt(0, QColor(214, 226, 242));
  sky.setColorAt(0.5, QColor(236, 241, 248));
  sky.setColorAt(1, QColor(200, 214, 234));
  p.fillRect(image.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 5; ++i) {
    QPainterPath wave;
    const double base = 330 + i * 28;
    wave.moveTo(0, base);
    for (int x = 0; x <= 1030; x += 8) wave.lineTo(x, base + 18 * std::sin((x + i * 90) / 160.0));
    wave.lineTo(1022, 500);
    wave.lineTo(0, 500);
    wave.closeSubpath();
    p.setBrush(QColor(70, 120, 190, 22 + i * 6));
    p.drawPath(wave);
  }
  return image;
}

// 300 x 80 in 16 colours: the loading page's panel.
QImage LoadingPicture() {
  QImage art(300, 80, QImage::Format_RGB32);
  QPainter p(&art);
  QLinearGradient panel(0, 0, 0, 80);
  panel.setColorAt(0, QColor(232, 240, 250));
  panel.setColorAt(1, QColor(180, 204, 234));
  p.fillRect(art.rect(), panel);
  p.setPen(QPen(kNavy, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRect(1, 1, 297, 77));
  p.setPen(QPen(kBlue, 1));
  p.drawRect(QRect(4, 4, 291, 71));
  p.end();
  QVector<QRgb> table;
  for (int i = 0; i < 14; ++i) {
    const double t = i / 13.0;
    table.push_back(qRgb(232 + (180 - 232) * t, 240 + (204 - 240) * t, 250 + (234 - 250) * t));
  }
  table.push_back(kNavy.rgb());
  table.push_back(kBlue.rgb());
  return art.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
}

// The indicator: eight dots in a ring, the bright one moving round.
std::vector<QImage> IndicatorFrames() {
  std::vector<QImage> frames;
  const int n = 8;
  for (int f = 0; f < n; ++f) {
    QImage image = Canvas(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < n; ++i) {
      const int age = (f - i + n) % n;  // 0: the newest dot
      const double angle = 2 * M_PI * i / n - M_PI / 2;
      const double r = age == 0 ? 4.2 : 3.2;
      QColor c = age == 0 ? QColor(20, 60, 160) : QColor(40 + age * 18, 80 + age * 16, 180 + age * 8);
      p.setBrush(c);
      p.drawEllipse(QPointF(16 + 10.5 * std::cos(angle), 16 + 10.5 * std::sin(angle)), r, r);
    }
    frames.push_back(image);
  }
  return frames;
}

// The copy animation: a sheet flies in an arc from one folder to the other.
// Flat colours only, so the clip's palette keeps them exact and the
// background (the first pixel) can be keyed out by the animation control.
void Folder(QPainter& p, int x, int y) {
  p.setPen(QColor(150, 110, 20));
  p.setBrush(QColor(235, 190, 70));
  p.drawRect(x, y + 4, 36, 22);
  p.drawRect(x, y, 14, 4);
  p.setBrush(QColor(250, 215, 110));
  p.drawRect(x + 2, y + 9, 34, 17);
}

// 240 x 36: it sits above the file list, which starts just below it.
std::vector<QImage> CopyFramesAnimation() {
  std::vector<QImage> frames;
  const int n = 16;
  for (int f = 0; f < n; ++f) {
    QImage image(240, 36, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter p(&image);
    Folder(p, 14, 7);
    Folder(p, 190, 7);
    const double t = double(f) / (n - 1);
    const int x = int(40 + t * 150);
    const int y = int(17 - 15 * std::sin(t * M_PI));
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(x, y, 10, 13);
    p.setPen(QColor(52, 112, 196));
    for (int line = 0; line < 3; ++line) p.drawLine(x + 2, y + 3 + 3 * line, x + 8, y + 3 + 3 * line);
    frames.push_back(image);
  }
  return frames;
}

// The zoom buttons of the time line: a small raised key with a plus or a
// minus sign, at the buttons' size. Bitmaps have no alpha: the key is opaque.
QImage ZoomKey(bool plus) {
  QImage image(18, 20, QImage::Format_RGB32);
  image.fill(QColor(240, 240, 240));
  QPainter p(&image);
  QLinearGradient face(0, 1, 0, 19);
  face.setColorAt(0, QColor(252, 252, 252));
  face.setColorAt(1, QColor(205, 215, 230));
  p.fillRect(QRect(1, 1, 16, 18), face);
  p.setPen(kNavy);
  p.drawRect(QRect(0, 0, 17, 19));
  p.fillRect(QRect(4, 9, 10, 2), kNavy);
  if (plus) p.fillRect(QRect(8, 5, 2, 10), kNavy);
  p.end();
  return image.convertToFormat(QImage::Format_RGB888);
}

bool Save(const QImage& image, const QString& path) {
  if (!image.save(path)) {
    std::fprintf(stderr, "make_resources: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_resources <res folder>\n");
    return 2;
  }
  const QDir res(QString::fromLocal8Bit(argv[1]));
  for (const char* sub : {"icons", "bitmaps", "images"}) res.mkpath(QString::fromLatin1(sub));
  bool ok = true;
  for (int size : {16, 32, 48}) ok &= Save(AppIcon(size), res.filePath(QStringLiteral("icons/app_%1.png").arg(size)));
  ok &= Save(RemoteServerIcon(), res.filePath(QStringLiteral("icons/remote_server.png")));
  ok &= Save(DocumentWith(QColor(40, 160, 60), true), res.filePath(QStringLiteral("icons/add.png")));
  ok &= Save(DocumentWith(QColor(200, 50, 40), false), res.filePath(QStringLiteral("icons/remove.png")));
  ok &= Save(BackupIcon(), res.filePath(QStringLiteral("icons/backup.png")));
  ok &= Save(Background(), res.filePath(QStringLiteral("bitmaps/background.png")));
  ok &= Save(LoadingPicture(), res.filePath(QStringLiteral("bitmaps/loading.png")));
  ok &= WriteAnimatedGif(IndicatorFrames(), 5, res.filePath(QStringLiteral("images/Indicator.gif")));
  ok &= WriteAviClip(CopyFramesAnimation(), 80000, res.filePath(QStringLiteral("images/CopyFiles.avi")));
  ok &= Save(ZoomKey(true), res.filePath(QStringLiteral("images/Plus.bmp")));
  ok &= Save(ZoomKey(false), res.filePath(QStringLiteral("images/Minus.bmp")));
  // Legend keys of the selection dialog: the time line's colours for normal,
  // event and motion recordings.
  const std::pair<const char*, QColor> legends[] = {
      {"bitmaps/legend_normal.png", QColor(221, 0, 0)},
      {"bitmaps/legend_event.png", QColor(0, 221, 0)},
      {"bitmaps/legend_motion.png", QColor(0, 0, 221)}};
  for (const auto& [name, colour] : legends) {
    QImage key(13, 11, QImage::Format_RGB32);
    key.fill(colour);
    ok &= Save(key, res.filePath(QString::fromLatin1(name)));
  }
  return ok ? 0 : 1;
}
