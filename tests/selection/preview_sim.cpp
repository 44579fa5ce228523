#include "tests/selection/preview_sim.h"

#include "nvr/http_get.h"

namespace previewtest {

PreviewRecorder::PreviewRecorder() {
  if (!sim_.Start()) return;
  nvr::HttpGet http;
  char answer[64] = {};
  if (http.Connect("127.0.0.1", "admin", "admin", 3000, 0, sim_.Port()))
    http.GetToBuffer("/play/getid", answer, sizeof answer);
  playId_ = sim_.LastPlayId();
}

PreviewRecorder::~PreviewRecorder() { sim_.Stop(); }

QString PreviewRecorder::PositionPath() const {
  return QStringLiteral("/play/searchdata?id=%1&recstarttime=2026,12,10,8,0,0&recendtime=2026,12,10,8,5,0"
                        "&avdevids=1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0")
      .arg(playId_);
}

QString PreviewRecorder::StreamPath() const {
  return QStringLiteral("/play/mav/nvrprofilestream?id=%1&avdevid=1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0&profile=1")
      .arg(playId_);
}

}  // namespace previewtest
