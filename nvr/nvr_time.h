#pragma once
// A point in time as the recorder link passes it: nine integers in broken-down
// order, the month counted from 1 and the full year; the last three are unused.
namespace nvr {

struct NvrTime {
  int second = 0;
  int minute = 0;
  int hour = 0;
  int day = 0;
  int month = 0;
  int year = 0;
  int weekday = 0;
  int yearDay = 0;
  int daylight = 0;
};

}  // namespace nvr
