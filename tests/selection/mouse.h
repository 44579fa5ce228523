#pragma once
// Synthesised left-button mouse events, delivered straight to a widget.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace testing_selection {

inline void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}
inline void Press(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton); }
inline void DragTo(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseMove, at, Qt::LeftButton); }
inline void HoverAt(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseMove, at, Qt::NoButton); }
inline void Release(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton); }
inline void Click(QWidget* w, QPoint at) {
  Press(w, at);
  Release(w, at);
}

}  // namespace testing_selection
