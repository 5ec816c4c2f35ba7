#include "stand_in_core.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <utility>

using vantrel::test::FrameBytes;
using vantrel::test::PluginInfo;

struct VSCore {};
struct VSPlugin {
  PluginInfo* info;
};

struct VSMap {
  std::map<std::string, std::vector<int64_t>> ints;
  std::map<std::string, std::vector<VSNode*>> nodes;
  std::string error;
  ~VSMap();
};

struct VSFrame {
  VSVideoFormat format{};
  int widths[3] = {}, heights[3] = {};
  ptrdiff_t strides[3] = {};
  FrameBytes planes[3];
  VSMap props;
  std::atomic<int> refs{1};
};

struct VSNode {
  std::atomic<int> refs{1};
  VSVideoInfo vi{};
  // A source:
  std::vector<FrameBytes> frames;
  std::vector<int> field_based;
  // A filter:
  VSFilterGetFrame get_frame = nullptr;
  VSFilterFree free = nullptr;
  void* instance = nullptr;
  int mode = -1;
  std::vector<VSNode*> dependencies;
};

struct VSFrameContext {
  std::map<std::pair<VSNode*, int>, const VSFrame*> ready;
  std::vector<std::pair<VSNode*, int>> requests;
  std::string error;
};

namespace {

VSCore core;
const VSAPI* Api();

void FreeNode(VSNode* node) noexcept {
  if (!node || --node->refs > 0) return;
  if (node->free) node->free(node->instance, &core, Api());
  for (VSNode* d : node->dependencies) FreeNode(d);
  delete node;
}

void FreeFrame(const VSFrame* frame) noexcept {
  auto* f = const_cast<VSFrame*>(frame);
  if (f && --f->refs == 0) delete f;
}

const VSFrame* AddFrameRef(const VSFrame* frame) {
  ++const_cast<VSFrame*>(frame)->refs;
  return frame;
}

// Lines padded past the width, so a filter that ignores the stride shows.
VSFrame* NewFrame(const VSVideoFormat* format, int width, int height, const VSFrame* prop_src,
                  VSCore*) noexcept {
  auto* f = new VSFrame;
  f->format = *format;
  for (int p = 0; p < format->numPlanes; ++p) {
    f->widths[p] = p ? width >> format->subSamplingW : width;
    f->heights[p] = p ? height >> format->subSamplingH : height;
    f->strides[p] = f->widths[p] * format->bytesPerSample + 40;
    f->planes[p].assign(size_t(f->strides[p]) * size_t(f->heights[p]), 0xA5);
  }
  if (prop_src) f->props.ints = prop_src->props.ints;
  return f;
}

int64_t MapGetInt(const VSMap* map, const char* key, int index, int* error) noexcept {
  const auto it = map->ints.find(key);
  int e = peSuccess;
  if (it == map->ints.end()) {
    e = map->nodes.count(key) ? peType : peUnset;
  } else if (index < 0 || size_t(index) >= it->second.size()) {
    e = peIndex;
  }
  if (error) *error = e;
  return e == peSuccess ? it->second[size_t(index)] : 0;
}

int MapSetInt(VSMap* map, const char* key, int64_t value, int append) noexcept {
  auto& values = map->ints[key];
  if (append == maReplace) values.clear();
  values.push_back(value);
  return 0;
}

VSNode* MapGetNode(const VSMap* map, const char* key, int index, int* error) noexcept {
  const auto it = map->nodes.find(key);
  const bool found = it != map->nodes.end() && index >= 0 && size_t(index) < it->second.size();
  if (error) *error = found ? peSuccess : peUnset;
  if (!found) return nullptr;
  VSNode* node = it->second[size_t(index)];
  ++node->refs;
  return node;
}

int MapConsumeNode(VSMap* map, const char* key, VSNode* node, int append) noexcept {
  auto& values = map->nodes[key];
  if (append == maReplace) {
    for (VSNode* n : values) FreeNode(n);
    values.clear();
  }
  values.push_back(node);
  return 0;
}

VSNode* CreateVideoFilter2(const char*, const VSVideoInfo* vi, VSFilterGetFrame get_frame,
                           VSFilterFree free, int mode, const VSFilterDependency* deps,
                           int dep_count, void* instance, VSCore*) noexcept {
  auto* node = new VSNode;
  node->vi = *vi;
  node->get_frame = get_frame;
  node->free = free;
  node->instance = instance;
  node->mode = mode;
  for (int i = 0; i < dep_count; ++i) {
    ++deps[i].source->refs;
    node->dependencies.push_back(deps[i].source);
  }
  return node;
}

int FormatName(const VSVideoFormat* f, char* buffer) noexcept {
  std::string name;
  const std::string depth = f->sampleType == stFloat ? (f->bitsPerSample == 16 ? "H" : "S")
                                                     : std::to_string(f->bitsPerSample);
  if (f->colorFamily == cfGray) name = "Gray" + depth;
  if (f->colorFamily == cfRGB) name = "RGB" + std::to_string(3 * f->bitsPerSample);
  if (f->colorFamily == cfYUV) {
    static const char* kSub[3][3] = {{"444", "440", ""}, {"422", "420", ""}, {"411", "", "410"}};
    name = std::string("YUV") + kSub[f->subSamplingW][f->subSamplingH] + "P" + depth;
  }
  std::snprintf(buffer, 32, "%s", name.c_str());
  return 1;
}

VSFrame* RunFrame(VSNode* node, int n, std::string* error);

const VSFrame* GetFrameFilter(int n, VSNode* node, VSFrameContext* ctx) noexcept {
  const auto it = ctx->ready.find({node, n});
  return it == ctx->ready.end() ? nullptr : AddFrameRef(it->second);
}

const VSAPI* Api() {
  static const VSAPI api = [] {
    VSAPI a{};
    a.createVideoFilter2 = CreateVideoFilter2;
    a.freeNode = FreeNode;
    a.getVideoInfo = [](VSNode* node) noexcept -> const VSVideoInfo* { return &node->vi; };
    a.newVideoFrame = NewFrame;
    a.freeFrame = FreeFrame;
    a.getFramePropertiesRO = [](const VSFrame* f) noexcept -> const VSMap* { return &f->props; };
    a.getFramePropertiesRW = [](VSFrame* f) noexcept { return &f->props; };
    a.getStride = [](const VSFrame* f, int p) noexcept { return f->strides[p]; };
    a.getReadPtr = [](const VSFrame* f, int p) noexcept -> const uint8_t* {
      return f->planes[p].data();
    };
    a.getWritePtr = [](VSFrame* f, int p) noexcept { return f->planes[p].data(); };
    a.getFrameWidth = [](const VSFrame* f, int p) noexcept { return f->widths[p]; };
    a.getFrameHeight = [](const VSFrame* f, int p) noexcept { return f->heights[p]; };
    a.getVideoFormatName = FormatName;
    a.getFrameFilter = GetFrameFilter;
    a.requestFrameFilter = [](int n, VSNode* node, VSFrameContext* ctx) noexcept {
      ctx->requests.emplace_back(node, n);
    };
    a.setFilterError = [](const char* message, VSFrameContext* ctx) noexcept {
      ctx->error = message;
    };
    a.mapSetError = [](VSMap* map, const char* message) noexcept { map->error = message; };
    a.mapGetInt = MapGetInt;
    a.mapSetInt = MapSetInt;
    a.mapGetNode = MapGetNode;
    a.mapConsumeNode = MapConsumeNode;
    return a;
  }();
  return &api;
}

VSFrame* SourceFrame(VSNode* node, int n, std::string* error) {
  if (n < 0 || size_t(n) >= node->frames.size()) {
    *error = "the source has no frame " + std::to_string(n);
    return nullptr;
  }
  VSFrame* f = NewFrame(&node->vi.format, node->vi.width, node->vi.height, nullptr, &core);
  const uint8_t* from = node->frames[size_t(n)].data();
  for (int p = 0; p < 3; ++p) {
    const size_t row = size_t(f->widths[p]) * size_t(f->format.bytesPerSample);
    for (int y = 0; y < f->heights[p]; ++y, from += row) {
      std::memcpy(f->planes[p].data() + y * f->strides[p], from, row);
    }
  }
  if (size_t(n) < node->field_based.size() && node->field_based[size_t(n)] >= 0) {
    MapSetInt(&f->props, "_FieldBased", node->field_based[size_t(n)], maReplace);
  }
  MapSetInt(&f->props, "_DurationNum", 1, maReplace);
  MapSetInt(&f->props, "_DurationDen", 25, maReplace);
  return f;
}

VSFrame* RunFrame(VSNode* node, int n, std::string* error) {
  if (!node->get_frame) return SourceFrame(node, n, error);
  VSFrameContext ctx;
  void* frame_data = nullptr;
  node->get_frame(n, arInitial, node->instance, &frame_data, &ctx, &core, Api());
  for (const auto& request : ctx.requests) {
    VSFrame* f = RunFrame(request.first, request.second, error);
    if (!f) {
      node->get_frame(n, arError, node->instance, &frame_data, &ctx, &core, Api());
      for (auto& r : ctx.ready) FreeFrame(r.second);
      return nullptr;
    }
    ctx.ready[request] = f;
  }
  const VSFrame* result =
      node->get_frame(n, arAllFramesReady, node->instance, &frame_data, &ctx, &core, Api());
  for (auto& r : ctx.ready) FreeFrame(r.second);
  if (!ctx.error.empty() || !result) {
    FreeFrame(result);
    *error = ctx.error.empty() ? "the filter returned no frame and no error" : ctx.error;
    return nullptr;
  }
  return const_cast<VSFrame*>(result);
}

const VSPLUGINAPI* PluginApi() {
  static const VSPLUGINAPI api = [] {
    VSPLUGINAPI a{};
    a.configPlugin = [](const char* id, const char* ns, const char* name, int version,
                        int api_version, int, VSPlugin* plugin) noexcept {
      *plugin->info = {id, ns, name, version, api_version, "", "", "", nullptr};
      return 1;
    };
    a.registerFunction = [](const char* name, const char* args, const char* return_type,
                            VSPublicFunction create, void*, VSPlugin* plugin) noexcept {
      plugin->info->function = name;
      plugin->info->args = args;
      plugin->info->return_type = return_type;
      plugin->info->create = create;
      return 1;
    };
    return a;
  }();
  return &api;
}

}  // namespace

