#include "selection/preview_player.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "selection/stream_packet_parser.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

PreviewPlayer::PreviewPlayer()
    : m_pPicture(new std::uint8_t[kPictureBytes]),
      m_pDecoded(new std::uint8_t[kPictureBytes]()),
      m_pHeader(new std::uint8_t[StreamPacketParser::kVideoHeaderSize]()) {
  std::memset(m_pPicture.get(), kInitialGrey, kPictureBytes);
  // Every wait of the reader's client ends soon after the run is told to stop.
  m_http.SetAbortCheck([this] { return m_bRunning.load() == 0; });
}

PreviewPlayer::~PreviewPlayer() {
  Close();
  m_decoder.Close();
  m_bDecoderOpen = 0;
}

void PreviewPlayer::SetServer(const QString& host, const QString& user, const QString& password, int port,
                              int https) {
  m_connection = {host, user, password, port, https};
}

void PreviewPlayer::Start(ThreadEntry reader, ThreadEntry decoder) {
  // A run that ended by itself (a failed connection) still has threads to join.
  Stop();
  run_ = RunSettings{m_connection, m_strPositionPath, m_strStreamPath};
  // Set before the threads start: both end as soon as they see it clear.
  m_bRunning = 1;
  if (!reader) reader = [this] { ReaderThread(); };
  if (!decoder) decoder = [this] { DecoderThread(); };
  m_reader.Start(std::move(reader));
  m_decoderThread.Start(std::move(decoder));
}

void PreviewPlayer::Stop() {
  m_bRunning = 0;
  m_reader.Join();
  m_decoderThread.Join();
  m_frameQueue.Clear();
}

void PreviewPlayer::Close() {
  Stop();
  m_http.Close();
  m_frameQueue.Clear();
}

void PreviewPlayer::ClearPicture() {
  {
    std::lock_guard<std::mutex> hold(pictureLock_);
    std::memset(m_pPicture.get(), 0, static_cast<std::size_t>(shownWidth_) * shownHeight_ * 3);
  }
  if (repaint_) repaint_();
}

void PreviewPlayer::SleepWhileRunning(int ms) {
  for (int slept = 0; slept < ms && m_bRunning.load() == 1; slept += 100) SleepMs(std::min(100, ms - slept));
}

void PreviewPlayer::ResendStream() {
  while (m_bRunning.load() == 1) {
    if (m_http.SendGet(run_.streamPath)) return;
    SleepWhileRunning(5000);
  }
}

void PreviewPlayer::ReaderThread() {
  StreamPacketParser parser;
  if (!parser.Init()) {
    // Without its buffers the reader cannot cut the stream: the preview ends.
    m_bRunning = 0;
    return;
  }
  SleepMs(50);
  if (!m_http.Connect(run_.connection, kConnectTimeoutMs)) m_bRunning = 0;
  if (m_bRunning.load() == 1) {
    // The positioning request's answer is not read.
    if (!m_http.SendGet(run_.positionPath))
      m_bRunning = 0;
    else
      SleepMs(100);
  }
  SleepMs(1);
  if (m_bRunning.load() == 1) {
    if (!m_http.SendGet(run_.streamPath))
      m_bRunning = 0;
    else
      SleepMs(100);
  }

  std::vector<char> chunk(kReadChunk);
  int emptyReads = 0;
  while (m_bRunning.load() == 1) {
    if (m_frameQueue.Count() > kQueuedFramesBeforeSlowing) SleepMs(8);
    if (const std::uint8_t* payload = parser.Parse()) {
      QueuePacket(parser, payload);
      continue;  // the bytes after the packet are parsed before the next read
    }
    std::size_t available = 0;
    std::size_t got = 0;
    if (m_http.HasRequest() && m_http.QueryDataAvailable(&available) &&
        m_http.ReadFile(chunk.data(), std::min<std::size_t>(available, kReadChunk), &got)) {
      if (got > 0) {
        emptyReads = 0;
        parser.Feed(reinterpret_cast<const std::uint8_t*>(chunk.data()), static_cast<std::uint32_t>(got));
        continue;
      }
      SleepMs(100);
      if (++emptyReads < kEmptyReadsBeforeResend) continue;
      ResendStream();
      emptyReads = 0;
      parser.Reset();
      continue;
    }
    // No request, or the read failed: the stream restarts, so the partial
    // packet must not be continued.
    ResendStream();
    parser.Reset();
  }
  parser.Destroy();
}

