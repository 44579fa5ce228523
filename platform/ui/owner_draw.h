#pragma once
// What an owner-drawn control is asked to draw: the action, the control's
// state and where, with the values the program's drawing code was written against.
#include <QRect>

class QPainter;

namespace platform::ui {

// Actions.
inline constexpr unsigned ODA_DRAWENTIRE = 0x0001;
inline constexpr unsigned ODA_SELECT = 0x0002;
inline constexpr unsigned ODA_FOCUS = 0x0004;
// States.
inline constexpr unsigned ODS_SELECTED = 0x0001;
inline constexpr unsigned ODS_DISABLED = 0x0004;
inline constexpr unsigned ODS_FOCUS = 0x0010;

struct DrawItemStruct {
  unsigned itemAction = ODA_DRAWENTIRE;
  unsigned itemState = 0;
  QPainter* dc = nullptr;
  QRect rcItem;
};

}  // namespace platform::ui
