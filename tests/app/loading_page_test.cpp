// The loading page: its end test, its frames, its keys and its picture.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <optional>
#include <gtest/gtest.h>

#include <thread>

#include "app/loading_page.h"
#include "res/resource.h"
#include "res/resource_tables.h"
#include "tests/app/box_recorder.h"
#include "tests/app/run_dialog.h"
#include "tests/ui/qt_test_app.h"

namespace {

const QString kIndicator = QStringLiteral(TARNWELL_SOURCE_DIR "/res/images/Indicator.gif");

// Runs the page to its own end; returns the result and the time it took.
std::pair<int, qint64> RunPage(CLoadingPage& page, std::function<void(CLoadingPage&)> act = {}) {
  QElapsedTimer clock;
  clock.start();
  platform::ui::DialogShownHook previous = platform::ui::SetDialogShownHook([&](platform::ui::Dialog& shown) {
    if (&shown == &page && act) QTimer::singleShot(0, [&] { act(page); });
  });
  const int result = page.DoModal();
  platform::ui::SetDialogShownHook(previous);
  return {result, clock.elapsed()};
}

}  // namespace

TEST(LoadingCountdownTest, EndsOnTheFirstTickWithTheFlagDownOrOnThe101st) {
  struct Case {
    const char* name;
    int dropAtTick;  // the tick from which the flag reads 0; 0: never
    int endTick;
    int ticksCounted;
  };
  const Case cases[] = {
      {"flag already 0", 1, 1, 0},
      {"flag drops at tick 10", 10, 10, 9},
      {"flag never drops", 0, 101, 100},
      {"flag drops exactly at tick 101", 101, 101, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadingCountdown countdown;
    int tick = 0;
    bool ended = false;
    while (!ended && tick < 500) {
      ++tick;
      const int flag = (c.dropAtTick != 0 && tick >= c.dropAtTick) ? 0 : 1;
      ended = countdown.Tick(flag);
    }
    EXPECT_EQ(tick, c.endTick);
    EXPECT_EQ(countdown.Ticks(), c.ticksCounted);
  }
}

TEST(LoadingCountdownTest, FramesCycleThroughTheIndicator) {
  struct Case {
    int count;
    std::vector<int> sequence;
  };
  const Case cases[] = {
      {4, {1, 2, 3, 0, 1, 2, 3, 0}},
      {1, {0, 0, 0}},
      {0, {0, 0}},
  };
  for (const Case& c : cases) {
    int frame = 0;
    std::vector<int> drawn;
    for (std::size_t i = 0; i < c.sequence.size(); ++i) drawn.push_back(frame = NextIndicatorFrame(frame, c.count));
    EXPECT_EQ(drawn, c.sequence) << c.count << " frames";
  }
}

TEST(LoadingPageTest, AFlagAlreadyDownEndsThePageOnItsFirstTick) {
  BoxRecorder boxes;
  std::atomic<int> flag{0};
  CLoadingPage page;
  page.m_pFlag = &flag;
  page.m_indicatorPath = kIndicator;
  const auto [result, elapsed] = RunPage(page);
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_LT(elapsed, 2500);  // far below the page's own 5 s, with room for a busy sanitizer build
  EXPECT_EQ(page.Ticks(), 0);
  EXPECT_EQ(page.FrameCount(), 8);
  EXPECT_EQ(page.IndicatorSize(), QSize(32, 32));
  EXPECT_EQ(page.CurrentFrame(), 1);  // the ending tick still drew its frame
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(page.HasWindow());
}

TEST(LoadingPageTest, AWorkerClearingTheFlagEndsThePage) {
  std::atomic<int> flag{1};
  CLoadingPage page;
  page.m_pFlag = &flag;
  page.m_indicatorPath = kIndicator;
  std::thread worker;
  const auto [result, elapsed] = RunPage(page, [&](CLoadingPage&) {
    worker = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      flag = 0;
    });
  });
  worker.join();
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_GE(elapsed, 200);
  EXPECT_LT(elapsed, 3000);
  EXPECT_GE(page.Ticks(), 2);
  EXPECT_LT(page.Ticks(), 40);
}

TEST(LoadingPageTest, AFlagThatStaysSetEndsThePageOnThe101stTick) {
  std::atomic<int> flag{1};
  CLoadingPage page;
  page.m_pFlag = &flag;
  page.m_indicatorPath = kIndicator;
  const auto [result, elapsed] = RunPage(page);
  EXPECT_EQ(result, platform::ui::IDOK);
  EXPECT_EQ(page.Ticks(), 100);
  EXPECT_GE(elapsed, 4900);
  EXPECT_LT(elapsed, 8000);
  EXPECT_EQ(flag.load(), 1);  // the page never touches the flag
}

TEST(LoadingPageTest, EnterAndEscapeEndItAtOnce) {
  const std::pair<int, int> keys[] = {{Qt::Key_Return, platform::ui::IDOK}, {Qt::Key_Escape, platform::ui::IDCANCEL}};
  for (const auto& [key, expected] : keys) {
    std::atomic<int> flag{1};
    CLoadingPage page;
    page.m_pFlag = &flag;
    const auto [result, elapsed] = RunPage(page, [key = key](CLoadingPage& p) {
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(p.Window(), &press);
    });
    EXPECT_EQ(result, expected);
    // Far below the 5 s the page waits on its own; a sanitizer build on a
    // busy machine needs more than a second just to build the window.
    EXPECT_LT(elapsed, 2500);
  }
}