void PreviewPlayer::QueuePacket(const StreamPacketParser& parser, const std::uint8_t* payload) {
  if (parser.kind != StreamPacketParser::kKindMjpeg && parser.kind != StreamPacketParser::kKindMpeg4 &&
      parser.kind != StreamPacketParser::kKindH264)
    return;  // other packets carry nothing to show
  const std::uint8_t* header = parser.videoHeader.get();
  std::memcpy(m_pHeader.get(), header, StreamPacketParser::kVideoHeaderSize);
  const int mask = StreamPacketParser::ReadU16(header + StreamPacketParser::kOffsetChannelMask);
  const int width = StreamPacketParser::ReadU16(header + StreamPacketParser::kOffsetWidth);
  const int height = StreamPacketParser::ReadU16(header + StreamPacketParser::kOffsetHeight);
  const int length = parser.payloadLength;
  if (mask == 0 || width == 0 || height == 0 || length < 1) return;
  // A picture larger than the picture buffers cannot be shown.
  if (static_cast<long long>(width) * height * 3 > kPictureBytes) return;
  std::unique_ptr<FrameHeader> block = FrameHeader::Allocate(length);
  if (!block) return;  // no memory for this frame: drop it, keep reading
  block->width = width;
  block->height = height;
  block->kind = parser.kind;
  std::memcpy(block->Payload(), payload, static_cast<std::size_t>(length));
  m_frameQueue.Push(std::move(block));
  ++framesQueued_;
}

void PreviewPlayer::DecoderThread() {
  int lastWidth = -1;
  int lastHeight = -1;
  int lastKind = -1;
  while (m_bRunning.load() == 1) {
    SleepMs(1);
    std::unique_ptr<FrameHeader> block = m_frameQueue.RemoveFront();
    if (block) {
      if (block->width != lastWidth || block->height != lastHeight || block->kind != lastKind) {
        m_decoder.Close();
        m_bDecoderOpen = 0;
        SleepMs(3);
      }
      m_nKind = block->kind;
      m_nPictureWidth = block->width;
      m_nPictureHeight = block->height;
      DecodeAndShow(block->Payload(), block->payloadLength);
      SleepMs(3);
      lastWidth = block->width;
      lastHeight = block->height;
      lastKind = block->kind;
    } else if (m_frameQueue.Count() == 0) {
      SleepMs(5);
    }
  }
  m_frameQueue.Clear();
  m_decoder.Close();
  m_bDecoderOpen = 0;
}

void PreviewPlayer::DecodeAndShow(const std::uint8_t* data, int size) {
  if (m_bDecoderOpen != 1) {
    const AVCodecID codec = VideoDecoder::CodecForKind(m_nKind);
    if (codec != AV_CODEC_ID_NONE) {
      m_bDecoderOpen = m_decoder.Open(codec, m_nPictureWidth, m_nPictureHeight);
      ++decoderOpens_;
    }
  }
  if (m_bRunning.load() != 1 || m_bDecoderOpen != 1) return;
  int decodedSize = 0;
  if (!m_decoder.Decode(data, size, m_pDecoded.get(), kPictureBytes, &decodedSize)) return;
  const std::size_t rowBytes = static_cast<std::size_t>(m_nPictureWidth) * 3;
  // The decoder hands back only pictures of the announced size.
  if (decodedSize != static_cast<int>(rowBytes) * m_nPictureHeight) return;
  {
    std::lock_guard<std::mutex> hold(pictureLock_);
    for (int row = 0; row < m_nPictureHeight; ++row) {
      if (m_bRunning.load() != 1) break;
      std::memcpy(m_pPicture.get() + row * rowBytes, m_pDecoded.get() + row * rowBytes, rowBytes);
    }
    shownWidth_ = m_nPictureWidth;
    shownHeight_ = m_nPictureHeight;
  }
  ++picturesShown_;
  if (repaint_) repaint_();
}
