// Which pictures the image button paints for each owner-draw request.
#include <gtest/gtest.h>

#include "platform/ui/owner_draw.h"
#include "selection/image_button_look.h"

using namespace selection;
using namespace platform::ui;

namespace {

std::string Describe(const std::vector<ButtonStep>& steps) {
  std::string s;
  for (const ButtonStep& step : steps) {
    const char* names[] = {"disabled", "normal", "pressed", "hover"};
    s += names[static_cast<int>(step.image)];
    s += step.stretched ? "* " : " ";
  }
  return s;
}

}  // namespace

TEST(ImageButtonLook, StepsForEachRequest) {
  const LoadedImages all{true, true, true, true};
  const LoadedImages noNormal{true, false, true, true};
  struct Case {
    const char* what;
    unsigned action, state;
    bool hover;
    LoadedImages loaded;
    const char* steps;
  };
  const Case cases[] = {
      {"normal look", ODA_DRAWENTIRE, 0, false, all, "normal* "},
      {"pointed at", ODA_DRAWENTIRE, 0, true, all, "normal* hover "},
      {"pressed, full redraw", ODA_DRAWENTIRE, ODS_SELECTED, true, all, "normal* hover pressed "},
      {"disabled", ODA_DRAWENTIRE, ODS_DISABLED, false, all, "normal* disabled "},
      {"press as a selection change", ODA_SELECT, ODS_SELECTED, false, all, "pressed "},
      {"release as a selection change", ODA_SELECT, 0, false, all, ""},
      {"focus change", ODA_FOCUS, ODS_FOCUS, false, all, ""},
      {"normal missing", ODA_DRAWENTIRE, 0, false, noNormal, ""},
      {"normal missing, hover and press still drawn", ODA_DRAWENTIRE, ODS_SELECTED, true, noNormal, "hover pressed "},
      {"nothing loaded", ODA_DRAWENTIRE, ODS_SELECTED | ODS_DISABLED, true, LoadedImages{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(ButtonDrawSteps(c.action, c.state, c.hover, c.loaded)), c.steps) << c.what;
}
