#include "bench/video/ClipSchreiber.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace vrd4::testclip {

QRgb farbeVonBild(int i) {
  static const QRgb kFarben[] = {qRgb(230, 30, 30),  qRgb(30, 200, 40),  qRgb(40, 60, 230),
                                 qRgb(240, 230, 40), qRgb(230, 40, 220), qRgb(40, 220, 220),
                                 qRgb(250, 250, 250), qRgb(120, 60, 10), qRgb(20, 20, 20),
                                 qRgb(130, 130, 130)};
  return kFarben[i % 10];
}

std::vector<uint8_t> mjpegAvi(int w, int h, int n, int fps, const std::function<QImage(int)>& bild) {
  char pfad[] = "/tmp/vrd4-clipXXXXXX.avi";
  const int fd = mkstemps(pfad, 4);
  if (fd < 0) return {};
  close(fd);
  av_log_set_level(AV_LOG_ERROR);
  std::vector<uint8_t> out;
  AVFormatContext* oc = nullptr;
  AVCodecContext* enc = nullptr;
  SwsContext* sws = nullptr;
  AVFrame* frame = av_frame_alloc();
  AVPacket* pkt = av_packet_alloc();
  bool ok = avformat_alloc_output_context2(&oc, nullptr, "avi", pfad) >= 0;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  AVStream* st = ok && codec ? avformat_new_stream(oc, nullptr) : nullptr;
  if (st) enc = avcodec_alloc_context3(codec);
  if (enc) {
    enc->width = w;
    enc->height = h;
    enc->time_base = AVRational{1, fps};
    enc->framerate = AVRational{fps, 1};
    enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 2;
    ok = avcodec_open2(enc, codec, nullptr) >= 0 && avcodec_parameters_from_context(st->codecpar, enc) >= 0;
    st->time_base = enc->time_base;
    ok = ok && avio_open(&oc->pb, pfad, AVIO_FLAG_WRITE) >= 0 && avformat_write_header(oc, nullptr) >= 0;
  } else {
    ok = false;
  }
  if (ok) {
    frame->format = enc->pix_fmt;
    frame->width = w;
    frame->height = h;
    ok = av_frame_get_buffer(frame, 0) >= 0;
  }
  auto schreiben = [&](AVFrame* f) {
    if (avcodec_send_frame(enc, f) < 0) return false;
    while (avcodec_receive_packet(enc, pkt) == 0) {
      av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
      pkt->stream_index = st->index;
      if (av_interleaved_write_frame(oc, pkt) < 0) return false;
    }
    return true;
  };
  for (int i = 0; ok && i < n; ++i) {
    const QImage q = bild(i).convertToFormat(QImage::Format_RGB32);
    sws = sws_getCachedContext(sws, q.width(), q.height(), AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_YUVJ420P,
                               SWS_BILINEAR, nullptr, nullptr, nullptr);
    ok = sws && av_frame_make_writable(frame) >= 0;
    if (!ok) break;
    const uint8_t* quelle[4] = {q.constBits(), nullptr, nullptr, nullptr};
    const int zeilen[4] = {static_cast<int>(q.bytesPerLine()), 0, 0, 0};
    sws_scale(sws, quelle, zeilen, 0, q.height(), frame->data, frame->linesize);
    frame->pts = i;
    frame->quality = enc->global_quality;
    ok = schreiben(frame);
  }
  if (ok) ok = schreiben(nullptr) && av_write_trailer(oc) >= 0;
  if (oc && oc->pb) avio_closep(&oc->pb);
  if (ok) {
    if (FILE* f = std::fopen(pfad, "rb")) {
      uint8_t puffer[65536];
      for (size_t k; (k = std::fread(puffer, 1, sizeof puffer, f)) > 0;) out.insert(out.end(), puffer, puffer + k);
      std::fclose(f);
    }
  }
  unlink(pfad);
  sws_freeContext(sws);
  av_packet_free(&pkt);
  av_frame_free(&frame);
  avcodec_free_context(&enc);
  avformat_free_context(oc);
  return out;
}

}  // namespace vrd4::testclip
