#include "platform/ui/folder_browser.h"

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
  QFileDialog::Options options = QFileDialog::ShowDirsOnly;
  const QString path = QFileDialog::getExistingDirectory(owner, request.title, QDir::homePath(), options);
  FolderBrowseResult result;
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

FolderBrowseResult BrowseForFolder(const FolderBrowseRequest& request) {
  if (Handler()) return Handler()(request);
  return ShowQtFolderBrowser(request);
}

}  // namespace platform::ui
