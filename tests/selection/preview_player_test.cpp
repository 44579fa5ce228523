// The preview engine against the simulated recorder: real MJPEG, MPEG-4 and
// H.264 streams read, queued, decoded and kept as the shown picture; the
// packet filter; the decoder's reopening; re-sent stream requests; stalled,
// cut and junk streams; and stopping, always within the time-outs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "selection/preview_player.h"
#include "tests/selection/preview_sim.h"

using namespace previewtest;
using Clock = std::chrono::steady_clock;

namespace {

constexpr Colour kOrange{200, 90, 30};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Shown {
  int width = 0;
  int height = 0;
  int blue = -1, green = -1, red = -1;  // the centre pixel
};

Shown ShownPicture(const PreviewPlayer& player) {
  Shown s;
  player.WithPicture([&](const std::uint8_t* bgr, int width, int height) {
    s.width = width;
    s.height = height;
    const std::uint8_t* centre = bgr + (static_cast<std::size_t>(height / 2) * width + width / 2) * 3;
    s.blue = centre[0];
    s.green = centre[1];
    s.red = centre[2];
  });
  return s;
}

void ExpectColour(const Shown& s, Colour c, const char* what) {
  EXPECT_NEAR(s.red, c.red, 12) << what;
  EXPECT_NEAR(s.green, c.green, 12) << what;
  EXPECT_NEAR(s.blue, c.blue, 12) << what;
}

// A preview of channel 1 pointed at the recorder, with a counted repaint.
struct Preview {
  explicit Preview(PreviewRecorder& recorder, int port = 0) {
    player.SetServer("127.0.0.1", "admin", "admin", port ? port : recorder.Port(), 0);
    player.m_strPositionPath = recorder.PositionPath();
    player.m_strStreamPath = recorder.StreamPath();
    player.SetRepaint([this] { ++repaints; });
  }
  PreviewPlayer player;
  std::atomic<int> repaints{0};
};

// Stops the player and checks that both threads were joined well inside the
// 2000 ms the owner may wait.
void StopQuickly(PreviewPlayer& player, long long limitMs = 1000) {
  const auto start = Clock::now();
  player.Close();
  EXPECT_LT(MsSince(start), limitMs);
  EXPECT_FALSE(player.IsRunning());
  EXPECT_EQ(player.QueuedFrames(), 0);
}

}  // namespace

TEST(PreviewPlayer, PlaysEveryCodecFromTheRecorder) {
  const struct {
    Codec codec;
    int width, height;
  } cases[] = {{Codec::Mjpeg, 320, 240}, {Codec::Mpeg4, 352, 240}, {Codec::H264, 320, 180}};
  for (const auto& c : cases) {
    const char* name = stream_fixture::CodecName(c.codec);
    PreviewRecorder recorder;
    ASSERT_GE(recorder.PlayId(), 0);
    recorder.Sim().SetStreamSource(PacketSource(SolidPackets(c.codec, c.width, c.height, 10, kOrange)));
    Preview preview(recorder);
    preview.player.Start();
    EXPECT_TRUE(preview.player.IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 5; }, std::chrono::seconds(10))) << name;

    const Shown shown = ShownPicture(preview.player);
    EXPECT_EQ(shown.width, c.width) << name;
    EXPECT_EQ(shown.height, c.height) << name;
    ExpectColour(shown, kOrange, name);
    EXPECT_EQ(preview.player.DecoderOpens(), 1) << name;
    EXPECT_GE(preview.repaints.load(), preview.player.PicturesShown() - 1) << name;

    // The positioning request goes first, then the stream request, both
    // authorised, on the preview's own connection.
    const auto requests = recorder.Sim().Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[1].request, sim::Request::SeekPlayback) << name;
    EXPECT_EQ(requests[1].target, recorder.PositionPath().toStdString());
    EXPECT_EQ(requests[2].request, sim::Request::GetStream) << name;
    EXPECT_EQ(requests[2].target, recorder.StreamPath().toStdString());
    EXPECT_TRUE(requests[1].authorised && requests[2].authorised) << name;
    EXPECT_EQ(requests[2].Header("User-Agent").value_or(""), "InetURL/1.0");
    ASSERT_TRUE(recorder.Sim().LastStreamRequest().has_value());
    EXPECT_EQ(recorder.Sim().LastStreamRequest()->channel, 1);
    EXPECT_EQ(recorder.Sim().RequestCount(sim::Request::GetStream), 1u) << name;

    // Stopping mid-stream joins both threads at once.
    StopQuickly(preview.player);
    const int shownAtStop = preview.player.PicturesShown();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(preview.player.PicturesShown(), shownAtStop) << name;
  }
}

