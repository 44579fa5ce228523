#include <gtest/gtest.h>
#include "sim_recorder.h"
TEST(SimRecorder, Builds) { sim::SimRecorder r; SUCCEED(); }
