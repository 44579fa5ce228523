#pragma once
// The program's resource tables: dialog templates, menus, and the paths of
// the compiled-in icons and bitmaps, by resource id.
#include <QIcon>
#include <QString>

#include "platform/ui/dialog_template.h"
#include "platform/ui/menu.h"
#include "res/resource.h"

namespace res {

// An empty template (id 0) when there is none with that id.
const platform::ui::DialogTemplate& Dialog(int id);
// An empty menu (id 0) when there is none with that id.
const platform::ui::MenuTemplate& Menu(int id);
// The compiled-in path of an icon or bitmap; a path that does not exist when
// there is no such resource, so loading it yields an empty picture.
QString ImagePath(int id);
// An icon with every size its resource holds; empty when there is none.
QIcon Icon(int id);

}  // namespace res
