// Frame memory for the reader targets in the layouts the tool's callers use:
// one block, planes apart, lines padded, or lines bottom-up (negative pitch).
// Each plane is its own exact-size allocation, so a write past it is caught.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "cli/frame_io.h"

namespace vantrel::fuzz {

enum class PlaneLayout { kBlock, kTight, kPadded, kBottomUp };

class PlaneBuffers {
 public:
  PlaneBuffers(const cli::FrameFormat& format, PlaneLayout layout, int padding)
      : format_(format), layout_(layout) {
    if (layout == PlaneLayout::kBlock) {
      block_.reset(new uint8_t[format.frame_bytes]);
      return;
    }
    for (int i = 0; i < format.plane_count; ++i) {
      const cli::PlaneShape& s = format.planes[i];
      const ptrdiff_t pitch = s.row_bytes + (layout == PlaneLayout::kPadded ? padding : 0);
      const size_t bytes = size_t(pitch) * size_t(s.rows);
      memory_[i].reset(new uint8_t[bytes]);
      std::memset(memory_[i].get(), 0xA5, bytes);
      if (layout == PlaneLayout::kBottomUp) {
        out_[i] = {memory_[i].get() + size_t(s.rows - 1) * size_t(pitch), -pitch};
      } else {
        out_[i] = {memory_[i].get(), pitch};
      }
    }
  }

  cli::ReadStatus ReadFrom(cli::FrameReader& reader) {
    if (layout_ == PlaneLayout::kBlock) return reader.Read(block_.get());
    return reader.Read(out_, format_.plane_count);
  }

  cli::WriteStatus WriteTo(cli::FrameWriter& writer) const {
    if (layout_ == PlaneLayout::kBlock) return writer.WriteFrame(block_.get());
    cli::PlaneIn in[3];
    for (int i = 0; i < format_.plane_count; ++i) in[i] = {out_[i].data, out_[i].pitch};
    return writer.WriteFrame(in, format_.plane_count);
  }

  // The frame as the file stores it: planes in order, lines without padding.
  std::string FileBytes() const {
    if (layout_ == PlaneLayout::kBlock) {
      return std::string(reinterpret_cast<const char*>(block_.get()), format_.frame_bytes);
    }
    std::string out;
    for (int i = 0; i < format_.plane_count; ++i) {
      const cli::PlaneShape& s = format_.planes[i];
      for (int32_t y = 0; y < s.rows; ++y) {
        const uint8_t* line = out_[i].data + out_[i].pitch * ptrdiff_t(y);
        out.append(reinterpret_cast<const char*>(line), size_t(s.row_bytes));
      }
    }
    return out;
  }

  // True when no padding byte between lines was written.
  bool PaddingIntact() const {
    if (layout_ != PlaneLayout::kPadded) return true;
    for (int i = 0; i < format_.plane_count; ++i) {
      const cli::PlaneShape& s = format_.planes[i];
      for (int32_t y = 0; y < s.rows; ++y) {
        const uint8_t* line = out_[i].data + out_[i].pitch * ptrdiff_t(y);
        for (ptrdiff_t x = s.row_bytes; x < out_[i].pitch; ++x) {
          if (line[x] != 0xA5) return false;
        }
      }
    }
    return true;
  }

 private:
  cli::FrameFormat format_;
  PlaneLayout layout_;
  std::unique_ptr<uint8_t[]> block_;
  std::unique_ptr<uint8_t[]> memory_[3];
  cli::PlaneOut out_[3];
};

}  // namespace vantrel::fuzz
