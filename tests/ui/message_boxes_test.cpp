// The real message boxes: titles, icons, owners and answers.
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

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
};

// Answers the next box that opens by pressing the given button.
void AnswerNextBox(QMessageBox::StandardButton press, SeenBox* seen) {
  QTimer::singleShot(0, [press, seen] {
    testing_ui::PumpUntil([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    *seen = {box->windowTitle(), box->text(), box->icon(), box->textFormat(), box->parentWidget()};
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
  DialogShownHook previous = SetDialogShownHook([&](Dialog& shown) {
    if (&shown != &owner) return;
    QTimer::singleShot(0, [&] {
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

  EXPECT_EQ(answers[1].first, platform::IDOK);
  EXPECT_EQ(answers[1].second.title, ApplicationTitle());
  EXPECT_EQ(answers[1].second.icon, QMessageBox::Warning);
  EXPECT_NE(answers[1].second.parent, nullptr);  // the running modal dialog owns it

  EXPECT_EQ(answers[2].first, platform::IDNO);
  EXPECT_EQ(answers[2].second.title, QStringLiteral("Message"));
}
