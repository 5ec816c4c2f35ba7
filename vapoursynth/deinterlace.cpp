#include "vapoursynth/deinterlace.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <numeric>
#include <string>

#include "frontend/filter_chain.h"
#include "frontend/placement.h"
#include "vapoursynth/arguments.h"
#include "vapoursynth/chain_pool.h"

namespace vantrel::vs {

const char kDeinterlaceArgs[] =
    "clip:vnode;mode:int:opt;search_range:int:opt;comb_threshold:int:opt;"
    "match_threshold:int:opt;field:int:opt;double_rate:int:opt;";

namespace {

using frontend::Field;

struct Filter {
  explicit Filter(const VSAPI* api) : vsapi(api) {}
  ~Filter() {
    if (node) vsapi->freeNode(node);
  }
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  const VSAPI* vsapi;
  VSNode* node = nullptr;
  VSVideoInfo vi{};  // of the output
  int width = 0, height = 0;
  Arguments args;
  host::VideoFormat format;  // the padded frames the plugin's filter sees
  ChainPool chains;
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
  const auto order = first == Field::kTop ? frontend::FieldOrder::kTopFirst
                                          : frontend::FieldOrder::kBottomFirst;
  return frontend::FieldsInTimeOrder(order)[size_t(n % 2)];
}

int PlaneWidth(const Filter& f, int p) { return p ? f.width >> 1 : f.width; }
int PlaneHeight(const Filter& f, int p) { return p ? f.height >> 1 : f.height; }

void PlaceSource(const Filter& f, const VSFrame* src, Field keep, const host::WritableFrame& in,
                 const VSAPI* vsapi) {
  for (int p = 0; p < 3; ++p) {
    const host::PlaneView plane = in.plane(p);
    const frontend::PictureLines to = frontend::PictureIn(plane, keep);
    const uint8_t* from = vsapi->getReadPtr(src, p);
    const ptrdiff_t stride = vsapi->getStride(src, p);
    const int w = PlaneWidth(f, p), h = PlaneHeight(f, p);
    for (int y = 0; y < h; ++y) std::memcpy(to.data + y * to.pitch, from + y * stride, size_t(w));
    frontend::FillPadding(plane, w, h, keep);
  }
}

void TakeResult(const Filter& f, const host::Frame& out, Field keep, VSFrame* dst,
                const VSAPI* vsapi) {
  for (int p = 0; p < 3; ++p) {
    const frontend::ConstPictureLines from = frontend::PictureIn(out.plane(p), keep);
    uint8_t* to = vsapi->getWritePtr(dst, p);
    const ptrdiff_t stride = vsapi->getStride(dst, p);
    const int w = PlaneWidth(f, p), h = PlaneHeight(f, p);
    for (int y = 0; y < h; ++y) std::memcpy(to + y * stride, from.data + y * from.pitch, size_t(w));
  }
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
VSFrame* Deinterlace(Filter& f, int n, const VSFrame* src, VSCore* core,
                     const VSAPI* vsapi, std::string* error) {
  if (vsapi->getFrameWidth(src, 0) != f.width || vsapi->getFrameHeight(src, 0) != f.height) {
    *error = "the source frame is " + std::to_string(vsapi->getFrameWidth(src, 0)) + "x" +
             std::to_string(vsapi->getFrameHeight(src, 0)) + ", not the clip's " +
             std::to_string(f.width) + "x" + std::to_string(f.height);
    return nullptr;
  }
  const Field keep = KeptField(f, n, src, vsapi);
  const int src_n = f.args.double_rate ? n / 2 : n;
  host::WritableFrame in;
  if (!f.chains.host().NewFrame(f.format, &in, error)) return nullptr;
  PlaceSource(f, src, keep, in, vsapi);

  host::Frame out;
  {
    ChainPool::Lease chain;
    if (!f.chains.Acquire(&chain, error) || !chain->source.Feed(src_n, &in, error) ||
        !chain->filter.GetFrame(src_n, &out, error)) {
      return nullptr;
    }
  }
  VSFrame* dst = vsapi->newVideoFrame(&f.vi.format, f.width, f.height, src, core);
  if (!dst) {
    *error = "VapourSynth gave no new frame";
    return nullptr;
  }
  TakeResult(f, out, keep, dst, vsapi);
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
  std::unique_ptr<Filter> f(new (std::nothrow) Filter(vsapi));
  if (!f) {
    vsapi->freeNode(node);
    *error = "Deinterlace: not enough memory";
    return nullptr;
  }
  f->node = node;
  f->vi = *vsapi->getVideoInfo(node);
  *error = ClipError(f->vi, vsapi);
  if (!error->empty()) return nullptr;
  f->width = f->vi.width;
  f->height = f->vi.height;
  if (!ReadArguments(in, vsapi, f->width, f->height, &f->args, error)) return nullptr;
  if (f->args.double_rate && !DoubleRate(&f->vi, error)) return nullptr;

  f->format.pixel_type = host::PixelType::kI420;
  f->format.width = frontend::PadTo16(f->width);
  f->format.height = frontend::PadTo16(f->height);
  f->format.frame_count = vsapi->getVideoInfo(node)->numFrames;
  const Arguments& a = f->args;
  using frontend::IntOrOmitted;
  if (!f->chains.Open(f->format,
                      {IntOrOmitted(a.mode), IntOrOmitted(a.search_range),
                       IntOrOmitted(a.comb_threshold), IntOrOmitted(a.match_threshold)},
                      error)) {
    *error = "Deinterlace: " + *error;
    return nullptr;
  }
  const VSFilterDependency dependency = {node, a.double_rate ? rpGeneral : rpStrictSpatial};
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
