// The decoder frame pool with real decoders and filter graphs: pictures of
// testsrc2 are encoded in the test, decoded through the pool (with frame
// threads too), pushed into a buffer source that keeps its reference, and
// compared with a decode on the libraries' own buffers.
#include "FramePool.h"
#include "LibAV.h"
#include "LibAVForTests.h"
#include "LibAVOwners.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using TPixels = std::vector<uint8_t>;

// The visible pixels of a planar YUV 4:2:0 picture, plane after plane.
TPixels PixelsOf(const AVFrame* AFrame) {
  TPixels pixels;
  for (int p = 0; p < 3; ++p) {
    const int width = p == 0 ? AFrame->width : (AFrame->width + 1) / 2;
    const int height = p == 0 ? AFrame->height : (AFrame->height + 1) / 2;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = AFrame->data[p] + static_cast<ptrdiff_t>(y) * AFrame->linesize[p];
      pixels.insert(pixels.end(), row, row + width);
    }
  }
  return pixels;
}

AVFilterContext* CreateFilter(AVFilterGraph* AGraph, const char* AFilter, const char* AName,
                              const std::string& AArgs) {
  AVFilterContext* context = nullptr;
  const int ret =
      AV.avfilter_graph_create_filter(&context, AV.avfilter_get_by_name(AFilter), AName,
                                      AArgs.empty() ? nullptr : AArgs.c_str(), nullptr, AGraph);
  EXPECT_GE(ret, 0) << AFilter << " " << AArgs;
  return context;
}

