#pragma once
// A simulated recorder on loopback, a window id that collects posted messages,
// and message boxes answered and recorded.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "nvr/http_get.h"
#include "nvr/nvr_session.h"
#include "platform/core/message_box.h"
#include "platform/core/window_post.h"
#include "sim_recorder.h"

namespace nvrtest {

struct Posted {
  unsigned msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// A registered window id whose messages tests can wait for.
class MessageCatcher {
 public:
  MessageCatcher() : id_(platform::NewWindowId()) {
    platform::RegisterWindow(id_, [this](unsigned msg, std::uintptr_t w, std::intptr_t l) {
      std::lock_guard<std::mutex> hold(lock_);
      posted_.push_back({msg, w, l});
      changed_.notify_all();
    });
  }
  ~MessageCatcher() { platform::UnregisterWindow(id_); }
  platform::WindowId Id() const { return id_; }

  // The first message of that number, waiting up to the time-out.
  bool WaitFor(unsigned msg, Posted* out, int timeoutMs = 15000) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
      for (const Posted& p : posted_)
        if (p.msg == msg) {
          if (out) *out = p;
          return true;
        }
      return false;
    });
  }
  std::vector<Posted> All() {
    std::lock_guard<std::mutex> hold(lock_);
    return posted_;
  }
  int Count(unsigned msg) {
    std::lock_guard<std::mutex> hold(lock_);
    int n = 0;
    for (const Posted& p : posted_) n += p.msg == msg;
    return n;
  }

 private:
  platform::WindowId id_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Posted> posted_;
};

// Records every message box and answers OK.
class BoxRecorder {
 public:
  BoxRecorder() {
    previous_ = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
      std::lock_guard<std::mutex> hold(lock_);
      texts_.push_back(r.text);
      return platform::IDOK;
    });
  }
  ~BoxRecorder() { platform::SetMessageBoxHandler(previous_); }
  std::vector<QString> Texts() {
    std::lock_guard<std::mutex> hold(lock_);
    return texts_;
  }

 private:
  platform::MessageBoxHandler previous_;
  std::mutex lock_;
  std::vector<QString> texts_;
};

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override { StartRecorder({}); }

  void StartRecorder(sim::Config config) {
    recorder.reset();
    recorder = std::make_unique<sim::SimRecorder>(std::move(config));
    ASSERT_TRUE(recorder->Start()) << recorder->Error();
  }

  int Port() const { return recorder->Port(); }

  void PointSession(nvr::NvrSession& s, const QString& user = "admin", const QString& password = "admin") {
    s.SetServer("Sim", "127.0.0.1", user, password, Port(), 0);
  }

  // A backup id granted by the recorder (for downloads that need one).
  int GrantBackupId() {
    nvr::HttpGet http;
    http.Connect("127.0.0.1", "admin", "admin", 3000, 0, Port());
    char answer[100] = {};
    http.GetToBuffer("/config/getbackupid", answer, sizeof answer);
    int id = -1;
    nvr::ReadLeaseValue(nvr::AnswerText(answer, sizeof answer), &id);
    return id;
  }

  static QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  static QByteArray Content(const std::string& path, size_t size) {
    const std::string bytes = sim::ContentBytes(path, 0, size);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
  }

  std::unique_ptr<sim::SimRecorder> recorder;
  BoxRecorder boxes;
};

}  // namespace nvrtest
