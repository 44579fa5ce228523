// Menus, the toolbar, the list view and drawing of the window layer.
#include <QAction>
#include <QCursor>
#include <QImage>
#include <QTimer>
#include <QWindow>
#include <QMouseEvent>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/drawing.h"
#include "platform/ui/form_controls.h"
#include "platform/ui/menu.h"
#include "platform/ui/messages.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/toolbar.h"
#include "tests/ui/qt_test_app.h"

using namespace platform::ui;
using testing_ui::ClickRow;
using testing_ui::Pump;
using testing_ui::PumpUntil;

namespace {

MenuTemplate TwoItemMenu() {
  MenuTemplate m;
  m.id = 1;
  m.popups = {PopupTemplate{QStringLiteral("File"),
                            {{QStringLiteral("Open"), 10}, MenuItemTemplate::Separator(), {QStringLiteral("Quit"), 11}}}};
  return m;
}

// Runs a small modal dialog, calls `whileOpen` once it is shown and then
// closes it; the dialog hook in place before is in place again after.
void RunSmallDialog(const std::function<void(Dialog&)>& whileOpen) {
  DialogTemplate t;
  t.caption = QStringLiteral("Opened");
  t.cx = 60;
  t.cy = 30;
  Dialog dialog(t);
  DialogShownHook previous = SetDialogShownHook([&](Dialog& shown) {
    QTimer::singleShot(0, [&] {
      whileOpen(shown);
      shown.EndDialog(IDCANCEL);
    });
  });
  dialog.DoModal();
  SetDialogShownHook(previous);
}

// Swallows a window's enter and leave events while the flag is set.
class CrossingBlocker : public QObject {
 public:
  explicit CrossingBlocker(const bool& on) : on_(on) {}
  bool eventFilter(QObject*, QEvent* event) override {
    return on_ && (event->type() == QEvent::Enter || event->type() == QEvent::Leave);
  }

 private:
  const bool& on_;
};

// Records whether a tool button drew its hover frame the last time it painted
// while recording: what the screen shows of it until it paints again.
class PaintLog : public QObject {
 public:
  explicit PaintLog(const DropDownToolButton& button) : button_(button) {}
  void Start() {
    lastFrame_.reset();
    on_ = true;
  }
  bool HasPainted() const { return lastFrame_.has_value(); }
  // Whether the last paint since Start drew the frame; empty when it did not
  // paint. Recording stops.
  std::optional<bool> Stop() {
    on_ = false;
    return std::exchange(lastFrame_, std::nullopt);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (on_ && event->type() == QEvent::Paint) lastFrame_ = button_.ShowsHoverFrame();
    return false;
  }

 private:
  const DropDownToolButton& button_;
  bool on_ = false;
  std::optional<bool> lastFrame_;
};

}  // namespace

TEST(MenuBarTest, ItemsAreEnabledAndGrayedByCommandId) {
  QWidget window;
  std::vector<unsigned> sent;
  MenuBar menu(TwoItemMenu(), &window, [&](unsigned id) { sent.push_back(id); });
  EXPECT_TRUE(menu.HasItem(10));
  EXPECT_FALSE(menu.HasItem(12));
  EXPECT_EQ(menu.EnableMenuItem(10, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED), static_cast<int>(MF_ENABLED));
  EXPECT_FALSE(menu.IsItemEnabled(10));
  EXPECT_EQ(menu.EnableMenuItem(10, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED), static_cast<int>(MF_GRAYED));
  EXPECT_EQ(menu.EnableMenuItem(12, MF_GRAYED), -1);

  // A grayed item sends nothing; an enabled one sends its id once the menu has closed.
  menu.Item(10)->trigger();
  menu.Item(11)->trigger();
  EXPECT_TRUE(sent.empty());
  Pump(std::chrono::milliseconds(20));
  EXPECT_EQ(sent, std::vector<unsigned>{11});
  EXPECT_EQ(menu.EnableMenuItem(10, MF_ENABLED), static_cast<int>(MF_GRAYED));
  EXPECT_TRUE(menu.IsItemEnabled(10));
}

