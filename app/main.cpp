// Stand-in entry point until the main window exists.
#include <cstdio>

int main() {
  std::puts("Tarnwell: the main window is not built yet.");
  return 0;
}
