// The real message boxes: titles, icons, owners and answers.
#include <QAbstractButton>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

#include "platform/ui/dialog.h"
#include "platform/ui/message_boxes.h"
#include "tests/ui/qt_test_app.h"

using namespace platform;
using namespace platform::ui;

namespace {

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::TextFormat format = Qt::AutoText;
  QWidget* parent = nullptr;
  QRect frame;  // where it stood on the screen
};

// Answers the next box that opens by pressing the given button.
void AnswerNextBox(QMessageBox::StandardButton press, SeenBox* seen) {
  QTimer::singleShot(0, [press, seen] {
    testing_ui::PumpUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    *seen = {box->windowTitle(), box->text(), box->icon(), box->textFormat(), box->parentWidget(), box->frameGeometry()};
    box->button(press)->click();
  });
}

DialogTemplate Owner() {
  DialogTemplate t;
  t.caption = QStringLiteral("Owner");
  t.cx = 100;
  t.cy = 40;
  return t;
}

}  // namespace

TEST(QtMessageBoxes, DialogAndFrameworkBoxesKeepTheirTitlesIconsAndOwners) {
  InstallMessageBoxes();
  Dialog owner(Owner());
  std::vector<std::pair<int, SeenBox>> answers;
  QRect ownerAt;
  DialogShownHook previous = SetDialogShownHook([&](Dialog& shown) {
    if (&shown != &owner) return;
    QTimer::singleShot(0, [&] {
      ownerAt = owner.Window()->geometry();
      SeenBox seen;
      AnswerNextBox(QMessageBox::Ok, &seen);
      answers.push_back({ShowMessageBox(owner.Id(), QStringLiteral("<b>Lobby</b>(1.2.3.4) Login failed!"),
                                        QStringLiteral("Error")),
                         seen});
      AnswerNextBox(QMessageBox::Ok, &seen);
      answers.push_back({FrameworkMessageBox(QStringLiteral("Failed to download File List")), seen});
      AnswerNextBox(QMessageBox::No, &seen);
      answers.push_back({ShowMessageBox(owner.Id(), QStringLiteral("Resume?"), QStringLiteral("Message"), MB_YESNO), seen});
      owner.EndDialog(platform::ui::IDOK);
    });
  });
  owner.DoModal();
  SetDialogShownHook(previous);
  SetMessageBoxHandler(nullptr);

  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].first, platform::IDOK);
  EXPECT_EQ(answers[0].second.title, QStringLiteral("Error"));
  EXPECT_EQ(answers[0].second.text, QStringLiteral("<b>Lobby</b>(1.2.3.4) Login failed!"));
  EXPECT_EQ(answers[0].second.format, Qt::PlainText);  // names never render as markup
  EXPECT_EQ(answers[0].second.icon, QMessageBox::NoIcon);
  EXPECT_NE(answers[0].second.parent, nullptr);
  EXPECT_LE((answers[0].second.frame.center() - ownerAt.center()).manhattanLength(), 2);  // over its owner

  EXPECT_EQ(answers[1].first, platform::IDOK);
  EXPECT_EQ(answers[1].second.title, ApplicationTitle());
  EXPECT_EQ(answers[1].second.icon, QMessageBox::Warning);
  EXPECT_NE(answers[1].second.parent, nullptr);  // the running modal dialog owns it

  EXPECT_EQ(answers[2].first, platform::IDNO);
  EXPECT_EQ(answers[2].second.title, QStringLiteral("Message"));
}

namespace {

// A dialog whose child page, made during its initialisation, shows a box owned
// by the page: neither the page nor the dialog is shown yet.
class PageOwner : public Dialog {
 public:
  PageOwner() : Dialog(Owner()) {}
  Dialog page{PageTemplate()};
  SeenBox seen;

 protected:
  bool OnInitDialog() override {
    Dialog::OnInitDialog();
    if (page.Create(Client())) {
      AnswerNextBox(QMessageBox::Ok, &seen);
      ShowMessageBox(page.Id(), QStringLiteral("The database does not exist."), QStringLiteral("Message"));
    }
    return true;
  }

 private:
  static DialogTemplate Owner() {
    DialogTemplate t;
    t.caption = QStringLiteral("Remote Server Manager");
    t.cx = 380;
    t.cy = 263;
    return t;
  }
  static DialogTemplate PageTemplate() {
    DialogTemplate t;
    t.cx = 358;
    t.cy = 227;
    t.style = kChild;
    return t;
  }
};

}  // namespace

// A box stands over the window that owns it, or over that window's top-level
// window while the owner is not shown yet, wherever that window stands.
TEST(QtMessageBoxes, ABoxOfAPageNotYetShownStandsOverItsDialog) {
  InstallMessageBoxes();
  Dialog outer(Owner());
  PageOwner dialog;
  QRect shownAt;
  QRect outerAt;
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  DialogShownHook previous = SetDialogShownHook([&](Dialog& shown) {
    if (&shown == &outer) {
      // Off the screen's centre, so that a box centred on the screen is seen.
      QTimer::singleShot(0, [&] {
        outer.Window()->move(area.left() + 10, area.top() + 10);
        testing_ui::Pump(std::chrono::milliseconds(20));
        outerAt = outer.Window()->frameGeometry();
        dialog.DoModal();
        outer.EndDialog(platform::ui::IDOK);
      });
    } else if (&shown == &dialog) {
      QTimer::singleShot(0, [&] {
        ASSERT_TRUE(testing_ui::PumpUntil([&] { return dialog.Window()->isVisible(); }));
        shownAt = dialog.Window()->frameGeometry();
        dialog.EndDialog(platform::ui::IDOK);
      });
    }
  });
  outer.DoModal();
  SetDialogShownHook(previous);
  SetMessageBoxHandler(nullptr);

  ASSERT_EQ(dialog.seen.text, QStringLiteral("The database does not exist."));
  ASSERT_TRUE(shownAt.isValid());
  // The dialog is centred over its owner, as far as the screen allows: larger
  // than its owner near the screen's corner, it is pushed back onto the screen...
  EXPECT_TRUE(shownAt.intersects(outerAt));
  EXPECT_TRUE(area.contains(shownAt.topLeft())) << "dialog at " << shownAt.left() << "," << shownAt.top();
  // ...and the box over the dialog, as it will be shown.
  const QPoint offset = dialog.seen.frame.center() - shownAt.center();
  EXPECT_LE(offset.manhattanLength(), 2) << "box centre " << dialog.seen.frame.center().x() << ","
                                          << dialog.seen.frame.center().y() << ", dialog centre "
                                          << shownAt.center().x() << "," << shownAt.center().y();
}

// Boxes belong to the window thread: one asked for on another thread opens
// nothing and gets its first button's answer.
TEST(QtMessageBoxes, ABoxAskedForOnAWorkerThreadGetsItsFirstAnswer) {
  InstallMessageBoxes();
  int yesNo = 0;
  int okCancel = 0;
  std::thread worker([&] {
    yesNo = ShowMessageBox(kNoWindow, QStringLiteral("Resume?"), QStringLiteral("Message"), MB_YESNO);
    okCancel = ShowMessageBox(kNoWindow, QStringLiteral("Network Failed!"), QStringLiteral("Error"), MB_OKCANCEL);
  });
  worker.join();
  SetMessageBoxHandler(nullptr);
  EXPECT_EQ(yesNo, platform::IDYES);
  EXPECT_EQ(okCancel, platform::IDOK);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
