// simrecorder: the simulated recorder as a program, to try the client by hand.
//
//   simrecorder --host 127.0.0.1 --port 8080 [--user admin --password admin] [--root DIR] [--verbose]
//
// With --root, a recorder path P is served from DIR + P when that file exists.
// With --verbose, every request is printed with the status it got.
// The preview stream carries real H.264 pictures of a moving pattern.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "sim_recorder.h"
#include "tests/selection/preview_stream_source.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: simrecorder [--host 127.0.0.1] [--port 8080] [--user admin] [--password admin] "
               "[--root DIR] [--verbose]\n"
               "Serves a simulated video recorder on a loopback address until SIGINT or SIGTERM.\n");
}

bool ParsePort(const char* text, int& port) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 0 || v > 65535) return false;
  port = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  sim::Config config;
  config.port = 8080;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    }
    if (arg == "--verbose") {
      verbose = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "simrecorder: %s needs a value\n", arg.c_str());
      Usage();
      return 2;
    }
    const char* value = argv[++i];
    if (arg == "--host") {
      config.host = value;
    } else if (arg == "--port") {
      if (!ParsePort(value, config.port)) {
        std::fprintf(stderr, "simrecorder: bad port '%s'\n", value);
        return 2;
      }
    } else if (arg == "--user") {
      config.user = value;
    } else if (arg == "--password") {
      config.password = value;
    } else if (arg == "--root") {
      config.local_root = value;
      while (config.local_root.size() > 1 && config.local_root.back() == '/') config.local_root.pop_back();
    } else {
      std::fprintf(stderr, "simrecorder: unknown option %s\n", arg.c_str());
      Usage();
      return 2;
    }
  }
  if (!sim::IsLoopbackHost(config.host)) {
    std::fprintf(stderr, "simrecorder: refusing host '%s': only loopback addresses (127.0.0.0/8, ::1) are served\n",
                 config.host.c_str());
    return 2;
  }

  // Block the stop signals before any thread starts, then wait for one here.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  sim::SimRecorder recorder(config);
  av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are no news to the user
  recorder.SetStreamSource(previewtest::LiveStream(stream_fixture::Codec::H264, 352, 240));
  if (verbose) {
    recorder.SetRequestObserver([](const sim::RequestRecord& r) {
      std::printf("%3d %s%s%s\n", r.status, r.RequestLine().c_str(), r.fault.empty() ? "" : "  [fault ",
                  r.fault.empty() ? "" : (r.fault + "]").c_str());
      std::fflush(stdout);
    });
  }
  if (!recorder.Start()) {
    std::fprintf(stderr, "simrecorder: %s\n", recorder.Error().c_str());
    return 1;
  }
  std::printf("simrecorder: listening on %s (user %s, password %s)\n", recorder.BaseUrl().c_str(),
              config.user.c_str(), config.password.c_str());
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  recorder.Stop();
  std::printf("simrecorder: stopped after %zu requests\n", recorder.RequestCount());
  return 0;
}