// ACount pictures of testsrc2, made by a real filter graph.
std::vector<TFramePtr> MakePictures(int AWidth, int AHeight, int ACount, AVPixelFormat AFormat) {
  TFilterGraphPtr graph(AV.avfilter_graph_alloc());
  AVFilterContext* source =
      CreateFilter(graph.get(), "testsrc2", "src",
                   "size=" + std::to_string(AWidth) + "x" + std::to_string(AHeight) + ":rate=25");
  AVFilterContext* format = CreateFilter(
      graph.get(), "format", "format", std::string("pix_fmts=") + AV.av_get_pix_fmt_name(AFormat));
  AVFilterContext* sink = CreateFilter(graph.get(), "buffersink", "sink", "");
  EXPECT_EQ(AV.avfilter_link(source, 0, format, 0), 0);
  EXPECT_EQ(AV.avfilter_link(format, 0, sink, 0), 0);
  EXPECT_GE(AV.avfilter_graph_config(graph.get(), nullptr), 0);
  std::vector<TFramePtr> pictures;
  for (int i = 0; i < ACount; ++i) {
    TFramePtr picture(AV.av_frame_alloc());
    EXPECT_GE(AV.av_buffersink_get_frame(sink, picture.get()), 0);
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

// The pictures encoded with the libraries' own encoder, appended to APackets.
void Encode(AVCodecID ACodec, std::vector<TFramePtr>& APictures,
            std::vector<TPacketPtr>& APackets) {
  const AVCodec* codec = AV.avcodec_find_encoder(ACodec);
  ASSERT_NE(codec, nullptr);
  TCodecContextPtr context(AV.avcodec_alloc_context3(codec));
  context->width = APictures.front()->width;
  context->height = APictures.front()->height;
  context->pix_fmt = static_cast<AVPixelFormat>(APictures.front()->format);
  context->time_base = {1, 25};
  context->framerate = {25, 1};
  context->gop_size = 10;
  context->max_b_frames = ACodec == AV_CODEC_ID_MJPEG ? 0 : 2;
  ASSERT_EQ(AV.avcodec_open2(context.get(), codec, nullptr), 0);
  auto drain = [&] {
    for (;;) {
      TPacketPtr packet(AV.av_packet_alloc());
      if (AV.avcodec_receive_packet(context.get(), packet.get()) < 0) return;
      APackets.push_back(std::move(packet));
    }
  };
  for (size_t i = 0; i < APictures.size(); ++i) {
    APictures[i]->pts = static_cast<int64_t>(i);
    ASSERT_EQ(AV.avcodec_send_frame(context.get(), APictures[i].get()), 0);
    drain();
  }
  ASSERT_EQ(AV.avcodec_send_frame(context.get(), nullptr), 0);
  drain();
}

TCodecContextPtr OpenDecoder(AVCodecID ACodec, int AThreads, TFramePool* APool) {
  const AVCodec* codec = AV.avcodec_find_decoder(ACodec);
  EXPECT_NE(codec, nullptr);
  TCodecContextPtr context(AV.avcodec_alloc_context3(codec));
  context->thread_count = AThreads;
  context->thread_type = FF_THREAD_FRAME;
  if (APool) APool->Install(context.get());
  EXPECT_EQ(AV.avcodec_open2(context.get(), codec, nullptr), 0);
  return context;
}

// Decodes every packet and drains the decoder; each decoded frame goes to
// AOnFrame, and the decoder's frame is unreferenced after it.
void DecodeAll(AVCodecContext* AContext, const std::vector<TPacketPtr>& APackets,
               const std::function<void(AVFrame*)>& AOnFrame) {
  TFramePtr frame(AV.av_frame_alloc());
  auto receive = [&] {
    while (AV.avcodec_receive_frame(AContext, frame.get()) == 0) {
      AOnFrame(frame.get());
      AV.av_frame_unref(frame.get());
    }
  };
  for (const TPacketPtr& packet : APackets) {
    ASSERT_EQ(AV.avcodec_send_packet(AContext, packet.get()), 0);
    receive();
  }
  ASSERT_EQ(AV.avcodec_send_packet(AContext, nullptr), 0);
  receive();
}

// What a decode on the libraries' own buffers gives.
std::vector<TPixels> ReferenceDecode(AVCodecID ACodec, const std::vector<TPacketPtr>& APackets) {
  std::vector<TPixels> pictures;
  TCodecContextPtr decoder = OpenDecoder(ACodec, 1, nullptr);
  DecodeAll(decoder.get(), APackets,
            [&](AVFrame* AFrame) { pictures.push_back(PixelsOf(AFrame)); });
  return pictures;
}

// buffer -> null -> buffersink: the sink hands out the very buffers pushed in.
struct TPassGraph {
  TPassGraph(int AWidth, int AHeight, AVPixelFormat AFormat) : Graph(AV.avfilter_graph_alloc()) {
    char args[160];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1",
                  AWidth, AHeight, static_cast<int>(AFormat));
    Source = CreateFilter(Graph.get(), "buffer", "in", args);
    AVFilterContext* pass = CreateFilter(Graph.get(), "null", "pass", "");
    Sink = CreateFilter(Graph.get(), "buffersink", "out", "");
    EXPECT_EQ(AV.avfilter_link(Source, 0, pass, 0), 0);
    EXPECT_EQ(AV.avfilter_link(pass, 0, Sink, 0), 0);
    EXPECT_GE(AV.avfilter_graph_config(Graph.get(), nullptr), 0);
  }
  // Pushes AFrame as the task does (the graph takes a reference of its own)
  // and answers what comes out.
  std::vector<TFramePtr> Filter(AVFrame* AFrame) {
    EXPECT_EQ(AV.av_buffersrc_add_frame_flags(Source, AFrame, AV_BUFFERSRC_FLAG_KEEP_REF), 0);
    std::vector<TFramePtr> out;
    for (;;) {
      TFramePtr frame(AV.av_frame_alloc());
      if (AV.av_buffersink_get_frame(Sink, frame.get()) < 0) return out;
      out.push_back(std::move(frame));
    }
  }
  TFilterGraphPtr Graph;
  AVFilterContext* Source = nullptr;
  AVFilterContext* Sink = nullptr;
};

class FramePool : public ::testing::Test {
protected:
  void SetUp() override { LoadLibAVForTest(); }

  // 176x144 MJPEG pictures: intra-only, so the decoder keeps no picture.
  static std::vector<TPacketPtr> MJPEGPackets(int AWidth, int AHeight, int ACount) {
    std::vector<TFramePtr> pictures = MakePictures(AWidth, AHeight, ACount, AV_PIX_FMT_YUVJ420P);
    std::vector<TPacketPtr> packets;
    Encode(AV_CODEC_ID_MJPEG, pictures, packets);
    return packets;
  }
};

class FramePoolThreads : public FramePool, public ::testing::WithParamInterface<int> {};

// MPEG-4 with B-frames: the decoder keeps reference pictures, frame threads
// decode several pictures at once, and the graph holds every output frame
// until the end. Had the pool handed out a buffer still held anywhere, a
// held picture would have been overwritten.
TEST_P(FramePoolThreads, DecodesIntoPooledBuffersThatTheGraphKeeps) {
  const int threads = GetParam();
  std::vector<TFramePtr> pictures = MakePictures(176, 144, 40, AV_PIX_FMT_YUV420P);
  std::vector<TPacketPtr> packets;
  Encode(AV_CODEC_ID_MPEG4, pictures, packets);
  const std::vector<TPixels> want = ReferenceDecode(AV_CODEC_ID_MPEG4, packets);
  ASSERT_EQ(want.size(), 40u);

  TFramePool pool;
  std::vector<TFramePtr> held;
  {
    TCodecContextPtr decoder = OpenDecoder(AV_CODEC_ID_MPEG4, threads, &pool);
    if (threads > 1) {
      EXPECT_EQ(decoder->active_thread_type, FF_THREAD_FRAME);
    }
    TPassGraph graph(176, 144, AV_PIX_FMT_YUV420P);
    DecodeAll(decoder.get(), packets, [&](AVFrame* AFrame) {
      for (TFramePtr& out : graph.Filter(AFrame))
        held.push_back(std::move(out));
    });
    ASSERT_EQ(held.size(), want.size());
    // Every held picture lies in a buffer of its own from the pool.
    EXPECT_GE(pool.BufferCount(), static_cast<int>(held.size()));
    for (size_t i = 0; i < held.size(); ++i)
      ASSERT_EQ(PixelsOf(held[i].get()), want[i]) << "picture " << i;
    held.clear();
  }
  // Decoder, graph and frames gone: every buffer is back, none is lost.
  EXPECT_GT(pool.BufferCount(), 0);
  EXPECT_EQ(pool.IdleCount(), pool.BufferCount());
}

// Released at once, buffers come back and are handed out again.
TEST_P(FramePoolThreads, ReusesBuffersReleasedAfterFiltering) {
  const int threads = GetParam();
  std::vector<TFramePtr> pictures = MakePictures(176, 144, 60, AV_PIX_FMT_YUV420P);
  std::vector<TPacketPtr> packets;
  Encode(AV_CODEC_ID_MPEG4, pictures, packets);
  const std::vector<TPixels> want = ReferenceDecode(AV_CODEC_ID_MPEG4, packets);

  TFramePool pool;
  size_t index = 0;
  {
    TCodecContextPtr decoder = OpenDecoder(AV_CODEC_ID_MPEG4, threads, &pool);
    TPassGraph graph(176, 144, AV_PIX_FMT_YUV420P);
    DecodeAll(decoder.get(), packets, [&](AVFrame* AFrame) {
      for (TFramePtr& out : graph.Filter(AFrame)) {
        ASSERT_LT(index, want.size());
        EXPECT_EQ(PixelsOf(out.get()), want[index]) << "picture " << index;
        ++index;
      }
    });
  }
  EXPECT_EQ(index, want.size());
  // The decoder's references and one picture per thread in flight, not one
  // buffer per picture.
  EXPECT_LE(pool.BufferCount(), 2 * threads + 4);
  EXPECT_EQ(pool.IdleCount(), pool.BufferCount());
}

INSTANTIATE_TEST_SUITE_P(Threads, FramePoolThreads, ::testing::Values(1, 4),
                         [](const auto& AInfo) { return std::to_string(AInfo.param) + "Threads"; });

TEST_F(FramePool, DecodingFilteringAndReleasingAPictureLeavesOneBuffer) {
  std::vector<TPacketPtr> packets = MJPEGPackets(176, 144, 5);
  const std::vector<TPixels> want = ReferenceDecode(AV_CODEC_ID_MJPEG, packets);
  TFramePool pool;
  TCodecContextPtr decoder = OpenDecoder(AV_CODEC_ID_MJPEG, 1, &pool);
  TPassGraph graph(176, 144, AV_PIX_FMT_YUVJ420P);
  size_t index = 0;
  DecodeAll(decoder.get(), packets, [&](AVFrame* AFrame) {
    std::vector<TFramePtr> out = graph.Filter(AFrame);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]->data[0], AFrame->data[0]) << "passed on by reference, not copied";
    EXPECT_EQ(PixelsOf(out[0].get()), want[index++]);
    EXPECT_EQ(pool.IdleCount(), 0) << "held by the decoder's frame and the graph's";
  });
  EXPECT_EQ(index, want.size());
  // One buffer served every picture; the decoder keeps the last picture
  // until it is closed.
  EXPECT_EQ(pool.BufferCount(), 1);
  decoder.reset();
  EXPECT_EQ(pool.BufferCount(), 1);
  EXPECT_EQ(pool.IdleCount(), 1);
}

