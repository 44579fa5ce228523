#include "platform/ui/folder_browser.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFileDialog>

#include "platform/ui/dialog.h"

namespace platform::ui {
namespace {

FolderBrowserHandler& Handler() {
  static FolderBrowserHandler handler;
  return handler;
}

FolderBrowseResult ShowQtFolderBrowser(const FolderBrowseRequest& request) {
  QWidget* owner = nullptr;
  if (Dialog* dialog = FindDialog(request.owner)) owner = dialog->Window();
  const std::unique_ptr<QFileDialog> browser = MakeFolderBrowser(request, owner);
  FolderBrowseResult result;
  if (browser->exec() != QDialog::Accepted) return result;
  const QString path = browser->selectedFiles().value(0);
  result.chosen = !path.isEmpty();
  result.hasPath = result.chosen;
  result.path = QDir::toNativeSeparators(path);
  return result;
}

}  // namespace

FolderBrowserHandler SetFolderBrowserHandler(FolderBrowserHandler handler) {
  FolderBrowserHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

std::unique_ptr<QFileDialog> MakeFolderBrowser(const FolderBrowseRequest& request, QWidget* owner) {
  auto browser = std::make_unique<QFileDialog>(owner, request.title, QDir::homePath());
  // The desktop's own browser would ignore the flags below.
  browser->setOption(QFileDialog::DontUseNativeDialog);
  browser->setFileMode(QFileDialog::Directory);
  browser->setOption(QFileDialog::ShowDirsOnly);
  if (request.flags & BIF_NONEWFOLDERBUTTON) {
    // The context menu offers "New Folder" only beside a visible button; the
    // action is disabled as well, for any other way of reaching it.
    if (auto* button = browser->findChild<QAbstractButton*>(QStringLiteral("newFolderButton"))) button->hide();
    if (auto* action = browser->findChild<QAction*>(QStringLiteral("qt_new_folder_action"))) action->setEnabled(false);
  }
  if (!(request.flags & BIF_EDITBOX)) {
    for (const char* name : {"fileNameLabel", "fileNameEdit"})
      if (auto* widget = browser->findChild<QWidget*>(QString::fromLatin1(name))) widget->hide();
  }
  if (!(request.flags & BIF_NEWDIALOGSTYLE)) browser->setFixedSize(browser->sizeHint());
  return browser;
}

FolderBrowseResult BrowseForFolder(const FolderBrowseRequest& request) {
  if (Handler()) return Handler()(request);
  return ShowQtFolderBrowser(request);
}

}  // namespace platform::ui
