#include "platform/ui/date_time_picker.h"

#include <QSignalBlocker>

namespace platform::ui {

DateTimePicker::DateTimePicker(QWidget* parent, int id, const QString& format) : QDateTimeEdit(parent), id_(id) {
  // The widest range the picker's value type covers, so no date is clamped.
  setDateTimeRange(QDateTime(QDate(1601, 1, 1), QTime(0, 0)), QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
  setDisplayFormat(format);
  setCalendarPopup(false);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setTimeSpec(Qt::LocalTime);
  setDateTime(QDateTime::currentDateTime());
  connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
    if (notify_) notify_(id_, DTN_DATETIMECHANGE);
  });
}

bool DateTimePicker::SetTime(int year, int month, int day, int hour, int minute, int second) {
  const QDate date(year, month, day);
  const QTime time(hour, minute, second);
  if (!date.isValid() || !time.isValid()) return false;
  return SetTime(QDateTime(date, time));
}

bool DateTimePicker::SetTime(const QDateTime& value) {
  if (!value.isValid()) return false;
  const QSignalBlocker quiet(this);
  setDateTime(value);
  return true;
}

}  // namespace platform::ui
