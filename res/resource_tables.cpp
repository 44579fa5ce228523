#include "res/resource_tables.h"

#include <map>

#include "platform/ui/drawing.h"
#include "platform/ui/messages.h"
#include "res/process_dialog_template.h"
#include "res/backup_setting_template.h"
#include "res/select_dialog_template.h"

namespace res {
namespace {

using platform::ui::ControlKind;
using platform::ui::ControlTemplate;
using platform::ui::DialogTemplate;
using platform::ui::MenuItemTemplate;
using platform::ui::MenuTemplate;
using platform::ui::PopupTemplate;
namespace ui = platform::ui;

DialogTemplate AboutBox() {
  DialogTemplate d;
  d.id = IDD_ABOUTBOX;
  d.caption = QStringLiteral("About Tarnwell");
  d.cx = 235;
  d.cy = 55;
  d.fontPoints = 9;
  d.style = ui::kCaption | ui::kSysMenu;
  d.controls = {
      {-1, ControlKind::StaticIcon, ImagePath(IDR_MAINFRAME), 11, 17, 20, 20, ui::kVisible},
      {-1, ControlKind::StaticText, QStringLiteral("Tarnwell V2.2.2"), 40, 10, 119, 8,
       ui::kVisible | ui::kNoPrefix | ui::kGroup},
      {-1, ControlKind::StaticText,
       QStringLiteral("Backs up recordings from network\nvideo recorders to a folder."), 40, 25,
       139, 23, ui::kVisible | ui::kGroup},
      {ui::IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 178, 7, 50, 16,
       ui::kVisible | ui::kGroup | ui::kTabStop},
  };
  return d;
}

DialogTemplate MainWindow() {
  DialogTemplate d;
  d.id = IDD_MAIN;
  d.caption = QStringLiteral("Tarnwell");
  d.cx = 387;
  d.cy = 206;
  d.fontPoints = 9;
  d.style = ui::kCaption | ui::kSysMenu | ui::kMinMaxBox | ui::kAppWindow;
  d.controls = {
      {IDC_LIST_JOBS, ControlKind::ListView, QString(), 4, 41, 379, 149,
       ui::kVisible | ui::kBorder | ui::kTabStop | ui::kReport | ui::kSingleSel},
      {IDC_BTN_SELECT, ControlKind::PushButton, QStringLiteral("Select"), 275, 14, 37, 24, ui::kTabStop},
      {IDC_BTN_OPEN, ControlKind::PushButton, QStringLiteral("Open"), 239, 14, 36, 24, ui::kTabStop},
      {IDC_BTN_BACKUP, ControlKind::PushButton, QStringLiteral("Backup"), 348, 15, 38, 24, ui::kTabStop},
      {IDC_BTN_REMOVE, ControlKind::PushButton, QStringLiteral("Remove"), 312, 15, 37, 24, ui::kTabStop},
  };
  return d;
}

DialogTemplate LoadingPage() {
  DialogTemplate d;
  d.id = IDD_LOADING;
  d.cx = 204;
  d.cy = 50;
  d.fontPoints = 8;
  d.style = ui::kCentered;  // no caption
  return d;
}

// The server manager: one tab whose page is dialog 131.
DialogTemplate RemoteServerManager() {
  DialogTemplate d;
  d.id = IDD_REMOTE_SERVER;
  d.caption = QStringLiteral("Remote Server Manager");
  d.cx = 380;
  d.cy = 263;
  d.style = ui::kCaption | ui::kSysMenu;
  d.controls = {
      {ui::IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 264, 242, 50, 14, ui::kVisible | ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 323, 242, 50, 14, ui::kVisible | ui::kTabStop},
      {IDC_TAB_SERVER, ControlKind::TabControl, QString(), 7, 6, 366, 224, ui::kVisible | ui::kTabStop},
  };
  return d;
}

// The server page: a child without border, hidden until its manager shows it.
DialogTemplate ServerPage() {
  constexpr unsigned edit = ui::kVisible | ui::kBorder | ui::kTabStop;
  constexpr unsigned button = ui::kVisible | ui::kTabStop;
  DialogTemplate d;
  d.id = IDD_SERVER_PAGE;
  d.cx = 358;
  d.cy = 227;
  d.style = ui::kChild;
  d.controls = {
      {IDC_STATIC_SERVER, ControlKind::StaticText, QStringLiteral("Server"), 18, 28, 43, 10, ui::kVisible},
      {IDC_EDIT_SERVER, ControlKind::Edit, QString(), 88, 27, 86, 13, edit},
      {IDC_STATIC_IP, ControlKind::StaticText, QStringLiteral("IP Address"), 17, 52, 43, 10, ui::kVisible},
      {IDC_EDIT_IP, ControlKind::Edit, QString(), 87, 50, 86, 13, edit},
      {IDC_STATIC_PORT, ControlKind::StaticText, QStringLiteral("Port"), 17, 74, 38, 11, ui::kVisible},
      {IDC_EDIT_PORT, ControlKind::Edit, QString(), 88, 72, 85, 14, edit},
      {IDC_STATIC_USER, ControlKind::StaticText, QStringLiteral("User Name"), 17, 96, 48, 11, ui::kVisible},
      {IDC_EDIT_USER, ControlKind::Edit, QString(), 87, 95, 86, 13, edit},
      {IDC_STATIC_PASSWORD, ControlKind::StaticText, QStringLiteral("Password"), 16, 118, 36, 12, ui::kVisible},
      {IDC_EDIT_PASSWORD, ControlKind::Edit, QString(), 86, 116, 87, 12, edit | ui::kPassword},
      {IDC_CHECK_SAVE_PASSWORD, ControlKind::CheckBox, QStringLiteral("Save Password"), 85, 135, 61, 15, button},
      {IDC_BTN_TEST_CONNECTION, ControlKind::PushButton, QStringLiteral("Test Connection"), 85, 153, 88, 16, button},
      {IDC_BTN_ADD_SERVER, ControlKind::PushButton, QStringLiteral("Add"), 29, 184, 46, 18, button},
      {IDC_BTN_DELETE_SERVER, ControlKind::PushButton, QStringLiteral("Delete"), 82, 184, 43, 18, button},
      {IDC_BTN_EDIT_SERVER, ControlKind::PushButton, QStringLiteral("Edit"), 133, 184, 46, 17, button},
      {IDC_SERVER_LIST, ControlKind::ListBox, QString(), 201, 21, 143, 158,
       ui::kVisible | ui::kBorder | ui::kVScroll | ui::kNotify | ui::kTabStop},
  };
  return d;
}

MenuTemplate MainMenu() {
  MenuTemplate m;
  m.id = IDR_MENU_MAIN;
  m.popups = {
      PopupTemplate{QStringLiteral("Run"),
                    {{QStringLiteral("Add"), ID_RUN_ADD},
                     {QStringLiteral("Remove"), ID_RUN_REMOVE},
                     {QStringLiteral("Backup"), ID_RUN_BACKUP},
                     MenuItemTemplate::Separator(),
                     {QStringLiteral("Logout"), ID_RUN_LOGOUT},
                     {QStringLiteral("Exit"), ID_RUN_EXIT}}},
      PopupTemplate{QStringLiteral("Help"), {{QStringLiteral("About"), ID_HELP_ABOUT}}},
  };
  return m;
}

}  // namespace

const DialogTemplate& Dialog(int id) {
  static const std::map<int, DialogTemplate> dialogs = {
      {IDD_ABOUTBOX, AboutBox()}, {IDD_MAIN, MainWindow()}, {IDD_LOADING, LoadingPage()},
      {IDD_PROCESS, ProcessDialogTemplate()},
      // Server manager and its page.
      {IDD_REMOTE_SERVER, RemoteServerManager()}, {IDD_SERVER_PAGE, ServerPage()},
      // Backup settings.
      {IDD_BACKUP_SETTING, BackupSettingTemplate()},
      // The selection dialog.
      {IDD_SELECT, SelectDialogTemplate()},
  };
  static const DialogTemplate none;
  auto it = dialogs.find(id);
  return it == dialogs.end() ? none : it->second;
}

const MenuTemplate& Menu(int id) {
  static const std::map<int, MenuTemplate> menus = {{IDR_MENU_MAIN, MainMenu()}};
  static const MenuTemplate none;
  auto it = menus.find(id);
  return it == menus.end() ? none : it->second;
}

QString ImagePath(int id) {
  switch (id) {
    case IDR_MAINFRAME: return QStringLiteral(":/res/icons/app_32.png");
    case IDI_REMOTE_SERVER: return QStringLiteral(":/res/icons/remote_server.png");
    case IDI_ADD: return QStringLiteral(":/res/icons/add.png");
    case IDI_REMOVE: return QStringLiteral(":/res/icons/remove.png");
    case IDI_BACKUP: return QStringLiteral(":/res/icons/backup.png");
    case IDB_BACKGROUND: return QStringLiteral(":/res/bitmaps/background.png");
    case IDB_LOADING: return QStringLiteral(":/res/bitmaps/loading.png");
    case IDB_LEGEND_NORMAL: return QStringLiteral(":/res/bitmaps/legend_normal.png");
    case IDB_LEGEND_EVENT: return QStringLiteral(":/res/bitmaps/legend_event.png");
    case IDB_LEGEND_MOTION: return QStringLiteral(":/res/bitmaps/legend_motion.png");
    default: return QStringLiteral(":/res/missing/%1").arg(id);
  }
}


QIcon Icon(int id) {
  if (id == IDR_MAINFRAME) {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addFile(QStringLiteral(":/res/icons/app_%1.png").arg(size), QSize(size, size));
    return icon;
  }
  return platform::ui::LoadIcon(ImagePath(id));
}

}  // namespace res