VSMap::~VSMap() {
  for (auto& values : nodes) {
    for (VSNode* n : values.second) FreeNode(n);
  }
}

namespace vantrel::test {

StandInCore::StandInCore(const std::string& plugin_path) {
  library_ = dlopen(plugin_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) throw std::runtime_error(dlerror());
  auto init = reinterpret_cast<VSInitPlugin>(dlsym(library_, "VapourSynthPluginInit2"));
  if (!init) throw std::runtime_error("no VapourSynthPluginInit2 in " + plugin_path);
  VSPlugin plugin{&plugin_};
  init(&plugin, PluginApi());
}

// The library stays loaded: nodes still alive may point into it.
StandInCore::~StandInCore() = default;

const VSAPI* StandInCore::api() const { return Api(); }

VSNode* StandInCore::Source(uint32_t format_id, int width, int height,
                            std::vector<FrameBytes> frames, std::vector<int> field_based) {
  auto* node = new VSNode;
  VSVideoFormat& f = node->vi.format;
  f.colorFamily = int(format_id >> 28);
  f.sampleType = int((format_id >> 24) & 0xF);
  f.bitsPerSample = int((format_id >> 16) & 0xFF);
  f.bytesPerSample = f.bitsPerSample <= 8 ? 1 : f.bitsPerSample <= 16 ? 2 : 4;
  f.subSamplingW = int((format_id >> 8) & 0xFF);
  f.subSamplingH = int(format_id & 0xFF);
  f.numPlanes = f.colorFamily == cfGray ? 1 : 3;
  node->vi.fpsNum = 25;
  node->vi.fpsDen = 1;
  node->vi.width = width;
  node->vi.height = height;
  node->vi.numFrames = int(frames.size());
  node->frames = std::move(frames);
  node->field_based = std::move(field_based);
  return node;
}

VSNode* StandInCore::Invoke(VSNode* clip, const std::map<std::string, int64_t>& args,
                            std::string* error) {
  VSMap in, out;
  MapConsumeNode(&in, "clip", clip, maReplace);
  for (const auto& a : args) MapSetInt(&in, a.first.c_str(), a.second, maReplace);
  plugin_.create(&in, &out, nullptr, &core, Api());
  if (!out.error.empty()) {
    *error = out.error;
    return nullptr;
  }
  auto it = out.nodes.find("clip");
  if (it == out.nodes.end() || it->second.size() != 1) {
    *error = "the function returned no clip and no error";
    return nullptr;
  }
  VSNode* node = it->second[0];
  out.nodes.erase(it);
  return node;
}

std::optional<FrameBytes> StandInCore::GetFrame(VSNode* node, int n, std::string* error,
                                                std::map<std::string, int64_t>* props) {
  VSFrame* f = RunFrame(node, n, error);
  if (!f) return std::nullopt;
  FrameBytes tight;
  for (int p = 0; p < f->format.numPlanes; ++p) {
    const size_t row = size_t(f->widths[p]) * size_t(f->format.bytesPerSample);
    for (int y = 0; y < f->heights[p]; ++y) {
      const uint8_t* line = f->planes[p].data() + y * f->strides[p];
      tight.insert(tight.end(), line, line + row);
    }
  }
  if (props) {
    props->clear();
    for (const auto& v : f->props.ints) (*props)[v.first] = v.second.back();
  }
  FreeFrame(f);
  return tight;
}

const VSVideoInfo& StandInCore::Info(VSNode* node) { return node->vi; }

int StandInCore::Mode(VSNode* node) { return node->mode; }

void StandInCore::Free(VSNode* node) { FreeNode(node); }

}  // namespace vantrel::test
