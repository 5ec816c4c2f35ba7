#include "cli/pipeline.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "cli/interrupt.h"
#include "cli/padding.h"

namespace vantrel::cli {

namespace {

struct Job {
  int64_t n;
  host::WritableFrame input;
};

struct Result {
  host::Frame output;
  std::string error;
};

class Pipeline {
 public:
  Pipeline(Session& s, const Options& o, Progress& p)
      : s_(s), o_(o), progress_(p), max_in_flight_(2 * int64_t(s.chains.size()) + 2) {}

  RunResult Run() {
    std::vector<std::thread> workers;
    for (FilterChain& chain : s_.chains) workers.emplace_back([this, &chain] { Work(chain); });
    std::thread writer([this] { Write(); });
    Read();
    {
      std::lock_guard<std::mutex> lock(m_);
      input_done_ = true;
    }
    cv_.notify_all();
    for (std::thread& t : workers) t.join();
    writer.join();
    if (result_.error.empty() && !read_error_.empty()) result_.error = read_error_;
    result_.interrupted = InterruptSignal();
    return result_;
  }

 private:
  // Reads frames straight into new host frames, padding them when asked.
  void Read() {
    FrameReader& reader = *s_.reader;
    const FrameFormat& file = reader.format();
    for (int64_t n = 0; o_.max_frames < 0 || n < o_.max_frames; ++n) {
      {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return in_flight_ < max_in_flight_ || stop_; });
        if (stop_) return;
      }
      // Ctrl-C: no more frames; those already read are still written.
      if (InterruptSignal()) return;
      host::WritableFrame frame;
      std::string error;
      if (!s_.host->NewFrame(s_.format, &frame, &error)) {
        read_error_ = "cannot allocate a frame: " + error;
        return;
      }
      PlaneOut planes[3];
      for (int i = 0; i < file.plane_count; ++i) {
        const host::PlaneView p = frame.plane(s_.plane_of_file_plane[size_t(i)]);
        planes[i] = {p.data, p.pitch};
      }
      const ReadStatus status = reader.Read(planes, file.plane_count);
      if (status == ReadStatus::kEnd) return;
      if (status == ReadStatus::kError) {
        // A read cut short by Ctrl-C or by Stop() is no input error.
        if (!InterruptSignal() && !Stopped()) read_error_ = reader.error();
        return;
      }
      if (o_.pad) Pad(frame, file);
      {
        std::lock_guard<std::mutex> lock(m_);
        jobs_.push_back({n, std::move(frame)});
        ++in_flight_;
        ++frames_read_;
      }
      cv_.notify_all();
    }
  }

  void Pad(host::WritableFrame& frame, const FrameFormat& file) {
    for (int i = 0; i < file.plane_count; ++i) {
      const host::PlaneView p = frame.plane(s_.plane_of_file_plane[size_t(i)]);
      ExtendPlane(p.data, p.pitch, file.planes[i].row_bytes, file.planes[i].rows, p.row_size,
                  p.height);
    }
  }

  void Work(FilterChain& chain) {
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return !jobs_.empty() || input_done_ || stop_; });
        if (stop_ || jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      Result r;
      if (chain.source.Feed(int(job.n), &job.input, &r.error)) {
        chain.filter.GetFrame(int(job.n), &r.output, &r.error);
      }
      {
        std::lock_guard<std::mutex> lock(m_);
        done_.emplace(job.n, std::move(r));
      }
      cv_.notify_all();
    }
  }

  void Write() {
    const FrameFormat& file = s_.reader->format();
    for (int64_t n = 0;; ++n) {
      Result r;
      {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [&] { return done_.count(n) || (input_done_ && n == frames_read_); });
        if (!done_.count(n)) return;
        r = std::move(done_[n]);
        done_.erase(n);
      }
      if (!r.error.empty() || !WriteFrame(r.output, file)) {
        if (!r.error.empty()) result_.error = "frame " + std::to_string(n) + ": " + r.error;
        Stop();
        return;
      }
      r.output = host::Frame();
      progress_.FrameDone();
      ++result_.frames_written;
      {
        std::lock_guard<std::mutex> lock(m_);
        --in_flight_;
      }
      cv_.notify_all();
    }
  }

  bool WriteFrame(const host::Frame& frame, const FrameFormat& file) {
    PlaneIn planes[3];
    for (int i = 0; i < file.plane_count; ++i) {
      const host::ConstPlaneView p = frame.plane(s_.plane_of_file_plane[size_t(i)]);
      planes[i] = {p.data, p.pitch};
    }
    const WriteStatus status = s_.writer->WriteFrame(planes, file.plane_count);
    if (status == WriteStatus::kOk) return true;
    result_.broken_pipe = status == WriteStatus::kBrokenPipe;
    result_.error = s_.writer->error();
    return false;
  }

  // Nothing more can be written: the reader stops too, even if it is
  // waiting on a stalled input.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stop_ = true;
    }
    CancelReads();
    cv_.notify_all();
  }

  bool Stopped() {
    std::lock_guard<std::mutex> lock(m_);
    return stop_;
  }

  Session& s_;
  const Options& o_;
  Progress& progress_;
  const int64_t max_in_flight_;

  std::mutex m_;
  std::condition_variable cv_;
  std::deque<Job> jobs_;
  std::map<int64_t, Result> done_;
  int64_t in_flight_ = 0;
  int64_t frames_read_ = 0;
  bool input_done_ = false;
  bool stop_ = false;

  std::string read_error_;
  RunResult result_;
};

}  // namespace

RunResult RunPipeline(Session& session, const Options& options, Progress& progress) {
  return Pipeline(session, options, progress).Run();
}

}  // namespace vantrel::cli
