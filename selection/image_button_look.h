#pragma once
// Which of the image button's four pictures an owner-draw request paints, in
// order, each over the ones before: the normal look stretched over the whole
// button on a full redraw, then at their own size the pointed-at look while
// the pointer is over it, the disabled look while disabled and the pressed
// look while pressed. A picture that did not load is left out.
#include <vector>

namespace selection {

enum class ButtonImage { Disabled, Normal, Pressed, Hover };

struct ButtonStep {
  ButtonImage image;
  bool stretched;  // over the whole button; else at (0, 0) in its own size
};

struct LoadedImages {
  bool disabled = false, normal = false, pressed = false, hover = false;
};

// action and state are the owner-draw record's (ODA_*, ODS_*).
std::vector<ButtonStep> ButtonDrawSteps(unsigned action, unsigned state, bool hover, const LoadedImages& loaded);

}  // namespace selection
