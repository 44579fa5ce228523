#pragma once
// The one QApplication of a window test program, and helpers to run the event
// loop for a while.
#include <QAbstractItemView>
#include <QApplication>
#include <chrono>
#include <functional>

namespace testing_ui {

QApplication& App();
// Processes events until the predicate holds or the time is up; returns the predicate.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5));
void Pump(std::chrono::milliseconds span);

// A left click on the first cell of the row, as the operator makes it: a
// press and a release on the view's viewport where the cell is drawn.
void ClickRow(QAbstractItemView& view, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace testing_ui
