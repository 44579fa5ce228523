// Starts the program: the window system, the real message boxes, then the
// application object, whose InitInstance runs the main window to its end.
#include <QApplication>

#include "app/brisnel_app.h"
#include "platform/ui/message_boxes.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  platform::ui::InstallMessageBoxes();
  theApp.InitInstance();  // returns false: no message loop of its own follows
  return 0;
}
