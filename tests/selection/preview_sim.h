#pragma once
// A simulated recorder with a granted play id, and the request paths a
// preview of channel 1 sends to it.
#include <QString>

#include "tests/selection/preview_stream_source.h"

namespace previewtest {

// A started recorder on loopback with a granted play id.
class PreviewRecorder {
 public:
  PreviewRecorder();
  ~PreviewRecorder();
  sim::SimRecorder& Sim() { return sim_; }
  int Port() const { return sim_.Port(); }
  int PlayId() const { return playId_; }
  QString PositionPath() const;
  QString StreamPath() const;

 private:
  sim::SimRecorder sim_;
  int playId_ = -1;
};

}  // namespace previewtest
