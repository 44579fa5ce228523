#include "sim_recorder.h"
int main() { return 1; }
