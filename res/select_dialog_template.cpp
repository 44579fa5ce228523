#include "res/select_dialog_template.h"

#include <QLabel>
#include <QPixmap>

#include "platform/ui/messages.h"
#include "platform/ui/track_bar.h"
#include "res/resource_tables.h"

namespace res {
namespace {

namespace ui = platform::ui;
using ui::ControlKind;
using ui::ControlTemplate;

// A static that shows a bitmap at its own size from its top-left corner.
ControlTemplate BitmapStatic(ui::DialogTemplate& d, int id, int bitmap, int x, int y, int cx, int cy) {
  d.makers[id] = [bitmap](QWidget* parent) -> QWidget* {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QPixmap picture(ImagePath(bitmap));
    if (!picture.isNull()) {
      label->setPixmap(picture);
      label->setFixedSize(picture.size());
    }
    return label;
  };
  return {id, ControlKind::StaticText, QString(), x, y, cx, cy, ui::kVisible};
}

ControlTemplate ZoomSlider(ui::DialogTemplate& d, int id, int x, int y, int cx, int cy) {
  d.makers[id] = [id](QWidget* parent) -> QWidget* { return new ui::TrackBar(parent, id); };
  return {id, ControlKind::StaticText, QString(), x, y, cx, cy, ui::kVisible | ui::kTabStop};
}

}  // namespace

ui::DialogTemplate SelectDialogTemplate() {
  ui::DialogTemplate d;
  d.id = IDD_SELECT;
  d.caption = QStringLiteral("Open History");
  d.cx = 544;
  d.cy = 376;
  d.fontFace = QStringLiteral("MS Shell Dlg");
  d.fontPoints = 8;
  // Placed by the dialog itself once it knows the screen.
  d.style = ui::kCaption | ui::kSysMenu;
  d.controls = {
      {ui::IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 415, 354, 50, 15, ui::kVisible | ui::kTabStop},
      {ui::IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 476, 354, 50, 15,
       ui::kVisible | ui::kTabStop},
      {IDC_SELECT_ZOOM_OUT, ControlKind::PushButton, QStringLiteral("Button2"), 16, 221, 15, 12,
       ui::kVisible | ui::kTabStop},
      {IDC_SELECT_ZOOM_IN, ControlKind::PushButton, QStringLiteral("Button3"), 53, 219, 15, 12,
       ui::kVisible | ui::kTabStop},
      ZoomSlider(d, IDC_SELECT_ZOOM_SLIDER, 15, 196, 69, 12),
      BitmapStatic(d, IDC_SELECT_LEGEND_NORMAL, IDB_LEGEND_NORMAL, 177, 205, 9, 7),
      BitmapStatic(d, IDC_SELECT_LEGEND_EVENT, IDB_LEGEND_EVENT, 261, 207, 9, 7),
      BitmapStatic(d, IDC_SELECT_LEGEND_MOTION, IDB_LEGEND_MOTION, 340, 206, 9, 7),
  };
  return d;
}

}  // namespace res
