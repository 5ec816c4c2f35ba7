// The one-line progress display on standard error and the closing summary.
#pragma once

#include <chrono>
#include <cstdint>

namespace vantrel::cli {

class Progress {
 public:
  // total < 0 when the number of frames is not known.
  Progress(bool enabled, int64_t total);
  // Called after each frame is written; redraws at most a few times a second.
  void FrameDone();
  // Ends the line and prints frames, seconds and frames per second.
  void Finish();

 private:
  void Draw(double seconds);

  bool enabled_;
  int64_t total_;
  int64_t frames_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  bool drawn_ = false;
};

}  // namespace vantrel::cli
