// The real folder browser: what it offers follows the flags it is given, and a
// chosen folder comes back as its path.
#include <QAbstractButton>
#include <QAction>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/ui/folder_browser.h"
#include "tests/ui/qt_test_app.h"

using namespace platform::ui;

namespace {

struct Offered {
  bool newFolder;  // a button or a menu entry that makes a folder
  bool nameField;  // a field to type the folder's name into
  bool resizable;
};

Offered WhatItOffers(QFileDialog& browser) {
  browser.show();
  testing_ui::PumpUntil([&] { return browser.isVisible(); });
  Offered offered{false, false, false};
  if (auto* button = browser.findChild<QAbstractButton*>(QStringLiteral("newFolderButton")))
    offered.newFolder = button->isVisible() && button->isEnabled();
  for (QAction* action : browser.findChildren<QAction*>())
    if (action->text().remove(QLatin1Char('&')) == QStringLiteral("New Folder") && action->isEnabled()) offered.newFolder = true;
  if (auto* field = browser.findChild<QWidget*>(QStringLiteral("fileNameEdit"))) offered.nameField = field->isVisible();
  offered.resizable = browser.minimumSize() != browser.maximumSize();
  browser.hide();
  return offered;
}

}  // namespace

TEST(FolderBrowser, OffersWhatItsFlagsAskFor) {
  struct Case {
    unsigned flags;
    Offered want;
  };
  const Case cases[] = {
      // The backup settings' browser: folders only, new style, no new-folder button.
      {BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON, {false, false, true}},
      {BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE, {true, false, true}},
      {BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_NONEWFOLDERBUTTON, {false, true, true}},
      {BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON, {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    FolderBrowseRequest request;
    request.title = QStringLiteral("Please select a folder.");
    request.flags = c.flags;
    const std::unique_ptr<QFileDialog> browser = MakeFolderBrowser(request, nullptr);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->windowTitle(), request.title);
    EXPECT_EQ(browser->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(browser->testOption(QFileDialog::ShowDirsOnly));
    const Offered got = WhatItOffers(*browser);
    EXPECT_EQ(got.newFolder, c.want.newFolder);
    EXPECT_EQ(got.nameField, c.want.nameField);
    EXPECT_EQ(got.resizable, c.want.resizable);
  }
}

TEST(FolderBrowser, TheChosenFolderComesBackAndCancelChangesNothing) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("backup")));
  const QString chosen = root.filePath(QStringLiteral("backup"));
  FolderBrowseRequest request;
  request.flags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  ASSERT_FALSE(SetFolderBrowserHandler(nullptr));  // the real browser

  for (bool accept : {true, false}) {
    SCOPED_TRACE(accept ? "chosen" : "cancelled");
    bool answered = false;
    QTimer::singleShot(0, [&] {
      ASSERT_TRUE(testing_ui::PumpUntil([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }));
      auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      browser->setDirectory(chosen);
      answered = true;
      QMetaObject::invokeMethod(browser, accept ? "accept" : "reject", Qt::QueuedConnection);
    });
    const FolderBrowseResult result = BrowseForFolder(request);
    EXPECT_TRUE(answered);
    EXPECT_EQ(result.chosen, accept);
    EXPECT_EQ(result.hasPath, accept);
    EXPECT_EQ(result.path, accept ? chosen : QString());
  }
}