TEST(PreviewPlayer, AChangeOfSizeOrCodecReopensTheDecoderBeforeTheFrame) {
  PreviewRecorder recorder;
  auto packets = SolidPackets(Codec::Mjpeg, 160, 120, 3, {0, 0, 255});
  for (auto& p : SolidPackets(Codec::Mjpeg, 320, 240, 3, {0, 255, 0})) packets.push_back(p);
  for (auto& p : SolidPackets(Codec::H264, 320, 240, 3, {255, 255, 255})) packets.push_back(p);
  SourceOptions once;
  once.loop = false;
  once.holdMs = 5000;
  once.release = std::make_shared<std::atomic<int>>(0);
  recorder.Sim().SetStreamSource(PacketSource(packets, once));
  Preview preview(recorder);
  preview.player.Start();
  ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 9; }, std::chrono::seconds(10)))
      << "shown " << preview.player.PicturesShown();
  EXPECT_EQ(preview.player.DecoderOpens(), 3);
  const Shown last = ShownPicture(preview.player);
  EXPECT_EQ(last.width, 320);
  EXPECT_EQ(last.height, 240);
  ExpectColour(last, {255, 255, 255}, "H.264 after MJPEG");
  once.release->store(1);
  StopQuickly(preview.player);
}

TEST(PreviewPlayer, OnlyShowableVideoPacketsReachTheQueue) {
  using stream_fixture::VideoFields;
  PreviewRecorder recorder;
  const Bytes picture = SolidPackets(Codec::Mjpeg, 64, 48, 1, kOrange)[0];
  // The JPEG itself, behind the 128-byte header.
  const Bytes jpeg(picture.begin() + 128, picture.end());
  auto video = [&](std::uint16_t mask, std::uint16_t width, std::uint16_t height, const Bytes& payload) {
    VideoFields f;
    f.channelMask = mask;
    f.width = width;
    f.height = height;
    return stream_fixture::VideoPacket(f, payload);
  };
  const std::vector<Bytes> packets = {
      stream_fixture::OtherPacket({}, Bytes(20, 7)),  // an other packet
      video(0, 64, 48, jpeg),                         // no channel
      video(1, 0, 48, jpeg),                          // no width
      video(1, 64, 0, jpeg),                          // no height
      video(1, 64, 48, Bytes()),                      // no payload
      video(1, 4000, 3000, jpeg),                     // larger than the picture buffers
      video(0x8000, 64, 48, jpeg),                    // channel 16: shown
  };
  SourceOptions once;
  once.loop = false;
  once.holdMs = 5000;
  once.release = std::make_shared<std::atomic<int>>(0);
  recorder.Sim().SetStreamSource(PacketSource(packets, once));
  Preview preview(recorder);
  preview.player.Start();
  ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 1; }, std::chrono::seconds(5)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(preview.player.FramesQueued(), 1);
  EXPECT_EQ(preview.player.PicturesShown(), 1);
  EXPECT_EQ(ShownPicture(preview.player).width, 64);
  once.release->store(1);
  StopQuickly(preview.player);
}

TEST(PreviewPlayer, ABurstQueuesUpAndEveryFrameIsStillShownInOrder) {
  PreviewRecorder recorder;
  constexpr int kFrames = 40;
  SourceOptions burst;
  burst.loop = false;
  burst.intervalMs = 0;
  burst.holdMs = 8000;
  burst.release = std::make_shared<std::atomic<int>>(0);
  // The last picture has its own colour, so the order shows.
  auto packets = SolidPackets(Codec::Mjpeg, 320, 240, kFrames - 1, kOrange);
  packets.push_back(SolidPackets(Codec::Mjpeg, 320, 240, 1, {30, 200, 60})[0]);
  recorder.Sim().SetStreamSource(PacketSource(packets, burst));
  Preview preview(recorder);
  preview.player.Start();
  int longestQueue = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        longestQueue = std::max(longestQueue, preview.player.QueuedFrames());
        return preview.player.PicturesShown() >= kFrames;
      },
      std::chrono::seconds(10)));
  // The decoder's own pauses (4 ms a frame at least) let the queue grow; the
  // reader only slows down, and drops nothing.
  EXPECT_GT(longestQueue, PreviewPlayer::kQueuedFramesBeforeSlowing);
  EXPECT_EQ(preview.player.FramesQueued(), kFrames);
  ExpectColour(ShownPicture(preview.player), {30, 200, 60}, "last of the burst");
  burst.release->store(1);
  StopQuickly(preview.player);
}

