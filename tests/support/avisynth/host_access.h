// The host side of the interface types: building frames and buffers, and
// reading the counts the host recycles by. Only host code and host tests
// include this.
#ifndef VANTREL_HOST_HOST_ACCESS_H
#define VANTREL_HOST_HOST_ACCESS_H

#include "sdk/avisynth.h"

struct AvsHostAccess {
  static void InitBuffer(VideoFrameBuffer& buffer, BYTE* data, int data_size) {
    buffer.data = data;
    buffer.data_size = data_size;
    buffer.sequence_number = 0;
    __atomic_store_n(&buffer.refcount, 0, __ATOMIC_RELEASE);
  }

  struct Planes {
    int offset, pitch, row_size, height;
    int offsetU, offsetV, pitchUV;
  };
  // A new frame holds its buffer (buffer count + 1) but has no holder itself
  // yet: wrapping it in a PVideoFrame takes its count to 1.
  static void InitFrame(VideoFrame& frame, VideoFrameBuffer& buffer, const Planes& p) {
    __atomic_store_n(&frame.refcount, 0, __ATOMIC_RELEASE);
    frame.vfb = &buffer;
    frame.offset = p.offset;
    frame.pitch = p.pitch;
    frame.row_size = p.row_size;
    frame.height = p.height;
    frame.offsetU = p.offsetU;
    frame.offsetV = p.offsetV;
    frame.pitchUV = p.pitchUV;
    __atomic_add_fetch(&buffer.refcount, 1, __ATOMIC_ACQ_REL);
  }

  // Every frame of the stand-in host: the interface's frame and the sizes of
  // its chroma planes, kept beside it as AviSynth+ does (the 2.5 interface
  // answers row_size / 2 and height / 2, true for 4:2:0 only).
  struct Frame;

  static long FrameRefcount(const VideoFrame& f) {
    return __atomic_load_n(&f.refcount, __ATOMIC_ACQUIRE);
  }
  static long BufferRefcount(const VideoFrameBuffer& b) { return b.GetRefcount(); }
  static long ClipRefcount(const IClip& c) { return __atomic_load_n(&c.refcnt, __ATOMIC_ACQUIRE); }
  static void ReleaseClip(IClip& c) { c.Release(); }
};

struct AvsHostAccess::Frame : VideoFrame {
  int row_size_uv = 0;
  int height_uv = 0;
  static const Frame& Of(const VideoFrame& f) { return static_cast<const Frame&>(f); }
};

#endif  // VANTREL_HOST_HOST_ACCESS_H
