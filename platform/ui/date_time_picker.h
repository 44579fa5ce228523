#pragma once
// A date and time picker: it always holds a full date and time, shows it in
// its format and changes it with up and down arrows. Only the user's changes
// are reported (DTN_DATETIMECHANGE); the program's own settings are silent.
#include <QDateTime>
#include <QDateTimeEdit>
#include <functional>

namespace platform::ui {

inline constexpr unsigned DTN_DATETIMECHANGE = static_cast<unsigned>(-759);

class DateTimePicker : public QDateTimeEdit {
 public:
  // `format` in the picker's own letters ("yyyy/MM/dd", "HH:mm").
  DateTimePicker(QWidget* parent, int id, const QString& format);
  int Id() const { return id_; }
  void SetNotifySink(std::function<void(int id, unsigned code)> sink) { notify_ = std::move(sink); }

  // False, with the value unchanged, for a date or time that does not exist
  // (hour 24, say).
  bool SetTime(int year, int month, int day, int hour, int minute, int second);
  bool SetTime(const QDateTime& value);
  QDateTime GetTime() const { return dateTime(); }

 private:
  int id_;
  std::function<void(int, unsigned)> notify_;
};

}  // namespace platform::ui
