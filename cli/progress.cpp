#include "cli/progress.h"

#include <cstdio>

namespace vantrel::cli {

Progress::Progress(bool enabled, int64_t total)
    : enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()),
      last_draw_(start_) {}

void Progress::FrameDone() {
  ++frames_;
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_draw_ < std::chrono::milliseconds(250)) return;
  last_draw_ = now;
  Draw(std::chrono::duration<double>(now - start_).count());
}

void Progress::Draw(double seconds) {
  const double fps = seconds > 0 ? frames_ / seconds : 0;
  if (total_ > 0) {
    const double left = fps > 0 ? double(total_ - frames_) / fps : 0;
    std::fprintf(stderr, "\rvantrel: %lld/%lld frames (%.1f%%), %.1f fps, %.0f s left   ",
                 static_cast<long long>(frames_), static_cast<long long>(total_),
                 100.0 * double(frames_) / double(total_), fps, left);
  } else {
    std::fprintf(stderr, "\rvantrel: %lld frame%s, %.1f fps   ", static_cast<long long>(frames_),
                 frames_ == 1 ? "" : "s", fps);
  }
  drawn_ = true;
}

void Progress::Finish() {
  if (!enabled_) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (drawn_) std::fputc('\r', stderr);
  std::fprintf(stderr, "vantrel: %lld frame%s in %.2f s (%.1f fps)%40s\n",
               static_cast<long long>(frames_), frames_ == 1 ? "" : "s", seconds,
               seconds > 0 ? frames_ / seconds : 0.0, "");
}

}  // namespace vantrel::cli