TEST_F(FramePool, ASizeChangeReplacesThePooledBuffers) {
  std::vector<TPacketPtr> packets = MJPEGPackets(176, 144, 3);
  std::vector<TPacketPtr> larger = MJPEGPackets(320, 240, 3);
  for (TPacketPtr& packet : larger)
    packets.push_back(std::move(packet));
  const std::vector<TPixels> want = ReferenceDecode(AV_CODEC_ID_MJPEG, packets);
  ASSERT_EQ(want.size(), 6u);

  TFramePool pool;
  TCodecContextPtr decoder = OpenDecoder(AV_CODEC_ID_MJPEG, 1, &pool);
  std::unique_ptr<TPassGraph> graph;
  TFramePtr lastSmall;
  size_t index = 0;
  DecodeAll(decoder.get(), packets, [&](AVFrame* AFrame) {
    const bool small = index < 3;
    ASSERT_EQ(AFrame->width, small ? 176 : 320);
    ASSERT_EQ(AFrame->height, small ? 144 : 240);
    if (!graph || index == 3)
      graph = std::make_unique<TPassGraph>(AFrame->width, AFrame->height, AV_PIX_FMT_YUVJ420P);
    std::vector<TFramePtr> out = graph->Filter(AFrame);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(PixelsOf(out[0].get()), want[index]) << "picture " << index;
    if (index == 2) lastSmall = std::move(out[0]);
    ++index;
  });
  EXPECT_EQ(index, 6u);
  // The small picture still held, and one large buffer for the rest.
  EXPECT_EQ(pool.BufferCount(), 2);
  EXPECT_EQ(PixelsOf(lastSmall.get()), want[2]) << "the held picture was left alone";
  lastSmall.reset();
  // It was of the old size: freed, not pooled.
  EXPECT_EQ(pool.BufferCount(), 1);
  decoder.reset();
  EXPECT_EQ(pool.IdleCount(), 1);
}

