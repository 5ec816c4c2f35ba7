#include "vapoursynth/deinterlace.h"

#include <climits>
#include <memory>
#include <new>
#include <numeric>
#include <string>

#include "core/deinterlacer.h"
#include "core/placement.h"
#include "vapoursynth/arguments.h"

namespace vantrel::vs {

const char kDeinterlaceArgs[] =
    "clip:vnode;mode:int:opt;search_range:int:opt;comb_threshold:int:opt;"
    "match_threshold:int:opt;field:int:opt;double_rate:int:opt;";

namespace {

struct Filter {
  Filter(const VSAPI* api, const Arguments& a) : vsapi(api), args(a), core(a.filter) {}
  ~Filter() {
    if (node) vsapi->freeNode(node);
  }
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  const VSAPI* vsapi;
  VSNode* node = nullptr;
  VSVideoInfo vi{};  // of the output
  PixelFormat format;
  int width = 0, height = 0;
  const Arguments args;
  Deinterlacer core;
  const RegionList no_regions{};
};

// Halves a duration or doubles a rate given as a fraction; the result is
// reduced, and left as it was should it overflow.
void Scale(int64_t* num, int64_t* den, bool halve) {
  int64_t* grow = halve ? den : num;
  int64_t* shrink = halve ? num : den;
  if (*shrink % 2 == 0) {
    *shrink /= 2;
  } else if (*grow <= INT64_MAX / 2) {
    *grow *= 2;
  } else {
    return;
  }
  const int64_t g = std::gcd(*num, *den);
  if (g > 1) {
    *num /= g;
    *den /= g;
  }
}

Field FirstField(const Filter& f, const VSFrame* src, const VSAPI* vsapi) {
  if (f.args.field == 1) return Field::kTop;
  if (f.args.field == 0) return Field::kBottom;
  int err = 0;
  const int64_t field_based =
      vsapi->mapGetInt(vsapi->getFramePropertiesRO(src), "_FieldBased", 0, &err);
  return !err && field_based == 2 ? Field::kTop : Field::kBottom;
}

// Output frame n keeps this field: at double rate the first of each pair
// keeps the field chosen above, the second the other one.
Field KeptField(const Filter& f, int n, const VSFrame* src, const VSAPI* vsapi) {
  const Field first = FirstField(f, src, vsapi);
  if (!f.args.double_rate) return first;
  const auto order = first == Field::kTop ? FieldOrder::kTopFirst : FieldOrder::kBottomFirst;
  return FieldsInTimeOrder(order)[size_t(n % 2)];
}

// VapourSynth's planes are Y, U, V; the filter takes V before U.
template <typename Pointer>
FrameView ViewOf(const Filter& f, const VSFrame* frame, Pointer pointer_of, const VSAPI* vsapi) {
  FrameView view = PlaneShapes(f.format, f.width, f.height);
  constexpr int kPlaneOf[3] = {0, 2, 1};
  for (int i = 0; i < view.plane_count(); ++i) {
    view.planes[i].data = pointer_of(kPlaneOf[i]);
    view.planes[i].pitch = vsapi->getStride(frame, kPlaneOf[i]);
  }
  return view;
}

void MarkProgressive(const Filter& f, VSFrame* dst, const VSAPI* vsapi) {
  VSMap* props = vsapi->getFramePropertiesRW(dst);
  vsapi->mapSetInt(props, "_FieldBased", 0, maReplace);
  if (!f.args.double_rate) return;
  int err_num = 0, err_den = 0;
  int64_t num = vsapi->mapGetInt(props, "_DurationNum", 0, &err_num);
  int64_t den = vsapi->mapGetInt(props, "_DurationDen", 0, &err_den);
  if (err_num || err_den || num <= 0 || den <= 0) return;
  Scale(&num, &den, true);
  vsapi->mapSetInt(props, "_DurationNum", num, maReplace);
  vsapi->mapSetInt(props, "_DurationDen", den, maReplace);
}

// The deinterlaced frame n; null with *error set on a failure.
VSFrame* Deinterlace(Filter& f, int n, const VSFrame* src, VSCore* core, const VSAPI* vsapi,
                     std::string* error) {
  if (vsapi->getFrameWidth(src, 0) != f.width || vsapi->getFrameHeight(src, 0) != f.height) {
    *error = "the source frame is " + std::to_string(vsapi->getFrameWidth(src, 0)) + "x" +
             std::to_string(vsapi->getFrameHeight(src, 0)) + ", not the clip's " +
             std::to_string(f.width) + "x" + std::to_string(f.height);
    return nullptr;
  }
  const Field keep = KeptField(f, n, src, vsapi);
  VSFrame* dst = vsapi->newVideoFrame(&f.vi.format, f.width, f.height, src, core);
  if (!dst) {
    *error = "VapourSynth gave no new frame";
    return nullptr;
  }
  // The source is only read; the filter writes straight into the new frame.
  const FrameView in = ViewOf(
      f, src, [&](int p) { return const_cast<uint8_t*>(vsapi->getReadPtr(src, p)); }, vsapi);
  const FrameView out = ViewOf(f, dst, [&](int p) { return vsapi->getWritePtr(dst, p); }, vsapi);
  const FrameResult result = f.core.ProcessPicture(in, out, keep, f.no_regions);
  if (result != FrameResult::kDone) {
    vsapi->freeFrame(dst);
    *error = FrameFailure(result);
    return nullptr;
  }
  MarkProgressive(f, dst, vsapi);
  return dst;
}

const VSFrame* GetFrame(int n, int reason, void* instance, void**, VSFrameContext* ctx,
                        VSCore* core, const VSAPI* vsapi) {
  Filter& f = *static_cast<Filter*>(instance);
  const int src_n = f.args.double_rate ? n / 2 : n;
  if (reason == arInitial) {
    vsapi->requestFrameFilter(src_n, f.node, ctx);
    return nullptr;
  }
  if (reason != arAllFramesReady) return nullptr;
  const VSFrame* src = vsapi->getFrameFilter(src_n, f.node, ctx);
  std::string error;
  VSFrame* dst = nullptr;
  try {
    dst = Deinterlace(f, n, src, core, vsapi, &error);
  } catch (const std::bad_alloc&) {
    error = "not enough memory";
  } catch (...) {
    error = "unexpected failure";
  }
  vsapi->freeFrame(src);
  if (!dst) {
    const std::string message = "Deinterlace: frame " + std::to_string(n) + ": " + error;
    vsapi->setFilterError(message.c_str(), ctx);
  }
  return dst;
}

void FreeFilter(void* instance, VSCore*, const VSAPI*) { delete static_cast<Filter*>(instance); }

bool DoubleRate(VSVideoInfo* vi, std::string* error) {
  if (vi->numFrames > INT_MAX / 2) {
    *error = "Deinterlace: double_rate=True would give more than " + std::to_string(INT_MAX) +
             " frames; trim the clip first";
    return false;
  }
  vi->numFrames *= 2;
  if (vi->fpsNum > 0 && vi->fpsDen > 0) Scale(&vi->fpsNum, &vi->fpsDen, false);
  return true;
}

// Builds the filter around node, which it takes over; null with *error set.
VSNode* Build(const VSMap* in, VSNode* node, VSCore* core, const VSAPI* vsapi,
              std::string* error) {
  VSVideoInfo vi = *vsapi->getVideoInfo(node);
  Arguments args;
  PixelFormat format;
  *error = ClipError(vi, vsapi, &format);
  if (error->empty()) ReadArguments(in, vsapi, vi.width, vi.height, &args, error);
  if (error->empty() && args.double_rate) DoubleRate(&vi, error);
  if (!error->empty()) {
    vsapi->freeNode(node);
    return nullptr;
  }
  std::unique_ptr<Filter> f(new (std::nothrow) Filter(vsapi, args));
  if (!f) {
    vsapi->freeNode(node);
    *error = "Deinterlace: not enough memory";
    return nullptr;
  }
  f->node = node;
  f->vi = vi;
  f->format = format;
  f->width = vi.width;
  f->height = vi.height;

  const VSFilterDependency dependency = {node, args.double_rate ? rpGeneral : rpStrictSpatial};
  VSNode* filter = vsapi->createVideoFilter2("Deinterlace", &f->vi, GetFrame, FreeFilter,
                                             fmParallel, &dependency, 1, f.get(), core);
  if (!filter) {
    *error = "Deinterlace: VapourSynth refused the filter";
    return nullptr;
  }
  f.release();  // the core frees it through FreeFilter
  return filter;
}

}  // namespace

void CreateDeinterlace(const VSMap* in, VSMap* out, void*, VSCore* core, const VSAPI* vsapi) {
  std::string error;
  VSNode* filter = nullptr;
  try {
    VSNode* node = vsapi->mapGetNode(in, "clip", 0, nullptr);
    if (node) {
      filter = Build(in, node, core, vsapi, &error);
    } else {
      error = "Deinterlace: no clip given";
    }
  } catch (const std::bad_alloc&) {
    error = "Deinterlace: not enough memory";
  }
  if (filter) {
    vsapi->mapConsumeNode(out, "clip", filter, maAppend);
  } else {
    vsapi->mapSetError(out, error.c_str());
  }
}

}  // namespace vantrel::vs
