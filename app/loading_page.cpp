#include "app/loading_page.h"

#include <QImageReader>
#include <QPainter>
#include <QWidget>

#include "platform/core/message_box.h"
#include "res/resource_tables.h"

namespace {

// Transparent parts become black first (the picture's background), then
// black is the mask colour: both show the page's picture through.
QImage MaskBlack(const QImage& frame) {
  QImage composed(frame.size(), QImage::Format_ARGB32);
  composed.fill(Qt::black);
  {
    QPainter p(&composed);
    p.drawImage(0, 0, frame);
  }
  for (int y = 0; y < composed.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(composed.scanLine(y));
    for (int x = 0; x < composed.width(); ++x)
      if ((line[x] & 0x00FFFFFFu) == 0) line[x] = 0;
  }
  return composed;
}

}  // namespace

CLoadingPage::CLoadingPage() : Dialog(res::Dialog(IDD_LOADING)) {}

CLoadingPage::~CLoadingPage() {
  m_background.Release();
  m_frames.clear();
}

bool CLoadingPage::OnInitDialog() {
  Dialog::OnInitDialog();
  m_background.Load(res::ImagePath(IDB_LOADING));
  // The template's 50 dialog units come out a few pixels short of the picture
  // with this system's dialog font; the page always holds its whole picture.
  if (QWidget* client = Client()) {
    const QSize fixed = client->minimumSize().expandedTo(QSize(m_background.Width(), m_background.Height()));
    client->setFixedSize(fixed);
  }
  m_countdown.Reset();
  // "The New Roman" names no installed face; its family (Swiss) makes it a
  // sans face of 16 pixels cell height.
  m_font = platform::ui::FontForCellHeight(QStringLiteral("Liberation Sans"), 16);
  if (m_pText == nullptr || GetDlgItem(IDC_LOADING_TEXT) == nullptr) {
    m_pText = CreateStatic(IDC_LOADING_TEXT, QString(), QRect(QPoint(120, 45), QPoint(250, 65) - QPoint(1, 1)));
    if (m_pText != nullptr) {
      static_cast<QLabel*>(m_pText)->setText(QStringLiteral("Loading......"));
      m_pText->setFont(m_font);
    }
  }
  m_nFrame = 0;
  m_bFrameDrawn = false;
  if (!LoadIndicatorFrames()) {
    // The page still ends by its flag or its tick count, only without frames.
    platform::FrameworkMessageBox(QStringLiteral("error"));
    m_frames.clear();
    m_nFrameCount = 0;
  }
  m_nTimer = SetTimer(TIMER_LOADING_FRAME, kFramePeriodMs);
  return true;
}

bool CLoadingPage::LoadIndicatorFrames() {
  m_frames.clear();
  m_nFrameCount = 0;
  m_indicatorSize = QSize();
  QImageReader reader(m_indicatorPath);
  if (!reader.canRead()) return true;  // no file or not a picture: no animation, no error
  const QSize size = reader.size();
  const int count = reader.imageCount();
  if (!size.isValid() || count <= 0) return true;
  m_indicatorSize = size;
  m_nFrameCount = count;
  for (int i = 0; i < count; ++i) {
    const QImage frame = reader.read();
    if (frame.isNull()) return false;
    m_frames.push_back(MaskBlack(frame));
  }
  return true;
}

void CLoadingPage::OnTimer(unsigned id) {
  if (id != TIMER_LOADING_FRAME) return;
  m_nFrame = NextIndicatorFrame(m_nFrame, m_nFrameCount);
  m_bFrameDrawn = true;
  if (QWidget* client = Client()) client->update(QRect(QPoint(65, 25), m_indicatorSize));
  const int flag = m_pFlag != nullptr ? m_pFlag->load() : 0;
  if (m_countdown.Tick(flag)) {
    KillTimer(m_nTimer);
    OnOK();
  }
}

bool CLoadingPage::OnEraseBkgnd(platform::ui::PaintDC& dc) {
  platform::ui::MemoryDC memory;
  const platform::ui::Bitmap* previous = memory.SelectObject(&m_background);
  dc.BitBlt(0, 0, m_background.Width(), m_background.Height(), memory, 0, 0);
  memory.SelectObject(previous);
  return true;
}

void CLoadingPage::OnPaint(platform::ui::PaintDC& dc) {
  if (!m_bFrameDrawn || m_nFrame < 0 || m_nFrame >= static_cast<int>(m_frames.size())) return;
  dc.Painter().drawImage(65, 25, m_frames[static_cast<std::size_t>(m_nFrame)]);
}

platform::ui::CtlColor CLoadingPage::OnCtlColor(int controlId) {
  platform::ui::CtlColor colour = Dialog::OnCtlColor(controlId);
  if (controlId == IDC_LOADING_TEXT) {
    colour.textBackground = QColor(255, 255, 255);
    colour.nullBrush = true;
  }
  return colour;
}
