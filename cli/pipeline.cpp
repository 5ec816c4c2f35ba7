#include "cli/pipeline.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "cli/frame_buffers.h"
#include "cli/interrupt.h"
#include "core/frame_map.h"
#include "core/placement.h"

namespace vantrel::cli {

namespace {

// Output frame n, made from its input as `plan` says. Both fields of a frame
// read the same input: each sees it placed for its own field.
struct Job {
  int64_t n;
  OutputPlan plan;
  std::shared_ptr<FrameBuffer> input;
};

struct Result {
  std::shared_ptr<FrameBuffer> output;
  std::shared_ptr<FrameBuffer> map;  // with --map
  std::string error;
};

std::string ThreadsFailed(size_t started, size_t wanted, const std::exception& e) {
  return "could not start thread " + std::to_string(started + 1) + " of " +
         std::to_string(wanted) + " (" + e.what() +
         "): the system is out of memory or threads; give fewer with --threads";
}

class Pipeline {
 public:
  Pipeline(Session& s, const Options& o, Progress& p)
      : s_(s), o_(o), progress_(p), per_frame_(size_t(s.outputs_per_frame)),
        max_in_flight_(int64_t(per_frame_) * (2 * s.threads + 2)),
        buffers_(s.format, s.width, s.height) {
    // The map is in the output's layout, its planes Y, U, V as the map file's.
    if (s.map_writer) map_buffers_.emplace(s.format, s.width, s.height);
  }

  RunResult Run() {
    std::vector<std::thread> threads;
    const size_t wanted = size_t(s_.threads) + 1;
    try {
      threads.reserve(wanted);
      threads.emplace_back([this] { Write(); });
      for (int t = 0; t < s_.threads; ++t) threads.emplace_back([this] { Work(); });
    } catch (const std::exception& e) {  // std::system_error or std::bad_alloc
      Fail(ThreadsFailed(threads.size(), wanted, e));
    }
    if (!Stopped()) {
      try {
        Read();
      } catch (const std::bad_alloc&) {
        Fail("not enough memory to go on reading");
      }
    }
    {
      std::lock_guard<std::mutex> lock(m_);
      input_done_ = true;
    }
    jobs_cv_.notify_all();
    done_cv_.notify_all();
    for (std::thread& t : threads) t.join();
    for (const std::string* e : {&read_error_, &failure_}) {
      if (result_.error.empty()) result_.error = *e;
    }
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
      if (status == ReadStatus::kEnd) {
        CheckWholeInput(reader);
        return;
      }
      if (status == ReadStatus::kError) {
        // A read cut short by Ctrl-C or by Stop() is no input error.
        if (!InterruptSignal() && !Stopped()) read_error_ = reader.error();
        return;
      }
      if (padded) FillPadding(frame->view, file.width, file.height);
      const std::array<OutputPlan, 2> plans =
          PlanFrame(o_, s_, s_.y4m ? s_.y4m->frame_tag() : Y4mFrameTag{});
      {
        std::lock_guard<std::mutex> lock(m_);
        for (size_t k = 0; k < per_frame_; ++k) {
          jobs_.push_back({n * int64_t(per_frame_) + int64_t(k), plans[k], frame});
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

  // A regular file counted at the start that ends early was cut while being
  // read: as for a cut frame, the run fails with the frames before it.
  void CheckWholeInput(const FrameReader& reader) {
    const int64_t counted = reader.format().frame_count;
    if (counted < 0 || reader.frames_read() >= counted) return;
    read_error_ = reader.name() + ": the input ended early, after " +
                  std::to_string(reader.frames_read()) + " of the " + std::to_string(counted) +
                  " frames it held when the run started (was it cut while being read?)";
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
      try {
        Result r = Deinterlace(job);
        {
          std::lock_guard<std::mutex> lock(m_);
          done_.emplace(job.n, std::move(r));
        }
      } catch (const std::bad_alloc&) {
        Fail("frame " + std::to_string(job.n / int64_t(per_frame_)) +
             ": not enough memory to deinterlace it");
        return;
      }
      done_cv_.notify_one();
    }
  }

  Result Deinterlace(Job& job) {
    Result r;
    if (map_buffers_) r.map = map_buffers_->Take();
    if ((map_buffers_ && !r.map) || !Make(job, r)) {
      r.error = "frame " + std::to_string(job.n / int64_t(per_frame_)) +
                ": not enough memory to deinterlace it";
    }
    job.input.reset();
    return r;
  }

  // Makes the output frame (and its map); false when memory runs out.
  bool Make(const Job& job, Result& r) {
    if (job.plan.pass_through) {
      r.output = job.input;
      static const RegionList kNoRegions{};
      if (r.map) DrawFrameMap(FrameFacts{}, job.input->view.planes[0], kNoRegions, r.map->view);
      return true;
    }
    r.output = buffers_.Take();
    if (!r.output) return false;
    const Field keep = job.plan.keep;
    const FrameView map = r.map ? Placed(r.map->view, keep) : FrameView{};
    const FrameResult done = s_.filter->Process(
        Placed(FilterView(job.input->view), keep), Placed(FilterView(r.output->view), keep),
        RegionsFor(s_, keep), r.map ? &map : nullptr);
    return done == FrameResult::kDone;
  }

  // A frame in the file's plane order as the filter takes it.
  FrameView FilterView(const FrameView& file) const {
    FrameView view = file;
    for (int i = 0; i < file.plane_count(); ++i) view.planes[i] = file.planes[s_.filter_planes[i]];
    return view;
  }

  void Write() {
    for (int64_t n = 0;; ++n) {
      Result r;
      {
        std::unique_lock<std::mutex> lock(m_);
        done_cv_.wait(lock, [&] {
          return done_.count(n) || (input_done_ && n == jobs_queued_) || stop_;
        });
        if (!done_.count(n)) return;
        r = std::move(done_[n]);
        done_.erase(n);
      }
      if (!r.error.empty() || !WriteFrame(*s_.writer, *r.output) ||
          (r.map && !WriteFrame(*s_.map_writer, *r.map))) {
        if (!r.error.empty()) result_.error = r.error;
        Stop();
        return;
      }
      r.output.reset();
      r.map.reset();
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
  bool WriteFrame(FrameWriter& writer, const FrameBuffer& frame) {
    const FrameFormat& file = writer.format();
    PlaneIn planes[3];
    for (int i = 0; i < file.plane_count; ++i) {
      planes[i] = {frame.view.planes[i].data, frame.view.planes[i].pitch};
    }
    const WriteStatus status = writer.WriteFrame(planes, file.plane_count);
    if (status == WriteStatus::kOk) return true;
    result_.broken_pipe = status == WriteStatus::kBrokenPipe;
    result_.error = writer.error();
    return false;
  }

  // A fault outside the reader and the writer: the first one is reported.
  void Fail(const std::string& error) {
    {
      std::lock_guard<std::mutex> lock(m_);
      if (failure_.empty()) failure_ = error;
    }
    Stop();
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
  std::optional<FrameBuffers> map_buffers_;

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
  std::string failure_;  // guarded by m_
  RunResult result_;
};

}  // namespace

RunResult RunPipeline(Session& session, const Options& options, Progress& progress) {
  return Pipeline(session, options, progress).Run();
}

}  // namespace vantrel::cli
