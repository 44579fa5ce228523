#pragma once
// A toolbar of image buttons that send command ids, with an image list,
// drop-down buttons and tool tips. Like a menu bar it may outlive its window.
#include <QIcon>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <vector>

namespace platform::ui {

// The images' size is the toolbar's (SetSizes); the list holds only the images.
class ImageList {
 public:
  ImageList() = default;
  ImageList(int /*cx*/, int /*cy*/) {}
  void Create(int /*cx*/, int /*cy*/) { images_.clear(); }
  int Add(const QIcon& icon);  // index of the new image
  int Count() const { return static_cast<int>(images_.size()); }
  QIcon Image(int index) const;

 private:
  std::vector<QIcon> images_;
};

// Button states and styles, by the names the program uses.
inline constexpr unsigned TBBS_PRESSED = 0x0002;
inline constexpr unsigned TBBS_DISABLED = 0x0004;
inline constexpr unsigned TBSTYLE_DROPDOWN = 0x0008;
inline constexpr unsigned TBSTYLE_AUTOSIZE = 0x0010;

// A flat tool button whose arrow part reports a drop-down instead of opening a
// menu. Its raised frame follows the pointer itself: Qt keeps a button "under
// the mouse" when the pointer left it while a dialog or pop-up it opened ran.
class DropDownToolButton : public QToolButton {
 public:
  explicit DropDownToolButton(QWidget* parent, std::function<void()> onDropDown);
  QRect ArrowRect();
  // True when the pointer is over the button and no other window holds the input.
  bool ShowsHoverFrame() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<void()> onDropDown_;
};

class ToolBar {
 public:
  using CommandSink = std::function<void(unsigned id)>;
  using DropDownSink = std::function<void(unsigned id)>;

  ToolBar() = default;
  ToolBar(const ToolBar&) = delete;
  ToolBar& operator=(const ToolBar&) = delete;

  // A flat toolbar along the top of the parent's client area.
  bool Create(QWidget* parent, int windowId, CommandSink commands, DropDownSink dropDowns);
  void SetButtons(const std::vector<unsigned>& ids);
  void SetImageList(const ImageList* images);
  void SetSizes(QSize button, QSize image);
  void SetButtonStyle(int index, unsigned style);
  unsigned GetButtonState(unsigned id) const;
  void SetButtonState(unsigned id, unsigned state);
  void SetToolTip(unsigned id, const QString& text);
  QString ToolTip(unsigned id) const;
  // Places the bar along the top of its parent, as wide as the parent.
  void RepositionAtTop();
  void Invalidate();

  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  unsigned ButtonId(int index) const;
  int CommandToIndex(unsigned id) const;
  QRect ItemRect(int index) const;  // in the toolbar's coordinates
  QToolBar* Widget() const { return bar_; }
  QToolButton* Button(unsigned id) const;

 private:
  struct Entry {
    unsigned id;
    QPointer<QToolButton> widget;
    QPointer<QAction> action;
  };
  void ApplyImages();

  QPointer<QToolBar> bar_;
  CommandSink commands_;
  DropDownSink dropDowns_;
  const ImageList* images_ = nullptr;
  QSize buttonSize_{40, 40};
  QSize imageSize_{32, 32};
  std::vector<Entry> buttons_;
};

// Tool tips of a toolbar's buttons, registered by command id.
class ToolTipCtrl {
 public:
  bool Create(QWidget* parent);
  // Qt shows a button's tip by itself, so there is nothing to switch on.
  void Activate(bool) {}
  void AddTool(ToolBar& toolbar, const QString& text, const QRect& rect, unsigned id);
};

}  // namespace platform::ui
