#include "cli/pipeline.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "cli/interrupt.h"
#include "frontend/placement.h"

namespace vantrel::cli {

namespace {

using frontend::Field;

// Output frame n keeps the field of s.fields[field].
struct Job {
  int64_t n;
  size_t field;
  host::WritableFrame input;
};

struct Result {
  size_t field;
  host::Frame output;
  std::string error;
};

host::ConstPlaneView ReadOnly(const host::PlaneView& p) {
  return {p.data, p.pitch, p.row_size, p.height};
}

class Pipeline {
 public:
  Pipeline(Session& s, const Options& o, Progress& p)
      : s_(s), o_(o), progress_(p), per_frame_(s.fields.size()),
        max_in_flight_(int64_t(per_frame_) * (2 * s.threads + 2)) {}

  RunResult Run() {
    std::vector<std::thread> workers;
    for (int t = 0; t < s_.threads; ++t) workers.emplace_back([this, t] { Work(size_t(t)); });
    std::thread writer([this] { Write(); });
    Read();
    {
      std::lock_guard<std::mutex> lock(m_);
      input_done_ = true;
    }
    jobs_cv_.notify_all();
    done_cv_.notify_all();
    for (std::thread& t : workers) t.join();
    writer.join();
    if (result_.error.empty() && !read_error_.empty()) result_.error = read_error_;
    result_.interrupted = InterruptSignal();
    return result_;
  }

 private:
  // Reads frames straight into new host frames, placed for the first field
  // kept; a second field gets a flipped copy.
  void Read() {
    FrameReader& reader = *s_.reader;
    const FrameFormat& file = reader.format();
    const bool padded = s_.format.width != file.width || s_.format.height != file.height;
    for (int64_t n = 0; o_.max_frames < 0 || n < o_.max_frames; ++n) {
      {
        std::unique_lock<std::mutex> lock(m_);
        space_cv_.wait(lock, [&] { return in_flight_ + int64_t(per_frame_) <= max_in_flight_ || stop_; });
        if (stop_) return;
      }
      // Ctrl-C: no more frames; those already read are still written.
      if (InterruptSignal()) return;
      std::vector<host::WritableFrame> frames(per_frame_);
      for (size_t k = 0; k < per_frame_; ++k) {
        std::string error;
        if (!s_.fields[k].host->NewFrame(s_.format, &frames[k], &error)) {
          read_error_ = "cannot allocate a frame: " + error;
          return;
        }
      }
      const Field keep = s_.fields[0].keep;
      PlaneOut planes[3];
      for (int i = 0; i < file.plane_count; ++i) {
        const auto lines = frontend::PictureIn(frames[0].plane(PlaneOf(i)), keep);
        planes[i] = {lines.data, lines.pitch};
      }
      const ReadStatus status = reader.Read(planes, file.plane_count);
      if (status == ReadStatus::kEnd) return;
      if (status == ReadStatus::kError) {
        // A read cut short by Ctrl-C or by Stop() is no input error.
        if (!InterruptSignal() && !Stopped()) read_error_ = reader.error();
        return;
      }
      for (int i = 0; i < file.plane_count && padded; ++i) {
        frontend::FillPadding(frames[0].plane(PlaneOf(i)), file.planes[i].row_bytes,
                              file.planes[i].rows, keep);
      }
      for (size_t k = 1; k < per_frame_; ++k) {
        for (int p = 0; p < frames[0].plane_count(); ++p) {
          frontend::CopyFlipped(ReadOnly(frames[0].plane(p)), frames[k].plane(p));
        }
      }
      {
        std::lock_guard<std::mutex> lock(m_);
        for (size_t k = 0; k < per_frame_; ++k) {
          jobs_.push_back({n * int64_t(per_frame_) + int64_t(k), k, std::move(frames[k])});
        }
        in_flight_ += int64_t(per_frame_);
        jobs_queued_ += int64_t(per_frame_);
      }
      if (per_frame_ == 1) {
        jobs_cv_.notify_one();
      } else {
        jobs_cv_.notify_all();
      }
    }
  }

  int PlaneOf(int file_plane) const { return s_.plane_of_file_plane[size_t(file_plane)]; }

  void Work(size_t thread) {
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(m_);
        jobs_cv_.wait(lock, [&] { return !jobs_.empty() || input_done_ || stop_; });
        if (stop_ || jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      Result r;
      r.field = job.field;
      frontend::FilterChain& chain = s_.fields[job.field].chains[thread];
      if (chain.source.Feed(int(job.n), &job.input, &r.error)) {
        chain.filter.GetFrame(int(job.n), &r.output, &r.error);
      }
      {
        std::lock_guard<std::mutex> lock(m_);
        done_.emplace(job.n, std::move(r));
      }
      done_cv_.notify_one();
    }
  }

  void Write() {
    const FrameFormat& file = s_.reader->format();
    for (int64_t n = 0;; ++n) {
      Result r;
      {
        std::unique_lock<std::mutex> lock(m_);
        done_cv_.wait(lock, [&] { return done_.count(n) || (input_done_ && n == jobs_queued_); });
        if (!done_.count(n)) return;
        r = std::move(done_[n]);
        done_.erase(n);
      }
      if (!r.error.empty() || !WriteFrame(r.output, file, s_.fields[r.field].keep)) {
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
      space_cv_.notify_one();
    }
  }

  bool WriteFrame(const host::Frame& frame, const FrameFormat& file, Field keep) {
    PlaneIn planes[3];
    for (int i = 0; i < file.plane_count; ++i) {
      const auto lines = frontend::PictureIn(frame.plane(PlaneOf(i)), keep);
      planes[i] = {lines.data, lines.pitch};
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
    jobs_cv_.notify_all();
    space_cv_.notify_all();
    done_cv_.notify_all();
  }

  bool Stopped() {
    std::lock_guard<std::mutex> lock(m_);
    return stop_;
  }

  Session& s_;
  const Options& o_;
  Progress& progress_;
  const size_t per_frame_;  // output frames per input frame
  const int64_t max_in_flight_;

  std::mutex m_;
  // Each waiter on its own condition, so that an event wakes only those it
  // concerns: the workers (jobs), the writer (results), the reader (room).
  std::condition_variable jobs_cv_;
  std::condition_variable done_cv_;
  std::condition_variable space_cv_;
  std::deque<Job> jobs_;
  std::map<int64_t, Result> done_;
  int64_t in_flight_ = 0;
  int64_t jobs_queued_ = 0;
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
