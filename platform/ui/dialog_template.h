#pragma once
// Dialog templates as tables: a caption, a size and a font, and the controls
// placed in dialog units of that font.
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QWidget;

namespace platform::ui {

enum class ControlKind {
  PushButton,
  DefPushButton,
  StaticText,
  StaticIcon,  // text holds the icon's resource path
  ListView,
  // Form controls (form_controls.h).
  Edit,
  CheckBox,  // an automatic check box
  ListBox,
  TabControl,
  // Option buttons and their frame (form_controls.h).
  RadioButton,  // an automatic radio button; the radio buttons of one dialog exclude each other
  GroupBox,     // a frame with a caption, drawn behind the controls that follow it
};

// Styles of the controls, as far as the program's templates use them.
enum ControlStyle : unsigned {
  kVisible = 0x1,
  kTabStop = 0x2,
  kBorder = 0x4,
  kReport = 0x8,
  kSingleSel = 0x10,
  kNoPrefix = 0x20,
  kGroup = 0x40,
  // Form controls.
  kPassword = 0x80,  // edit: characters masked
  kVScroll = 0x100,  // list box: vertical scroll bar
  kNotify = 0x200,   // list box: tells its parent of selection and focus changes
};

struct ControlTemplate {
  int id = -1;
  ControlKind kind = ControlKind::StaticText;
  QString text;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  unsigned style = kVisible;
};

// Styles of the dialog window itself.
enum DialogStyle : unsigned {
  kCaption = 0x1,
  kSysMenu = 0x2,
  kMinMaxBox = 0x4,
  kAppWindow = 0x8,   // its own taskbar entry: a top-level window, not a dialog
  kCentered = 0x10,   // centred on the screen (or on the owner)
  kChild = 0x20,      // a child window without border, hidden until shown (Dialog::Create)
};

struct DialogTemplate {
  int id = 0;
  QString caption;
  int cx = 0, cy = 0;  // dialog units
  QString fontFace = QStringLiteral("MS Shell Dlg");
  int fontPoints = 8;
  unsigned style = kCaption | kSysMenu;
  std::vector<ControlTemplate> controls;
  // Controls of classes the kinds above do not cover, by control id: made by
  // the function as a child of the client area (the row's kind is ignored).
  std::map<int, std::function<QWidget*(QWidget* parent)>> makers;
};

// The font a template names, mapped to a font this system has: Windows'
// dialog faces become Liberation Sans, which has the same metrics as Arial.
QFont TemplateFont(const QString& face, int points);

// Dialog-unit conversion from the font's measured base units.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}
  int BaseX() const { return baseX_; }
  int BaseY() const { return baseY_; }
  int ToPixelsX(int du) const;
  int ToPixelsY(int du) const;
  QRect ToPixels(int x, int y, int cx, int cy) const;

 private:
  int baseX_;
  int baseY_;
};

}  // namespace platform::ui
