#include "cli/pipeline.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "cli/frame_buffers.h"
#include "cli/interrupt.h"
#include "core/placement.h"

namespace vantrel::cli {

namespace {

// Output frame n keeps the field of s.fields[field]. Both fields of a frame
// read the same input: each sees it placed for its own field.
struct Job {
  int64_t n;
  size_t field;
  std::shared_ptr<FrameBuffer> input;
};

struct Result {
  size_t field;
  std::shared_ptr<FrameBuffer> output;
  std::string error;
};

class Pipeline {
 public:
  Pipeline(Session& s, const Options& o, Progress& p)
      : s_(s), o_(o), progress_(p), per_frame_(s.fields.size()),
        max_in_flight_(int64_t(per_frame_) * (2 * s.threads + 2)),
        buffers_(s.format, s.width, s.height) {}

  RunResult Run() {
    std::vector<std::thread> workers;
    for (int t = 0; t < s_.threads; ++t) workers.emplace_back([this] { Work(); });
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
  // Reads each frame straight into a frame buffer, upright, and pads it.
  void Read() {
    FrameReader& reader = *s_.reader;
    const FrameFormat& file = reader.format();
    const bool padded = s_.width != file.width || s_.height != file.height;
    for (int64_t n = 0; o_.max_frames < 0 || n < o_.max_frames; ++n) {
      {
        std::unique_lock<std::mutex> lock(m_);
        space_cv_.wait(lock, [&] { return in_flight_ + int64_t(per_frame_) <= max_in_flight_ || stop_; });
        if (stop_) return;
      }
      // Ctrl-C: no more frames; those already read are still written.
      if (InterruptSignal()) return;
      std::shared_ptr<FrameBuffer> frame = buffers_.Take();
      if (!frame) {
        read_error_ = "not enough memory for frame " + std::to_string(n);
        return;
      }
      PlaneOut planes[3];
      for (int i = 0; i < file.plane_count; ++i) {
        planes[i] = {frame->view.planes[i].data, frame->view.planes[i].pitch};
      }
      const ReadStatus status = reader.Read(planes, file.plane_count);
      if (status == ReadStatus::kEnd) return;
      if (status == ReadStatus::kError) {
        // A read cut short by Ctrl-C or by Stop() is no input error.
        if (!InterruptSignal() && !Stopped()) read_error_ = reader.error();
        return;
      }
      for (int i = 0; i < file.plane_count && padded; ++i) {
        FillPadding(frame->view.planes[i], file.planes[i].row_bytes, file.planes[i].rows);
      }
      {
        std::lock_guard<std::mutex> lock(m_);
        for (size_t k = 0; k < per_frame_; ++k) {
          jobs_.push_back({n * int64_t(per_frame_) + int64_t(k), k, frame});
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

  void Work() {
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(m_);
        jobs_cv_.wait(lock, [&] { return !jobs_.empty() || input_done_ || stop_; });
        if (stop_ || jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      Result r = Deinterlace(job);
      {
        std::lock_guard<std::mutex> lock(m_);
        done_.emplace(job.n, std::move(r));
      }
      done_cv_.notify_one();
    }
  }

  Result Deinterlace(Job& job) {
    Result r;
    r.field = job.field;
    const int64_t frame = job.n / int64_t(per_frame_);
    r.output = buffers_.Take();
    const FieldOutput& field = s_.fields[job.field];
    if (!r.output ||
        s_.filter->Process(s_.format, Placed(job.input->view, field.keep),
                           Placed(r.output->view, field.keep), field.regions) != FrameResult::kDone) {
      r.error = "frame " + std::to_string(frame) + ": not enough memory to deinterlace it";
    }
    job.input.reset();
    return r;
  }

  void Write() {
    for (int64_t n = 0;; ++n) {
      Result r;
      {
        std::unique_lock<std::mutex> lock(m_);
        done_cv_.wait(lock, [&] { return done_.count(n) || (input_done_ && n == jobs_queued_); });
        if (!done_.count(n)) return;
        r = std::move(done_[n]);
        done_.erase(n);
      }
      if (!r.error.empty() || !WriteFrame(*r.output)) {
        if (!r.error.empty()) result_.error = r.error;
        Stop();
        return;
      }
      r.output.reset();
      progress_.FrameDone();
      ++result_.frames_written;
      {
        std::lock_guard<std::mutex> lock(m_);
        --in_flight_;
      }
      space_cv_.notify_one();
    }
  }

  // The filter wrote the picture upright whichever field it kept.
  bool WriteFrame(const FrameBuffer& frame) {
    const FrameFormat& file = s_.reader->format();
    PlaneIn planes[3];
    for (int i = 0; i < file.plane_count; ++i) {
      planes[i] = {frame.view.planes[i].data, frame.view.planes[i].pitch};
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
  FrameBuffers buffers_;

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