TEST_F(FramePool, MayGoWhileAFrameStillHoldsOneOfItsBuffers) {
  std::vector<TPacketPtr> packets = MJPEGPackets(176, 144, 2);
  const std::vector<TPixels> want = ReferenceDecode(AV_CODEC_ID_MJPEG, packets);
  auto pool = std::make_unique<TFramePool>();
  TCodecContextPtr decoder = OpenDecoder(AV_CODEC_ID_MJPEG, 1, pool.get());
  TPassGraph graph(176, 144, AV_PIX_FMT_YUVJ420P);
  TFramePtr kept;
  ASSERT_EQ(AV.avcodec_send_packet(decoder.get(), packets[0].get()), 0);
  TFramePtr frame(AV.av_frame_alloc());
  ASSERT_EQ(AV.avcodec_receive_frame(decoder.get(), frame.get()), 0);
  // One reference in the graph, one in a frame of our own.
  ASSERT_EQ(AV.av_buffersrc_add_frame_flags(graph.Source, frame.get(), AV_BUFFERSRC_FLAG_KEEP_REF),
            0);
  kept.reset(AV.av_frame_clone(frame.get()));
  frame.reset();
  decoder.reset();
  pool.reset();

  EXPECT_EQ(PixelsOf(kept.get()), want[0]);
  std::vector<TFramePtr> out = graph.Filter(nullptr);
  kept.reset();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(PixelsOf(out[0].get()), want[0]);
  // The last reference frees the buffer (the sanitizer build checks that
  // nothing is touched after the pool went, and nothing leaks).
  out.clear();
}

// ---- The callback on its own, on opened decoder contexts ----

TFramePtr FrameOf(AVPixelFormat AFormat, int AWidth, int AHeight) {
  TFramePtr frame(AV.av_frame_alloc());
  frame->format = AFormat;
  frame->width = AWidth;
  frame->height = AHeight;
  return frame;
}