TEST(MenuBarTest, OutlivingItsWindowIsHarmless) {
  auto* window = new QWidget;
  MenuBar menu(TwoItemMenu(), window, [](unsigned) {});
  delete window;
  EXPECT_EQ(menu.Widget(), nullptr);
  EXPECT_EQ(menu.EnableMenuItem(10, MF_GRAYED), -1);
  EXPECT_FALSE(menu.IsItemEnabled(10));
}

TEST(ToolBarTest, ButtonsSendCommandsAndTheArrowReportsADropDown) {
  QWidget window;
  window.resize(400, 100);
  std::vector<unsigned> commands, dropDowns;
  ImageList images(32, 32);
  QPixmap red(32, 32);
  red.fill(Qt::red);
  images.Add(QIcon(red));
  images.Add(QIcon(red));
  ToolBar bar;
  ASSERT_TRUE(bar.Create(&window, AFX_IDW_TOOLBAR, [&](unsigned id) { commands.push_back(id); },
                         [&](unsigned id) { dropDowns.push_back(id); }));
  bar.SetButtons({1049, 1050});
  bar.SetButtonStyle(0, TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE);
  bar.SetImageList(&images);
  bar.SetSizes(QSize(40, 40), QSize(32, 32));
  bar.RepositionAtTop();
  window.show();
  EXPECT_EQ(bar.ButtonCount(), 2);
  EXPECT_EQ(bar.ButtonId(1), 1050u);
  EXPECT_EQ(bar.CommandToIndex(1050), 1);
  EXPECT_EQ(bar.Button(1050)->size(), QSize(40, 40));
  EXPECT_GT(bar.Button(1049)->width(), 40);  // room for the arrow
  EXPECT_EQ(bar.Widget()->geometry().top(), 0);
  EXPECT_EQ(bar.Widget()->width(), 400);

  bar.Button(1050)->click();
  Pump(std::chrono::milliseconds(20));
  EXPECT_EQ(commands, std::vector<unsigned>{1050});

  auto* first = static_cast<DropDownToolButton*>(bar.Button(1049));
  const QRect arrow = first->ArrowRect();
  ASSERT_TRUE(arrow.isValid());
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(arrow.center()), first->mapToGlobal(QPointF(arrow.center())),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(first, &press);
  Pump(std::chrono::milliseconds(20));
  EXPECT_EQ(dropDowns, std::vector<unsigned>{1049});
  EXPECT_EQ(commands.size(), 1u);  // the arrow is not the button

  bar.SetButtonState(1050, TBBS_DISABLED);
  EXPECT_EQ(bar.GetButtonState(1050), TBBS_DISABLED);
  bar.Button(1050)->click();
  Pump(std::chrono::milliseconds(20));
  EXPECT_EQ(commands.size(), 1u);
  bar.SetButtonState(1050, 0);
  EXPECT_EQ(bar.GetButtonState(1050), 0u);

  ToolTipCtrl tips;
  tips.Create(&window);
  tips.AddTool(bar, QStringLiteral("Add"), bar.ItemRect(1), 1050);
  tips.AddTool(bar, QStringLiteral("Add again"), bar.ItemRect(1), 1050);
  EXPECT_EQ(bar.ToolTip(1050), QStringLiteral("Add again"));
  EXPECT_EQ(bar.ToolTip(9999), QString());
  EXPECT_EQ(bar.GetButtonState(9999), 0u);
}