// A missing, cut or corrupt indicator leaves the animation out (a frame that
// cannot be decoded is reported with "error"), and the page still ends by its flag.
TEST(LoadingPageTest, AMissingOrBrokenIndicatorLeavesOnlyTheAnimationOut) {
  QFile source(kIndicator);
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  const QByteArray whole = source.readAll();
  ASSERT_GE(whole.size(), 80);  // room for the 40 bytes corrupted from its middle
  QByteArray corrupt = whole;
  for (int i = 0; i < 40; ++i) corrupt[whole.size() / 2 + i] = char(0xFF);
  struct Case {
    const char* name;
    std::optional<QByteArray> file;  // nothing: no file at all
    int frames;
    int errorBoxes;
  };
  const Case cases[] = {
      {"missing", std::nullopt, 0, 0},
      {"cut in half", whole.left(whole.size() / 2), 4, 0},
      {"corrupt frame data", corrupt, 0, 1},
      {"not a picture", QByteArray("GIF89a but nothing else"), 0, 0},
  };
  const QString before = QDir::currentPath();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    if (c.file) {
      QDir().mkpath(QStringLiteral("images"));
      QFile gif(QStringLiteral("images/Indicator.gif"));
      ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
      gif.write(*c.file);
    }
    BoxRecorder boxes;
    std::atomic<int> flag{1};
    CLoadingPage page;  // reads "images/Indicator.gif" from the current directory
    page.m_pFlag = &flag;
    std::thread worker;
    const auto [result, elapsed] = RunPage(page, [&](CLoadingPage&) {
      worker = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        flag = 0;
      });
    });
    worker.join();
    EXPECT_EQ(result, platform::ui::IDOK);
    EXPECT_LT(elapsed, 3000);
    EXPECT_GE(page.Ticks(), 1);
    EXPECT_EQ(page.FrameCount(), c.frames);
    ASSERT_EQ(static_cast<int>(boxes.boxes.size()), c.errorBoxes);
    for (const auto& box : boxes.boxes) {
      EXPECT_EQ(box.text, QStringLiteral("error"));
      EXPECT_EQ(box.title, platform::ApplicationTitle());
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("tmp.bmp")));  // frames are decoded in memory
    QDir::setCurrent(before);
  }
}

TEST(LoadingPageTest, ThePictureShowsThroughAroundTheWhiteText) {
  std::atomic<int> flag{1};
  CLoadingPage page;
  page.m_pFlag = &flag;
  page.m_indicatorPath = kIndicator;
  QImage shot;
  RunPage(page, [&](CLoadingPage& p) {
    testing_ui::PumpUntil([&] { return p.Ticks() >= 2; });
    shot = p.Client()->grab().toImage();
    flag = 0;
  });
  ASSERT_FALSE(shot.isNull());
  QImage picture(res::ImagePath(IDB_LOADING));
  ASSERT_FALSE(picture.isNull());
  // The template's size, grown where the picture would not fit.
  EXPECT_EQ(shot.size(), QSize(page.Units().ToPixelsX(204), page.Units().ToPixelsY(50)).expandedTo(QSize(300, 80)));
  // The background bitmap at the top-left corner.
  EXPECT_EQ(shot.pixelColor(10, 10), picture.pixelColor(10, 10));
  EXPECT_EQ(shot.pixelColor(290, 70), picture.pixelColor(290, 70));
  // White behind the text's own cells, the picture in the rest of its rectangle.
  int white = 0;
  for (int x = 120; x < 200; ++x)
    if (shot.pixelColor(x, 47) == QColor(Qt::white)) ++white;
  EXPECT_GT(white, 20);
  EXPECT_EQ(shot.pixelColor(245, 62), picture.pixelColor(245, 62));
  // An indicator frame is drawn at (65, 25).
  bool indicator = false;
  for (int y = 25; y < 57 && !indicator; ++y)
    for (int x = 65; x < 97; ++x)
      if (shot.pixelColor(x, y) != picture.pixelColor(x, y)) {
        indicator = true;
        break;
      }
  EXPECT_TRUE(indicator);
}

// The page is as large as its picture: 300 x 80 pixels, none of it cut.
TEST(LoadingPageTest, TheWholePictureShows) {
  std::atomic<int> flag{1};
  CLoadingPage page;
  page.m_pFlag = &flag;
  page.m_indicatorPath = QStringLiteral("no-indicator.gif");  // nothing drawn over the picture
  QImage shot;
  RunPage(page, [&](CLoadingPage& p) {
    testing_ui::PumpUntil([&] { return p.Ticks() >= 1; });
    shot = p.Client()->grab().toImage();
    flag = 0;
  });
  const QImage picture(res::ImagePath(IDB_LOADING));
  ASSERT_EQ(picture.size(), QSize(300, 80));
  ASSERT_FALSE(shot.isNull());
  EXPECT_GE(shot.width(), 300);
  EXPECT_GE(shot.height(), 80);
  // Its last rows and columns, away from the text's white cells.
  int differing = 0;
  for (int x = 0; x < 300; ++x)
    for (int y : {0, 78, 79}) differing += shot.pixelColor(x, y) != picture.pixelColor(x, y);
  for (int y = 0; y < 80; ++y)
    for (int x : {0, 298, 299}) differing += shot.pixelColor(x, y) != picture.pixelColor(x, y);
  EXPECT_EQ(differing, 0);
}