TCodecContextPtr OpenVideoDecoder(AVCodecID ACodec, TFramePool* APool) {
  const AVCodec* codec = AV.avcodec_find_decoder(ACodec);
  TCodecContextPtr context(AV.avcodec_alloc_context3(codec));
  context->width = 100;
  context->height = 50;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  if (APool) APool->Install(context.get());
  EXPECT_EQ(AV.avcodec_open2(context.get(), codec, nullptr), 0);
  return context;
}

TEST_F(FramePool, HandsOutEachBufferOnceAndTakesItBackFromAnyReference) {
  TFramePool pool;
  TCodecContextPtr decoder = OpenVideoDecoder(AV_CODEC_ID_MJPEG, &pool);
  ASSERT_TRUE(decoder->codec->capabilities & AV_CODEC_CAP_DR1);
  TFramePtr a = FrameOf(AV_PIX_FMT_YUV420P, 100, 50);
  TFramePtr b = FrameOf(AV_PIX_FMT_YUV420P, 100, 50);
  ASSERT_EQ(decoder->get_buffer2(decoder.get(), a.get(), 0), 0);
  ASSERT_EQ(TFramePool::GetBuffer2(decoder.get(), b.get(), 0), 0);
  EXPECT_EQ(pool.BufferCount(), 2);
  EXPECT_EQ(pool.IdleCount(), 0);
  ASSERT_NE(a->buf[0], nullptr);
  EXPECT_NE(a->data[0], b->data[0]);
  EXPECT_EQ(a->extended_data, a->data);
  const size_t cpuAlign = AV.av_cpu_max_align();
  for (int p = 0; p < 3; ++p) {
    ASSERT_NE(a->data[p], nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a->data[p]) % cpuAlign, 0u) << "plane " << p;
    EXPECT_EQ(a->linesize[p] % static_cast<int>(cpuAlign), 0) << "plane " << p;
    EXPECT_GE(a->linesize[p], p == 0 ? 100 : 50);
    // Each plane lies inside the buffer (the sanitizer build checks the writes).
    const int rows = p == 0 ? 50 : 25;
    EXPECT_GE(a->data[p], a->buf[0]->data);
    EXPECT_LE(a->data[p] + static_cast<ptrdiff_t>(rows) * a->linesize[p],
              a->buf[0]->data + a->buf[0]->size);
    std::memset(a->data[p], 0x5A, static_cast<size_t>(rows) * a->linesize[p]);
  }

  // A second reference keeps the buffer out after the first one goes.
  uint8_t* const first = a->data[0];
  TFramePtr copy(AV.av_frame_clone(a.get()));
  AV.av_frame_unref(a.get());
  EXPECT_EQ(pool.IdleCount(), 0);
  copy.reset();
  EXPECT_EQ(pool.IdleCount(), 1);
  TFramePtr c = FrameOf(AV_PIX_FMT_YUV420P, 100, 50);
  ASSERT_EQ(TFramePool::GetBuffer2(decoder.get(), c.get(), 0), 0);
  EXPECT_EQ(c->data[0], first) << "the returned buffer is handed out again";
  EXPECT_EQ(pool.BufferCount(), 2);
  b.reset();
  c.reset();
  EXPECT_EQ(pool.IdleCount(), 2);

  // Another size: the waiting buffers do not fit and are freed.
  TFramePtr d = FrameOf(AV_PIX_FMT_YUV420P, 64, 64);
  ASSERT_EQ(TFramePool::GetBuffer2(decoder.get(), d.get(), 0), 0);
  EXPECT_EQ(pool.BufferCount(), 1);
  EXPECT_EQ(pool.IdleCount(), 0);
  std::memset(d->data[0], 0, static_cast<size_t>(64) * d->linesize[0]);
}

TEST_F(FramePool, RefusesInvalidImageParameters) {
  TLogCapture log;
  TFramePool pool;
  TCodecContextPtr decoder = OpenVideoDecoder(AV_CODEC_ID_MJPEG, &pool);
  // Every size but the first draws a complaint of its own from the size
  // check before the pool's line, so the logger's repeat count hides none.
  const TFramePtr cases[] = {FrameOf(AV_PIX_FMT_NONE, 100, 50), FrameOf(AV_PIX_FMT_YUV420P, 0, 50),
                             FrameOf(AV_PIX_FMT_YUV420P, 100, -1),
                             FrameOf(AV_PIX_FMT_YUV420P, 1 << 30, 1 << 30)};
  for (const TFramePtr& frame : cases) {
    log.Clear();
    EXPECT_EQ(TFramePool::GetBuffer2(decoder.get(), frame.get(), 0), -1);
    EXPECT_EQ(frame->buf[0], nullptr);
    EXPECT_GE(log.Find("codec_get_buffer: image parameters invalid"), 0);
  }
  EXPECT_EQ(pool.BufferCount(), 0);
}

