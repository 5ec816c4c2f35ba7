// Plane-by-plane access to host frames, whatever their layout: tight copies
// in and out, and a check that nothing was written outside the planes.
#ifndef VANTREL_HOST_FRAME_PLANES_H
#define VANTREL_HOST_FRAME_PLANES_H

#include <cstddef>
#include <vector>

#include "sdk/avisynth.h"

namespace vantrel::host {

// PLANAR_Y, PLANAR_U, PLANAR_V for a planar frame, else the single plane 0.
// Always by identity (Y, U, V), never by memory order.
std::vector<int> PlanesOf(const VideoFrame& frame);

// Bytes of one line of the plane and its lines, as the host made them (the
// interface's own answers hold for 4:2:0 chroma only).
int RowSizeOf(const VideoFrame& frame, int plane);
int HeightOf(const VideoFrame& frame, int plane);

// Bytes of all planes with no padding.
size_t TightSize(const VideoFrame& frame);

// The planes' bytes, Y then U then V, lines without padding.
std::vector<BYTE> CopyOut(const VideoFrame& frame);

// Fills the planes from tight bytes, Y then U then V. Throws HostError when
// the frame is not writable or the size is not TightSize.
void CopyIn(const PVideoFrame& frame, const std::vector<BYTE>& tight);

// True when every byte of the frame's buffer outside its planes' rows still
// holds kGuardByte, as a host-like frame is handed out.
bool OutsidePlanesIntact(const VideoFrame& frame);

}  // namespace vantrel::host

#endif  // VANTREL_HOST_FRAME_PLANES_H