TEST(PreviewPlayer, AStreamThatEndsIsRequestedAgainAfterSixteenEmptyReads) {
  PreviewRecorder recorder;
  SourceOptions once;
  once.loop = false;
  recorder.Sim().SetStreamSource(PacketSource(SolidPackets(Codec::Mjpeg, 160, 120, 4, kOrange), once));
  Preview preview(recorder);
  preview.player.Start();
  ASSERT_TRUE(recorder.Sim().WaitForRequests(2, sim::Request::GetStream, 8000));
  const auto streams = recorder.Sim().Requests(sim::Request::GetStream);
  const auto gap = streams[1].received_ms - streams[0].received_ms;
  // 16 empty reads, each followed by a 100 ms sleep, then the request again.
  EXPECT_GE(gap, 1500);
  EXPECT_LT(gap, 3500);
  // The restarted stream is played from its start again.
  EXPECT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 8; }, std::chrono::seconds(5)));
  StopQuickly(preview.player);
}

TEST(PreviewPlayer, AStalledStreamCostsOneReceiveTimeOutAndStopsAtOnce) {
  PreviewRecorder recorder;
  // A fault answer is built from the whole stream, so this one ends by itself.
  SourceOptions once;
  once.loop = false;
  once.intervalMs = 0;
  recorder.Sim().SetStreamSource(PacketSource(SolidPackets(Codec::Mjpeg, 160, 120, 5, kOrange), once));
  sim::FaultRule stall = sim::FaultRule::For(sim::Request::GetStream, sim::FaultKind::StallBody, 1);
  stall.send_bytes = 100;  // inside the first packet
  stall.stall_ms = 20000;
  recorder.Sim().AddFault(stall);
  Preview preview(recorder);
  const auto start = Clock::now();
  preview.player.Start();
  ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 1; }, std::chrono::seconds(10)));
  // The 5000 ms receive time-out ends the stalled read; the request is sent again.
  EXPECT_GE(MsSince(start), 4500);
  EXPECT_LT(MsSince(start), 8000);
  EXPECT_EQ(recorder.Sim().RequestCount(sim::Request::GetStream), 2u);
  StopQuickly(preview.player);

  // Stopping while the reader waits on a stalled stream.
  recorder.Sim().AddFault(stall);
  recorder.Sim().ClearRequests();
  preview.player.Start();
  ASSERT_TRUE(recorder.Sim().WaitForRequests(1, sim::Request::GetStream, 5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  StopQuickly(preview.player);
  recorder.Sim().ReleaseStalls();
}

TEST(PreviewPlayer, CutAndJunkStreamsAreSurvivedAndTheNextGoodPacketsShown) {
  // Junk, false start codes with impossible lengths, then good packets.
  Bytes junk;
  for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<std::uint8_t>((i * 7919) >> 3));
  const std::uint8_t lies[][12] = {
      {0, 0, 1, 0xF3, 4, 0, 0, 0, 1, 0, 0, 0},              // header length 4
      {0, 0, 1, 0xF3, 200, 0, 0, 0, 1, 0, 0, 0},            // header longer than its block
      {0, 0, 1, 0xF9, 48, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF}, // payload length near 2^32
      {0, 0, 1, 0x42, 0, 0, 1, 0xF9, 8, 0, 0, 0},           // not a start code, then length 8
  };
  for (const auto& lie : lies) junk.insert(junk.end(), std::begin(lie), std::end(lie));
  junk.resize(junk.size() + 200, 0x11);

  PreviewRecorder recorder;
  SourceOptions options;
  options.prefix = junk;
  options.loop = false;
  options.intervalMs = 0;
  recorder.Sim().SetStreamSource(PacketSource(SolidPackets(Codec::H264, 160, 120, 10, kOrange), options));
  // The first two answers are cut inside a packet.
  sim::FaultRule cut = sim::FaultRule::For(sim::Request::GetStream, sim::FaultKind::CutShort, 2);
  cut.send_bytes = static_cast<std::int64_t>(junk.size()) + 700;
  recorder.Sim().AddFault(cut);
  Preview preview(recorder);
  preview.player.Start();
  ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 5; }, std::chrono::seconds(10)));
  EXPECT_GE(recorder.Sim().RequestCount(sim::Request::GetStream), 3u);
  ExpectColour(ShownPicture(preview.player), kOrange, "after cut and junk streams");
  StopQuickly(preview.player);

  // A recorder that answers nothing but junk: the preview keeps trying and
  // still stops at once.
  recorder.Sim().AddFault(
      sim::FaultRule::AnswerWith(sim::Request::GetStream, 200, std::string(junk.begin(), junk.end())));
  Preview junkOnly(recorder);
  junkOnly.player.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(junkOnly.player.FramesQueued(), 0);
  StopQuickly(junkOnly.player);
}

