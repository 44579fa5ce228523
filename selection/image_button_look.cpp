#include "selection/image_button_look.h"

#include "platform/ui/owner_draw.h"

namespace selection {

std::vector<ButtonStep> ButtonDrawSteps(unsigned action, unsigned state, bool hover, const LoadedImages& loaded) {
  using namespace platform::ui;
  std::vector<ButtonStep> steps;
  if ((action & ODA_DRAWENTIRE) && loaded.normal) steps.push_back({ButtonImage::Normal, true});
  if (hover && loaded.hover) steps.push_back({ButtonImage::Hover, false});
  if ((state & ODS_DISABLED) && loaded.disabled) steps.push_back({ButtonImage::Disabled, false});
  if ((state & ODS_SELECTED) && loaded.pressed) steps.push_back({ButtonImage::Pressed, false});
  return steps;
}

}  // namespace selection
