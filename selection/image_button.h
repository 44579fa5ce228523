#pragma once
// The image button: an owner-drawn push button that shows pictures loaded
// from files instead of its caption, one each for the normal, pressed,
// disabled and pointed-at looks, with a hand cursor. Like a subclassed
// window it takes over an existing push button of a dialog: clicks still
// reach the dialog as the button's commands.
#include <QAbstractButton>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include "platform/ui/owner_draw.h"

namespace platform::ui {
class Dialog;
}

class CMyButton : public QObject {
 public:
  CMyButton();
  ~CMyButton() override;

  // Takes over the button (the dialog's data exchange binds it); false when
  // there is none or another one is held already.
  bool SubclassWindow(QAbstractButton* button);
  bool SubclassDlgItem(int id, platform::ui::Dialog* parent);
  // Null once the button is gone, and while it is being destroyed.
  QAbstractButton* Button() const { return qobject_cast<QAbstractButton*>(button_.data()); }

  // Loads the four pictures in this order; one that fails stays empty and is
  // not drawn. Nothing is reported.
  void SetImages(QString disabledFile, QString normalFile, QString pressedFile, QString hoverFile);

  // Paints what the record asks for onto its device context.
  virtual void DrawItem(const platform::ui::DrawItemStruct& item);

  // True between a move over the button and its leaving being reported.
  bool IsTrackingLeave() const { return trackingLeave_; }

  int m_bHover = 0;
  QImage m_imgDisabled;
  QImage m_imgNormal;
  QImage m_imgPressed;
  QImage m_imgHover;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void OnMouseMove();
  int OnMouseLeave();
  int OnMouseHover() { return 0; }
  // The button is to be drawn: builds the owner-draw record (a full redraw,
  // or a selection change when only the pressed state changed) and hands it
  // to DrawItem.
  void OnDrawItem();

 private:
  void Invalidate();

  // Held as an object: while the button's destructor runs it is no longer a
  // button, and events that arrive then must not treat it as one.
  QPointer<QObject> button_;
  // What the button shows between requests: a request that is not a full
  // redraw paints over what the last one left.
  QImage surface_;
  bool lastDown_ = false;
  bool fullPending_ = true;
  bool trackingLeave_ = false;
};