TEST(PreviewPlayer, AFailedFirstRequestEndsBothThreadsByThemselves) {
  PreviewRecorder recorder;
  const int port = recorder.Port();
  recorder.Sim().Stop();  // nothing listens there now
  Preview preview(recorder, port);
  const auto start = Clock::now();
  preview.player.Start();
  EXPECT_TRUE(WaitUntil([&] { return !preview.player.IsRunning(); }, std::chrono::seconds(4)));
  EXPECT_LT(MsSince(start), 4000);
  StopQuickly(preview.player);
  EXPECT_EQ(preview.player.PicturesShown(), 0);

  // A host that is not a host name fails at the connection.
  preview.player.SetServer("bad host", "admin", "admin", port, 0);
  preview.player.Start();
  EXPECT_TRUE(WaitUntil([&] { return !preview.player.IsRunning(); }, std::chrono::seconds(2)));
  StopQuickly(preview.player);
}

TEST(PreviewPlayer, CloseWithoutStartAndRestartWhileStreaming) {
  PreviewRecorder recorder;
  {
    Preview idle(recorder);
    idle.player.Close();  // never started: nothing to stop
    idle.player.Close();
    EXPECT_FALSE(idle.player.IsRunning());
  }
  EXPECT_EQ(recorder.Sim().RequestCount(), 1u);  // only the test's own play-id request

  SourceOptions live;
  live.ended = std::make_shared<std::atomic<int>>(0);
  recorder.Sim().SetStreamSource(PacketSource(SolidPackets(Codec::Mpeg4, 176, 144, 8, kOrange), live));
  Preview preview(recorder);
  for (int run = 1; run <= 3; ++run) {
    const int before = preview.player.PicturesShown();
    preview.player.Start();  // stops and joins the previous run first
    ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= before + 3; }, std::chrono::seconds(8)))
        << "run " << run;
  }
  EXPECT_EQ(recorder.Sim().RequestCount(sim::Request::GetStream), 3u);
  EXPECT_EQ(recorder.Sim().RequestCount(sim::Request::SeekPlayback), 3u);
  StopQuickly(preview.player);
  // Every run's stream connection was closed: the recorder saw each client go.
  EXPECT_TRUE(WaitUntil([&] { return live.ended->load() == 3; }, std::chrono::seconds(3))) << live.ended->load();
}

TEST(PreviewPlayer, ClearPictureBlackensOnlyAShownPicture) {
  PreviewRecorder recorder;
  Preview preview(recorder);
  // Before the first picture there is nothing to blacken; it only repaints.
  preview.player.ClearPicture();
  EXPECT_EQ(preview.repaints.load(), 1);
  preview.player.WithPicture([](const std::uint8_t* bgr, int width, int height) {
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(bgr[0], PreviewPlayer::kInitialGrey);
  });

  recorder.Sim().SetStreamSource(PacketSource(SolidPackets(Codec::Mjpeg, 96, 64, 4, kOrange)));
  preview.player.Start();
  ASSERT_TRUE(WaitUntil([&] { return preview.player.PicturesShown() >= 1; }, std::chrono::seconds(5)));
  preview.player.Close();
  preview.player.ClearPicture();
  preview.player.WithPicture([](const std::uint8_t* bgr, int width, int height) {
    ASSERT_EQ(width, 96);
    ASSERT_EQ(height, 64);
    for (int i = 0; i < width * height * 3; ++i) ASSERT_EQ(bgr[i], 0) << "byte " << i;
    EXPECT_EQ(bgr[width * height * 3], PreviewPlayer::kInitialGrey);  // beyond the picture
  });
}