// Decoders that cannot take memory of ours, sound, and contexts without a
// pool get the libraries' own buffers.
TEST_F(FramePool, LeavesWhatItCannotServeToTheLibraries) {
  TFramePool pool;
  {
    // The raw video decoder decodes without caller memory.
    TCodecContextPtr raw = OpenVideoDecoder(AV_CODEC_ID_RAWVIDEO, &pool);
    ASSERT_FALSE(raw->codec->capabilities & AV_CODEC_CAP_DR1);
    TFramePtr frame = FrameOf(AV_PIX_FMT_YUV420P, 100, 50);
    ASSERT_EQ(TFramePool::GetBuffer2(raw.get(), frame.get(), 0), 0);
    EXPECT_NE(frame->buf[0], nullptr);
  }
  {
    TCodecContextPtr unpooled = OpenVideoDecoder(AV_CODEC_ID_MJPEG, nullptr);
    unpooled->opaque = nullptr;
    TFramePtr frame = FrameOf(AV_PIX_FMT_YUV420P, 100, 50);
    ASSERT_EQ(TFramePool::GetBuffer2(unpooled.get(), frame.get(), 0), 0);
    EXPECT_NE(frame->buf[0], nullptr);
  }
  {
    // Sound, through a real decode.
    const AVCodec* codec = AV.avcodec_find_decoder(AV_CODEC_ID_PCM_S16LE);
    TCodecContextPtr pcm(AV.avcodec_alloc_context3(codec));
    pcm->sample_rate = 8000;
    AV.av_channel_layout_default(&pcm->ch_layout, 1);
    pool.Install(pcm.get());
    ASSERT_EQ(AV.avcodec_open2(pcm.get(), codec, nullptr), 0);
    TPacketPtr packet(AV.av_packet_alloc());
    ASSERT_EQ(AV.av_new_packet(packet.get(), 2000), 0);
    std::memset(packet->data, 0x11, 2000);
    ASSERT_EQ(AV.avcodec_send_packet(pcm.get(), packet.get()), 0);
    TFramePtr frame(AV.av_frame_alloc());
    ASSERT_EQ(AV.avcodec_receive_frame(pcm.get(), frame.get()), 0);
    EXPECT_EQ(frame->nb_samples, 1000);
    EXPECT_EQ(reinterpret_cast<const int16_t*>(frame->data[0])[999], 0x1111);
  }
  {
    // A hardware surface is the hardware's business.
    TCodecContextPtr decoder = OpenVideoDecoder(AV_CODEC_ID_MJPEG, &pool);
    TFramePtr frame = FrameOf(AV_PIX_FMT_VAAPI, 100, 50);
    TFramePtr twin = FrameOf(AV_PIX_FMT_VAAPI, 100, 50);
    EXPECT_EQ(TFramePool::GetBuffer2(decoder.get(), frame.get(), 0),
              AV.avcodec_default_get_buffer2(decoder.get(), twin.get(), 0));
  }
  EXPECT_EQ(pool.BufferCount(), 0);
}

// Buffers handed out and returned by several threads at once (the sanitizer
// builds watch the pool's lock).
TEST_F(FramePool, ThreadsTakeAndReturnBuffersAtOnce) {
  TFramePool pool;
  TCodecContextPtr decoder = OpenVideoDecoder(AV_CODEC_ID_MJPEG, &pool);
  constexpr int kThreads = 4;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        TFramePtr frame = FrameOf(AV_PIX_FMT_YUV420P, 100, 50);
        if (TFramePool::GetBuffer2(decoder.get(), frame.get(), 0) != 0) {
          ADD_FAILURE() << "no buffer";
          return;
        }
        frame->data[0][0] = static_cast<uint8_t>(i);
        // Returned by another reference than the one handed out.
        TFramePtr other(AV.av_frame_clone(frame.get()));
        frame.reset();
      }
    });
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_GE(pool.BufferCount(), 1);
  EXPECT_LE(pool.BufferCount(), kThreads);
  EXPECT_EQ(pool.IdleCount(), pool.BufferCount());
}

} // namespace
