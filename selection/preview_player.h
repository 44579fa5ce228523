#pragma once
// The preview's engine, without a window: a reader thread sends the
// positioning and stream requests through its own HttpGet, cuts the stream
// into packets and queues the video frames; a decoder thread decodes them in
// order and keeps the last picture. After each new picture the owner's
// repaint callback runs (on the decoder thread); the owner paints from
// WithPicture on its own thread.
//
// Both threads belong to this object: Stop and Close join them, and every
// network wait of the reader ends within about 100 ms once the run is told
// to stop, so the join is short and no thread outlives its run.
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "nvr/connection_data.h"
#include "nvr/data_queue.h"
#include "nvr/http_get.h"
#include "platform/core/thread.h"
#include "selection/preview_frame.h"
#include "selection/video_decoder.h"

class StreamPacketParser;

class PreviewPlayer {
 public:
  // The picture buffers hold one picture of up to 1920 x 1280 pixels.
  static constexpr int kPictureBytes = 7372800;
  static constexpr int kReadChunk = 8192;
  static constexpr int kConnectTimeoutMs = 3000;
  // Consecutive empty reads after which the stream request is sent again.
  static constexpr int kEmptyReadsBeforeResend = 16;
  // Queued frames above which the reader slows down.
  static constexpr int kQueuedFramesBeforeSlowing = 5;
  // Mid grey: the shown buffer's content before the first picture.
  static constexpr std::uint8_t kInitialGrey = 127;

  PreviewPlayer();
  ~PreviewPlayer();
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  void SetServer(const QString& host, const QString& user, const QString& password, int port, int https);
  // Stops a run still going, then starts both threads on the current
  // connection data and paths. Each thread runs its entry point when one is
  // given (the owner's, which must run the body below), else its body.
  using ThreadEntry = std::function<void()>;
  void Start(ThreadEntry reader = {}, ThreadEntry decoder = {});
  // Ends both threads (joined) and empties the frame queue.
  void Stop();
  // Stop, then closes the connection; harmless when nothing runs.
  void Close();
  // Blackens the shown picture and asks for a repaint.
  void ClearPicture();

  // Runs after each new picture, on the decoder thread, and after
  // ClearPicture, on the caller's. Set it before the first Start.
  void SetRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }

  // Calls paint(bgr, width, height) with the shown picture (rows top first,
  // packed at width x 3 bytes) while holding it; width and height are 0
  // before the first picture.
  template <typename Paint>
  void WithPicture(Paint paint) const {
    std::lock_guard<std::mutex> hold(pictureLock_);
    paint(static_cast<const std::uint8_t*>(m_pPicture.get()), shownWidth_, shownHeight_);
  }

  bool IsRunning() const { return m_bRunning.load() == 1; }
  // Counters for observing a run (they only grow).
  int FramesQueued() const { return framesQueued_.load(); }
  int PicturesShown() const { return picturesShown_.load(); }
  int DecoderOpens() const { return decoderOpens_.load(); }
  // The frame queue's length now.
  int QueuedFrames() const { return m_frameQueue.Count(); }

  // Set directly by the selection dialog before Start.
  QString m_strStreamPath;
  QString m_strPositionPath;

  // The two threads' bodies, and the decoder thread's step for one frame
  // (decode, then show the picture). Only the player's own threads run them.
  void ReaderThread();
  void DecoderThread();
  void DecodeAndShow(const std::uint8_t* data, int size);

 private:
  // What one run works with, copied at Start so the window thread may set
  // new values while a run goes on.
  struct RunSettings {
    nvr::ConnectionData connection;
    QString positionPath, streamPath;
  };

  // Queues a completed packet when it is a picture the window can show.
  void QueuePacket(const StreamPacketParser& parser, const std::uint8_t* payload);
  // Sends the stream request until it goes out or the run stops; a failed
  // try waits 5 s (in steps that end early on stop) before the next.
  void ResendStream();
  // Sleeps up to ms, ending early when the run stops.
  void SleepWhileRunning(int ms);

  nvr::ConnectionData m_connection;
  RunSettings run_;

  std::unique_ptr<std::uint8_t[]> m_pPicture;  // shown picture, under pictureLock_
  std::unique_ptr<std::uint8_t[]> m_pDecoded;  // decoder thread's output
  mutable std::mutex pictureLock_;
  int shownWidth_ = 0;   // size of the picture in m_pPicture
  int shownHeight_ = 0;

  nvr::HttpGet m_http;  // the reader thread's client
  // Decoder-thread state: the size and kind of the current picture.
  int m_nPictureHeight = 0;
  int m_nPictureWidth = 0;
  int m_nKind = -1;
  std::unique_ptr<std::uint8_t[]> m_pHeader;  // video header of the last queued frame
  nvr::DataQueue<FrameHeader> m_frameQueue;
  platform::Thread m_reader;
  platform::Thread m_decoderThread;
  std::atomic<int> m_bRunning{0};
  VideoDecoder m_decoder;
  int m_bDecoderOpen = 0;

  std::function<void()> repaint_;
  std::atomic<int> framesQueued_{0};
  std::atomic<int> picturesShown_{0};
  std::atomic<int> decoderOpens_{0};
};
