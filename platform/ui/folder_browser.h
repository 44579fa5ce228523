#pragma once
// The folder browser is a modal question like a message box: it goes through
// one function, so that tests answer it in advance and see what was asked.
#include <QString>
#include <functional>
#include <memory>

#include "platform/core/window_post.h"

class QFileDialog;
class QWidget;

namespace platform::ui {

// The browser's flags as the program passes them.
inline constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr unsigned BIF_EDITBOX = 0x0010;  // a field to type the folder's name into
inline constexpr unsigned BIF_NEWDIALOGSTYLE = 0x0040;  // a resizable browser
inline constexpr unsigned BIF_NONEWFOLDERBUTTON = 0x0200;

struct FolderBrowseRequest {
  WindowId owner = kNoWindow;
  QString title;
  unsigned flags = 0;
};

struct FolderBrowseResult {
  bool chosen = false;   // false: the operator cancelled
  bool hasPath = false;  // the chosen item is a folder of the file system
  QString path;
};

using FolderBrowserHandler = std::function<FolderBrowseResult(const FolderBrowseRequest&)>;

// Installs a handler and returns the previous one; an empty one restores the
// real browser.
FolderBrowserHandler SetFolderBrowserHandler(FolderBrowserHandler handler);

FolderBrowseResult BrowseForFolder(const FolderBrowseRequest& request);

// The real browser as BrowseForFolder shows it without a handler, built from
// the request's flags: no way to make a folder with BIF_NONEWFOLDERBUTTON, no
// name field without BIF_EDITBOX, a fixed size without BIF_NEWDIALOGSTYLE. It
// only ever offers folders of the file system, as BIF_RETURNONLYFSDIRS asks.
std::unique_ptr<QFileDialog> MakeFolderBrowser(const FolderBrowseRequest& request, QWidget* owner);

}  // namespace platform::ui