// A flat button shows its raised frame only while the pointer is over it: not
// after a dialog its command opened, or the pop-up of its arrow, has closed
// with the pointer elsewhere. Nothing else tells it the pointer has gone, so it
// must paint itself again once that window has closed, or the screen keeps the
// frame it drew before.
TEST(ToolBarTest, NoHoverFrameStaysAfterItsDialogOrPopUpCloses) {
  QWidget window;
  window.setGeometry(20, 20, 400, 100);
  ImageList images(32, 32);
  QPixmap red(32, 32);
  red.fill(Qt::red);
  images.Add(QIcon(red));
  const QPoint away(790, 590);  // outside every window
  auto movePointer = [](QPoint to) {
    QCursor::setPos(to);
    Pump(std::chrono::milliseconds(20));
  };
  PaintLog* paints = nullptr;  // made with the button, started as each window closes
  ToolBar bar;
  ASSERT_TRUE(bar.Create(
      &window, AFX_IDW_TOOLBAR,
      [&](unsigned) {
        RunSmallDialog([&](Dialog&) { movePointer(away); });
        paints->Start();
      },
      [&](unsigned) {
        PopupMenu menu;
        menu.AppendMenu(32777, QStringLiteral("NVR(127.0.0.1)"));
        QTimer::singleShot(0, [&] {
          ASSERT_TRUE(PumpUntil([] { return QApplication::activePopupWidget() != nullptr; }));
          movePointer(away);
          QApplication::activePopupWidget()->close();
        });
        TrackPopupMenu(menu, TPM_LEFTALIGN, QPoint(30, 70), &window, QRect());
        paints->Start();
      }));
  bar.SetButtons({1049});
  bar.SetButtonStyle(0, TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE);
  bar.SetImageList(&images);
  bar.SetSizes(QSize(40, 40), QSize(32, 32));
  bar.RepositionAtTop();
  window.show();
  ASSERT_TRUE(PumpUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
  auto* button = static_cast<DropDownToolButton*>(bar.Button(1049));
  ASSERT_NE(button, nullptr);
  PaintLog log(*button);
  paints = &log;
  button->installEventFilter(&log);
  const QPoint onButton = button->mapToGlobal(QPoint(8, button->height() / 2));
  const QPoint onArrow = button->mapToGlobal(button->ArrowRect().center());

  movePointer(away);
  const QImage resting = button->grab().toImage();
  // While a pop-up holds the pointer (or a dialog blocks the window), an X
  // server tells the window nothing of the pointer leaving it; the window sees
  // no crossing events until the pointer passes over it again.
  bool grabbed = false;
  CrossingBlocker blocker(grabbed);
  window.windowHandle()->installEventFilter(&blocker);
  struct Way {
    const char* name;
    QPoint hover;  // where the pointer rests when the operator opens it
    std::function<void()> open;
  };
  const Way ways[] = {
      {"its command's dialog", onButton, [&] { button->click(); }},
      {"its arrow's pop-up", onArrow,
       [&] {
         QMouseEvent press(QEvent::MouseButtonPress, QPointF(button->mapFromGlobal(onArrow)), QPointF(onArrow),
                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
         QApplication::sendEvent(button, &press);
       }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    movePointer(way.hover);
    ASSERT_TRUE(PumpUntil([&] { return button->underMouse(); }));
    EXPECT_TRUE(button->ShowsHoverFrame());
    ASSERT_NE(button->grab().toImage(), resting) << "the style draws no hover frame to look for";
    grabbed = true;
    way.open();
    // A loaded machine may take a while to close the window and paint.
    PumpUntil([&] { return log.HasPainted(); });
    Pump(std::chrono::milliseconds(50));
    grabbed = false;
    const std::optional<bool> paintedSinceClosed = log.Stop();
    EXPECT_EQ(QCursor::pos(), away);
    EXPECT_FALSE(button->ShowsHoverFrame());
    EXPECT_EQ(paintedSinceClosed, std::optional<bool>(false)) << "painted again without the frame once it closed";
    EXPECT_EQ(button->grab().toImage(), resting);
  }
  // Back over the button, the frame shows again.
  movePointer(onButton);
  EXPECT_TRUE(button->ShowsHoverFrame());
  EXPECT_NE(button->grab().toImage(), resting);
}

// The frame shows while the pointer rests on the button and the button's own
// window takes the input, also when that window is the running modal dialog,
// as the program's main window is. While another dialog runs or a pop-up is
// open, a click would not reach the button, so it shows none, though the
// pointer rests on it and its window is told nothing of the other.
TEST(ToolBarTest, TheHoverFrameShowsOnlyWhileItsWindowTakesTheInput) {
  DialogTemplate hostTemplate;
  hostTemplate.caption = QStringLiteral("Host");
  hostTemplate.cx = 200;
  hostTemplate.cy = 80;
  Dialog host(hostTemplate);
  ImageList images(32, 32);
  QPixmap red(32, 32);
  red.fill(Qt::red);
  images.Add(QIcon(red));
  ToolBar bar;
  bool grabbed = false;
  CrossingBlocker blocker(grabbed);
  auto movePointer = [](QPoint to) {
    QCursor::setPos(to);
    Pump(std::chrono::milliseconds(20));
  };
  std::size_t checked = 0;

  struct Seen {
    bool underMouse = false;
    bool pointerOver = false;
    bool frame = false;
  };
  // Opens what the case names, calls `check` while it is open, and closes it.
  using Opener = std::function<void(const std::function<void()>& check)>;
  struct Case {
    const char* name;
    Opener open;
    bool frame;
  };
  const Case cases[] = {
      {"nothing else open", [](const std::function<void()>& check) { check(); }, true},
      {"another modal dialog runs",
       [](const std::function<void()>& check) {
         RunSmallDialog([&](Dialog& other) {
           if (PumpUntil([&] { return QApplication::activeModalWidget() == other.Window(); })) check();
         });
       },
       false},
      {"a pop-up menu is open",
       [&](const std::function<void()>& check) {
         PopupMenu menu;
         menu.AppendMenu(32777, QStringLiteral("NVR(127.0.0.1)"));
         QWidget* button = bar.Button(1049);
         QTimer::singleShot(0, [&] {
           if (PumpUntil([] { return QApplication::activePopupWidget() != nullptr; })) check();
           if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
         });
         TrackPopupMenu(menu, TPM_LEFTALIGN, button->mapToGlobal(QPoint(0, button->height())), host.Window(),
                        QRect());
       },
       false},
  };

  DialogShownHook previous = SetDialogShownHook([&](Dialog& shown) {
    if (&shown != &host) return;
    if (!bar.Create(host.Client(), AFX_IDW_TOOLBAR, [](unsigned) {}, [](unsigned) {})) {
      ADD_FAILURE() << "no toolbar";
      host.EndDialog(IDCANCEL);
      return;
    }
    bar.SetButtons({1049});
    bar.SetButtonStyle(0, TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE);
    bar.SetImageList(&images);
    bar.SetSizes(QSize(40, 40), QSize(32, 32));
    bar.RepositionAtTop();
    QTimer::singleShot(0, [&] {
      auto* button = static_cast<DropDownToolButton*>(bar.Button(1049));
      QWindow* handle = host.Window()->windowHandle();
      if (button != nullptr && PumpUntil([&] { return handle != nullptr && handle->isExposed(); })) {
        handle->installEventFilter(&blocker);
        const QPoint away(790, 590);  // outside every window
        const QPoint onButton = button->mapToGlobal(QPoint(8, button->height() / 2));
        for (const Case& c : cases) {
          SCOPED_TRACE(c.name);
          movePointer(away);
          movePointer(onButton);
          EXPECT_TRUE(PumpUntil([&] { return button->underMouse(); }));
          std::optional<Seen> seen;
          grabbed = true;
          c.open([&] {
            seen = Seen{button->underMouse(), button->rect().contains(button->mapFromGlobal(QCursor::pos())),
                        button->ShowsHoverFrame()};
          });
          grabbed = false;
          if (!seen) {
            ADD_FAILURE() << "it did not open";
            continue;
          }
          ++checked;
          // The pointer rests on the button, and the button still counts it as there...
          EXPECT_TRUE(seen->underMouse);
          EXPECT_TRUE(seen->pointerOver);
          // ...so only who takes the input decides.
          EXPECT_EQ(seen->frame, c.frame);
        }
        movePointer(away);
      }
      host.EndDialog(IDOK);
    });
  });
  host.DoModal();
  SetDialogShownHook(previous);
  EXPECT_EQ(checked, std::size(cases));
}

TEST(ListViewTest, ReportColumnsRowsAndQuietChanges) {
  QWidget window;
  ListView list(&window, 1000);
  int notes = 0;
  list.SetNotifySink([&](int id, unsigned code) {
    EXPECT_EQ(id, 1000);
    EXPECT_EQ(code, LVN_ITEMCHANGED);
    ++notes;
  });
  list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  EXPECT_TRUE(list.showGrid());
  EXPECT_EQ(list.InsertColumn(0, QStringLiteral("Name"), LVCFMT_LEFT, 150), 0);
  EXPECT_EQ(list.InsertColumn(1, QStringLiteral("Size"), LVCFMT_RIGHT, 100), 1);
  EXPECT_EQ(list.columnWidth(1), 100);
  EXPECT_EQ(list.horizontalHeaderItem(1)->text(), QStringLiteral("Size"));
  EXPECT_TRUE(list.horizontalHeaderItem(1)->textAlignment() & Qt::AlignRight);

  EXPECT_EQ(list.InsertItem(0, QStringLiteral("b")), 0);
  EXPECT_EQ(list.InsertItem(0, QStringLiteral("a")), 0);
  EXPECT_EQ(list.InsertItem(99, QStringLiteral("c")), 2);  // past the end: appended
  EXPECT_TRUE(list.SetItemText(2, 1, QStringLiteral("3 MB")));
  EXPECT_FALSE(list.SetItemText(5, 1, QStringLiteral("x")));
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(0, 0), QStringLiteral("a"));
  EXPECT_EQ(list.GetItemText(2, 1), QStringLiteral("3 MB"));
  EXPECT_TRUE(list.item(2, 1)->textAlignment() & Qt::AlignRight);
  EXPECT_EQ(list.GetItemText(7, 0), QString());

  list.selectRow(1);  // as the operator's click
  EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(list.GetItemState(0, LVIS_SELECTED), 0u);
  const int byUser = notes;
  EXPECT_GT(byUser, 0);
  EXPECT_TRUE(list.DeleteItem(1));
  EXPECT_FALSE(list.DeleteItem(5));
  EXPECT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(notes, byUser);  // the program's own changes send nothing
}

namespace {

// The names of rows 0 to rows - 1, less the one at `without`, in one line.
std::string RowNames(int rows, int without = -1) {
  QStringList names;
  for (int r = 0; r < rows; ++r)
    if (r != without) names << QStringLiteral("r%1").arg(r);
  return names.join(QLatin1Char(' ')).toStdString();
}

// A shown two-column list view of rows "r0", "r1", ... that counts its
// notifications.
struct ShownListView {
  ShownListView(int rows, bool fullRow) : list(&window, 1000) {
    list.SetNotifySink([this](int, unsigned) { ++notes; });
    if (fullRow) list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    list.InsertColumn(0, QStringLiteral("Name"), LVCFMT_LEFT, 100);
    list.InsertColumn(1, QStringLiteral("Size"), LVCFMT_RIGHT, 80);
    for (int r = 0; r < rows; ++r) {
      list.InsertItem(r, QStringLiteral("r%1").arg(r));
      list.SetItemText(r, 1, QStringLiteral("%1 MB").arg(r));
    }
    window.resize(300, 200);
    list.setGeometry(0, 0, 300, 200);
    window.show();
  }
  std::string Rows() const {
    QStringList texts;
    for (int r = 0; r < list.GetItemCount(); ++r) texts << list.GetItemText(r, 0);
    return texts.join(QLatin1Char(' ')).toStdString();
  }
  std::vector<int> Selected() const {
    std::vector<int> rows;
    for (int r = 0; r < list.GetItemCount(); ++r)
      if (list.GetItemState(r, LVIS_SELECTED) == LVIS_SELECTED) rows.push_back(r);
    return rows;
  }
  QWidget window;
  ListView list;
  int notes = 0;
};

}  // namespace

// Deleting a row selects no other row and says nothing: the rows after it
// move up with their own states.
TEST(ListViewTest, DeletingRowsLeavesTheOtherRowsSelectionAsItWas) {
  for (const bool fullRow : {true, false}) {
    for (int rows = 1; rows <= 4; ++rows) {
      for (int selected = 0; selected < rows; ++selected) {
        SCOPED_TRACE(testing::Message() << "full row " << fullRow << ", " << rows << " rows, row " << selected
                                        << " clicked");
        {
          ShownListView v(rows, fullRow);
          ClickRow(v.list, selected);
          ASSERT_EQ(v.Selected(), std::vector<int>{selected});
          const int notes = v.notes;
          EXPECT_GT(notes, 0);  // the click itself does notify
          ASSERT_TRUE(v.list.DeleteItem(selected));
          EXPECT_EQ(v.Rows(), RowNames(rows, selected));
          EXPECT_EQ(v.Selected(), std::vector<int>{});
          EXPECT_EQ(v.notes, notes);
        }
        for (int deleted = 0; deleted < rows; ++deleted) {
          if (deleted == selected) continue;
          SCOPED_TRACE(testing::Message() << "row " << deleted << " deleted");
          ShownListView v(rows, fullRow);
          ClickRow(v.list, selected);
          const int notes = v.notes;
          ASSERT_TRUE(v.list.DeleteItem(deleted));
          EXPECT_EQ(v.Rows(), RowNames(rows, deleted));
          EXPECT_EQ(v.Selected(), std::vector<int>{deleted < selected ? selected - 1 : selected});
          EXPECT_EQ(v.notes, notes);
        }
        {
          // A row the operator clicked and then deselected (Ctrl and a click)
          // still has the focus: deleting it selects nothing either.
          ShownListView v(rows, fullRow);
          ClickRow(v.list, selected);
          ClickRow(v.list, selected, Qt::ControlModifier);
          ASSERT_EQ(v.Selected(), std::vector<int>{});
          const int notes = v.notes;
          ASSERT_TRUE(v.list.DeleteItem(selected));
          EXPECT_EQ(v.Selected(), std::vector<int>{});
          EXPECT_EQ(v.notes, notes);
        }
        {
          // Walking backwards and deleting every selected row takes that row alone.
          ShownListView v(rows, fullRow);
          ClickRow(v.list, selected);
          for (int r = v.list.GetItemCount() - 1; r >= 0; --r)
            if (v.list.GetItemState(r, LVIS_SELECTED) & LVIS_SELECTED) v.list.DeleteItem(r);
          EXPECT_EQ(v.Rows(), RowNames(rows, selected));
          EXPECT_EQ(v.Selected(), std::vector<int>{});
          const int notes = v.notes;
          EXPECT_TRUE(v.list.DeleteAllItems());
          EXPECT_EQ(v.list.GetItemCount(), 0);
          EXPECT_EQ(v.notes, notes);
        }
      }
    }
  }
}

namespace {

// A shown list box of lines "r0", "r1", ... that counts its notifications.
struct ShownListBox {
  explicit ShownListBox(int lines)
      : list(&window, 1000, true, [this](int, unsigned code) {
          if (code == LBN_SELCHANGE) ++changes;
        }) {
    for (int r = 0; r < lines; ++r) list.AddString(QStringLiteral("r%1").arg(r));
    window.resize(200, 200);
    list.setGeometry(0, 0, 200, 200);
    window.show();
  }
  std::string Lines() const {
    QStringList texts;
    for (int r = 0; r < list.GetCount(); ++r) texts << list.GetText(r);
    return texts.join(QLatin1Char(' ')).toStdString();
  }
  QWidget window;
  ListBox list;
  int changes = 0;
};

}  // namespace

// A deleted line takes the selection with it when it was the selected one;
// otherwise the selected line stays selected where it moved to. No
// notification either way.
TEST(ListBoxTest, DeletingALineKeepsTheSelectionOfAnother) {
  for (int lines = 1; lines <= 4; ++lines) {
    for (int selected = 0; selected < lines; ++selected) {
      for (int deleted = 0; deleted < lines; ++deleted) {
        SCOPED_TRACE(testing::Message() << lines << " lines, line " << selected << " clicked, line " << deleted
                                        << " deleted");
        ShownListBox b(lines);
        ClickRow(b.list, selected);
        ASSERT_EQ(b.list.GetCurSel(), selected);
        const int changes = b.changes;
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(b.list.DeleteString(deleted), lines - 1);
        EXPECT_EQ(b.Lines(), RowNames(lines, deleted));
        const int expected = deleted == selected ? LB_ERR : deleted < selected ? selected - 1 : selected;
        EXPECT_EQ(b.list.GetCurSel(), expected);
        EXPECT_EQ(b.list.selectedItems().size(), expected == LB_ERR ? 0 : 1);
        EXPECT_EQ(b.changes, changes);
      }
      {
        SCOPED_TRACE(testing::Message() << lines << " lines, line " << selected << " clicked, then deselected");
        ShownListBox b(lines);
        ClickRow(b.list, selected);
        ClickRow(b.list, selected, Qt::ControlModifier);
        ASSERT_EQ(b.list.GetCurSel(), LB_ERR);
        const int changes = b.changes;
        b.list.DeleteString(selected);
        EXPECT_EQ(b.list.GetCurSel(), LB_ERR);
        EXPECT_EQ(b.changes, changes);
      }
      {
        SCOPED_TRACE(testing::Message() << lines << " lines, line " << selected << " clicked, all walked");
        ShownListBox b(lines);
        ClickRow(b.list, selected);
        for (int r = b.list.GetCount() - 1; r >= 0; --r)
          if (b.list.GetCurSel() == r) b.list.DeleteString(r);
        EXPECT_EQ(b.Lines(), RowNames(lines, selected));
        EXPECT_EQ(b.list.GetCurSel(), LB_ERR);
      }
    }
  }
}

TEST(Drawing, AMissingBitmapDrawsNothing) {
  Bitmap missing;
  EXPECT_FALSE(missing.Load(QStringLiteral("/nonexistent/picture.bmp")));
  EXPECT_TRUE(missing.IsNull());
  EXPECT_EQ(missing.Width(), 0);

  QImage target(20, 20, QImage::Format_RGB32);
  target.fill(Qt::green);
  const QImage before = target;
  {
    QPainter painter(&target);
    PaintDC dc(painter);
    MemoryDC memory;
    EXPECT_EQ(memory.SelectObject(&missing), nullptr);
    dc.BitBlt(0, 0, 20, 20, memory, 0, 0);
    dc.DrawIcon(0, 0, QIcon(), 32);
  }
  EXPECT_EQ(target, before);

  // A bitmap larger than the target is copied in its own size and clipped.
  QPixmap blue(40, 30);
  blue.fill(Qt::blue);
  Bitmap big;
  big.Attach(blue);
  {
    QPainter painter(&target);
    PaintDC dc(painter);
    MemoryDC memory;
    const Bitmap* previous = memory.SelectObject(&big);
    dc.BitBlt(0, 0, big.Width(), big.Height(), memory, 0, 0);
    EXPECT_EQ(memory.SelectObject(previous), &big);
  }
  EXPECT_EQ(target.pixelColor(19, 19), QColor(Qt::blue));
}

TEST(Drawing, FontsAreChosenByCellHeight) {
  const QFont font = FontForCellHeight(QStringLiteral("Liberation Sans"), 16);
  EXPECT_LE(QFontMetrics(font).height(), 16);
  EXPECT_GE(QFontMetrics(font).height(), 14);
}
