// The VapourSynth plugin interface, API version 4, as the core lays it out on
// Linux x86-64 (LP64).
//
// A plugin reaches the core only through the two tables of function pointers
// below, handed to it at load time and with every filter call; the core's
// objects (frames, nodes, maps, plugins) stay opaque. Slot order in the tables
// and field order in the structures are load-bearing: the static_asserts at
// the end pin both. Only what a plugin might call is given a meaning here;
// every slot is present so that the later ones land where the core puts them.
#ifndef VANTREL_SDK_VAPOURSYNTH4_H
#define VANTREL_SDK_VAPOURSYNTH4_H

#include <cstddef>
#include <cstdint>

constexpr int VSMakeVersion(int major, int minor) { return (major << 16) | minor; }
constexpr int kVSApiMajor = 4;
constexpr int kVSApiMinor = 0;
constexpr int kVSApiVersion = VSMakeVersion(kVSApiMajor, kVSApiMinor);

// Opaque: only the core knows what is behind these.
struct VSFrame;
struct VSNode;
struct VSCore;
struct VSPlugin;
struct VSPluginFunction;
struct VSFunction;
struct VSMap;
struct VSLogHandle;
struct VSFrameContext;

enum VSColorFamily { cfUndefined = 0, cfGray = 1, cfRGB = 2, cfYUV = 3 };
enum VSSampleType { stInteger = 0, stFloat = 1 };
enum VSMediaType { mtVideo = 1, mtAudio = 2 };

// How the core may call a filter's getFrame: fmParallel lets it run for
// several frames of one filter at once.
enum VSFilterMode {
  fmParallel = 0,
  fmParallelRequests = 1,
  fmUnordered = 2,
  fmFrameState = 3,
};

enum VSPropertyType {
  ptUnset = 0,
  ptInt = 1,
  ptFloat = 2,
  ptData = 3,
  ptFunction = 4,
  ptVideoNode = 5,
  ptAudioNode = 6,
  ptVideoFrame = 7,
  ptAudioFrame = 8,
};

// What the map getters leave in their error argument (0 when the value was there).
enum VSMapPropertyError { peSuccess = 0, peUnset = 1, peType = 2, peError = 3, peIndex = 4 };
enum VSMapAppendMode { maReplace = 0, maAppend = 1 };

// Why getFrame is called: first to ask for the input frames it needs, then
// once they are all there, or on an error to let per-frame data go.
enum VSActivationReason { arInitial = 0, arAllFramesReady = 1, arError = -1 };

enum VSMessageType {
  mtDebug = 0,
  mtInformation = 1,
  mtWarning = 2,
  mtCritical = 3,
  mtFatal = 4,
};

// How a filter reads an input: rpStrictSpatial promises frame n (only) for
// output frame n, within the clip; rpGeneral promises nothing.
enum VSRequestPattern { rpGeneral = 0, rpNoFrameReuse = 1, rpStrictSpatial = 2 };

enum VSCoreCreationFlags {
  ccfEnableGraphInspection = 1,
  ccfDisableAutoLoading = 2,
  ccfDisableLibraryUnloading = 4,
};

struct VSVideoFormat {
  int colorFamily;     // VSColorFamily; cfUndefined for a clip whose format varies
  int sampleType;      // VSSampleType
  int bitsPerSample;
  int bytesPerSample;
  int subSamplingW;    // log2 of the chroma planes' horizontal subsampling
  int subSamplingH;    // log2 of the vertical one
  int numPlanes;
};

// The id of a format: family, sample type, bits and subsampling packed in one int.
constexpr uint32_t VSVideoFormatId(int family, int sample_type, int bits, int sub_w, int sub_h) {
  return (uint32_t(family) << 28) | (uint32_t(sample_type) << 24) | (uint32_t(bits) << 16) |
         (uint32_t(sub_w) << 8) | uint32_t(sub_h);
}
constexpr uint32_t pfYUV420P8 = VSVideoFormatId(cfYUV, stInteger, 8, 1, 1);

struct VSAudioFormat {
  int sampleType;
  int bitsPerSample;
  int bytesPerSample;
  int numChannels;
  uint64_t channelLayout;
};

struct VSVideoInfo {
  VSVideoFormat format;
  int64_t fpsNum;  // 0/0 when the frame rate varies
  int64_t fpsDen;
  int width;       // 0 when the size varies
  int height;
  int numFrames;
};

struct VSAudioInfo {
  VSAudioFormat format;
  int sampleRate;
  int64_t numSamples;
  int numFrames;
};

struct VSCoreInfo {
  const char* versionString;
  int core;
  int api;
  int numThreads;
  int64_t maxFramebufferSize;
  int64_t usedFramebufferSize;
};

struct VSFilterDependency {
  VSNode* source;
  int requestPattern;  // VSRequestPattern
};

struct VSAPI;
struct VSPLUGINAPI;

extern "C" {
using VSPublicFunction = void (*)(const VSMap* in, VSMap* out, void* user_data, VSCore* core,
                                  const VSAPI* vsapi);
using VSInitPlugin = void (*)(VSPlugin* plugin, const VSPLUGINAPI* vspapi);
using VSFreeFunctionData = void (*)(void* user_data);
// Returns the finished frame (a reference the core takes over) or null.
using VSFilterGetFrame = const VSFrame* (*)(int n, int activation_reason, void* instance_data,
                                            void** frame_data, VSFrameContext* frame_ctx,
                                            VSCore* core, const VSAPI* vsapi);
using VSFilterFree = void (*)(void* instance_data, VSCore* core, const VSAPI* vsapi);
using VSFrameDoneCallback = void (*)(void* user_data, const VSFrame* frame, int n, VSNode* node,
                                     const char* error_message);
using VSLogHandler = void (*)(int message_type, const char* message, void* user_data);
using VSLogHandlerFree = void (*)(void* user_data);
}

// Handed to the plugin's entry at load time.
struct VSPLUGINAPI {
  int (*getAPIVersion)() noexcept;
  // Non-zero on success; apiVersion is the version the plugin was built for.
  int (*configPlugin)(const char* identifier, const char* plugin_namespace, const char* name,
                      int plugin_version, int api_version, int flags, VSPlugin* plugin) noexcept;
  // Non-zero on success. args: "name:type[:opt];..." for each argument.
  int (*registerFunction)(const char* name, const char* args, const char* return_type,
                          VSPublicFunction function, void* function_data,
                          VSPlugin* plugin) noexcept;
};

// The core's table, handed to every function and filter call.
struct VSAPI {
  // Filters and nodes. createVideoFilter appends the new node to "clip" in out.
  void (*createVideoFilter)(VSMap* out, const char* name, const VSVideoInfo* vi,
                            VSFilterGetFrame get_frame, VSFilterFree free, int filter_mode,
                            const VSFilterDependency* dependencies, int dependency_count,
                            void* instance_data, VSCore* core) noexcept;
  VSNode* (*createVideoFilter2)(const char* name, const VSVideoInfo* vi,
                                VSFilterGetFrame get_frame, VSFilterFree free, int filter_mode,
                                const VSFilterDependency* dependencies, int dependency_count,
                                void* instance_data, VSCore* core) noexcept;
  void (*createAudioFilter)(VSMap* out, const char* name, const VSAudioInfo* ai,
                            VSFilterGetFrame get_frame, VSFilterFree free, int filter_mode,
                            const VSFilterDependency* dependencies, int dependency_count,
                            void* instance_data, VSCore* core) noexcept;
  VSNode* (*createAudioFilter2)(const char* name, const VSAudioInfo* ai,
                                VSFilterGetFrame get_frame, VSFilterFree free, int filter_mode,
                                const VSFilterDependency* dependencies, int dependency_count,
                                void* instance_data, VSCore* core) noexcept;
  int (*setLinearFilter)(VSNode* node) noexcept;
  void (*setCacheMode)(VSNode* node, int mode) noexcept;
  void (*setCacheOptions)(VSNode* node, int fixed_size, int max_size,
                          int max_history_size) noexcept;
  void (*freeNode)(VSNode* node) noexcept;
  VSNode* (*addNodeRef)(VSNode* node) noexcept;
  int (*getNodeType)(VSNode* node) noexcept;
  const VSVideoInfo* (*getVideoInfo)(VSNode* node) noexcept;
  const VSAudioInfo* (*getAudioInfo)(VSNode* node) noexcept;

  // Frames. A new frame copies its properties from prop_src when given.
  VSFrame* (*newVideoFrame)(const VSVideoFormat* format, int width, int height,
                            const VSFrame* prop_src, VSCore* core) noexcept;
  VSFrame* (*newVideoFrame2)(const VSVideoFormat* format, int width, int height,
                             const VSFrame** plane_src, const int* planes,
                             const VSFrame* prop_src, VSCore* core) noexcept;
  VSFrame* (*newAudioFrame)(const VSAudioFormat* format, int samples, const VSFrame* prop_src,
                            VSCore* core) noexcept;
  VSFrame* (*newAudioFrame2)(const VSAudioFormat* format, int samples,
                             const VSFrame** channel_src, const int* channels,
                             const VSFrame* prop_src, VSCore* core) noexcept;
  void (*freeFrame)(const VSFrame* frame) noexcept;
  const VSFrame* (*addFrameRef)(const VSFrame* frame) noexcept;
  VSFrame* (*copyFrame)(const VSFrame* frame, VSCore* core) noexcept;
  const VSMap* (*getFramePropertiesRO)(const VSFrame* frame) noexcept;
  VSMap* (*getFramePropertiesRW)(VSFrame* frame) noexcept;
  ptrdiff_t (*getStride)(const VSFrame* frame, int plane) noexcept;
  const uint8_t* (*getReadPtr)(const VSFrame* frame, int plane) noexcept;
  uint8_t* (*getWritePtr)(VSFrame* frame, int plane) noexcept;
  const VSVideoFormat* (*getVideoFrameFormat)(const VSFrame* frame) noexcept;
  const VSAudioFormat* (*getAudioFrameFormat)(const VSFrame* frame) noexcept;
  int (*getFrameType)(const VSFrame* frame) noexcept;
  int (*getFrameWidth)(const VSFrame* frame, int plane) noexcept;
  int (*getFrameHeight)(const VSFrame* frame, int plane) noexcept;
  int (*getFrameLength)(const VSFrame* frame) noexcept;

  // Formats. The name buffers take at most 32 bytes, the terminator included.
  int (*getVideoFormatName)(const VSVideoFormat* format, char* buffer) noexcept;
  int (*getAudioFormatName)(const VSAudioFormat* format, char* buffer) noexcept;
  int (*queryVideoFormat)(VSVideoFormat* format, int family, int sample_type, int bits,
                          int sub_w, int sub_h, VSCore* core) noexcept;
  int (*queryAudioFormat)(VSAudioFormat* format, int sample_type, int bits,
                          uint64_t channel_layout, VSCore* core) noexcept;
  uint32_t (*queryVideoFormatID)(int family, int sample_type, int bits, int sub_w, int sub_h,
                                 VSCore* core) noexcept;
  int (*getVideoFormatByID)(VSVideoFormat* format, uint32_t id, VSCore* core) noexcept;

  // Frame requests. getFrame and getFrameAsync are for applications;
  // filters use the *Filter calls with the context they were given.
  const VSFrame* (*getFrame)(int n, VSNode* node, char* error_message, int size) noexcept;
  void (*getFrameAsync)(int n, VSNode* node, VSFrameDoneCallback callback,
                        void* user_data) noexcept;
  const VSFrame* (*getFrameFilter)(int n, VSNode* node, VSFrameContext* frame_ctx) noexcept;
  void (*requestFrameFilter)(int n, VSNode* node, VSFrameContext* frame_ctx) noexcept;
  void (*releaseFrameEarly)(VSNode* node, int n, VSFrameContext* frame_ctx) noexcept;
  void (*cacheFrame)(const VSFrame* frame, int n, VSFrameContext* frame_ctx) noexcept;
  void (*setFilterError)(const char* message, VSFrameContext* frame_ctx) noexcept;

  // Script functions as values.
  VSFunction* (*createFunction)(VSPublicFunction function, void* user_data,
                                VSFreeFunctionData free, VSCore* core) noexcept;
  void (*freeFunction)(VSFunction* function) noexcept;
  VSFunction* (*addFunctionRef)(VSFunction* function) noexcept;
  void (*callFunction)(VSFunction* function, const VSMap* in, VSMap* out) noexcept;

  // Maps: arguments, results and frame properties. The getters set *error
  // to a VSMapPropertyError (0 when the value was there).
  VSMap* (*createMap)() noexcept;
  void (*freeMap)(VSMap* map) noexcept;
  void (*clearMap)(VSMap* map) noexcept;
  void (*copyMap)(const VSMap* src, VSMap* dst) noexcept;
  void (*mapSetError)(VSMap* map, const char* message) noexcept;
  const char* (*mapGetError)(const VSMap* map) noexcept;
  int (*mapNumKeys)(const VSMap* map) noexcept;
  const char* (*mapGetKey)(const VSMap* map, int index) noexcept;
  int (*mapDeleteKey)(VSMap* map, const char* key) noexcept;
  int (*mapNumElements)(const VSMap* map, const char* key) noexcept;  // -1: no such key
  int (*mapGetType)(const VSMap* map, const char* key) noexcept;
  int (*mapSetEmpty)(VSMap* map, const char* key, int type) noexcept;
  int64_t (*mapGetInt)(const VSMap* map, const char* key, int index, int* error) noexcept;
  int (*mapGetIntSaturated)(const VSMap* map, const char* key, int index, int* error) noexcept;
  const int64_t* (*mapGetIntArray)(const VSMap* map, const char* key, int* error) noexcept;
  int (*mapSetInt)(VSMap* map, const char* key, int64_t value, int append) noexcept;
  int (*mapSetIntArray)(VSMap* map, const char* key, const int64_t* values, int size) noexcept;
  double (*mapGetFloat)(const VSMap* map, const char* key, int index, int* error) noexcept;
  float (*mapGetFloatSaturated)(const VSMap* map, const char* key, int index,
                                int* error) noexcept;
  const double* (*mapGetFloatArray)(const VSMap* map, const char* key, int* error) noexcept;
  int (*mapSetFloat)(VSMap* map, const char* key, double value, int append) noexcept;
  int (*mapSetFloatArray)(VSMap* map, const char* key, const double* values, int size) noexcept;
  const char* (*mapGetData)(const VSMap* map, const char* key, int index, int* error) noexcept;
  int (*mapGetDataSize)(const VSMap* map, const char* key, int index, int* error) noexcept;
  int (*mapGetDataTypeHint)(const VSMap* map, const char* key, int index, int* error) noexcept;
  int (*mapSetData)(VSMap* map, const char* key, const char* data, int size, int type,
                    int append) noexcept;
  VSNode* (*mapGetNode)(const VSMap* map, const char* key, int index, int* error) noexcept;
  int (*mapSetNode)(VSMap* map, const char* key, VSNode* node, int append) noexcept;
  // The Consume setters take over the caller's reference, even when they fail.
  int (*mapConsumeNode)(VSMap* map, const char* key, VSNode* node, int append) noexcept;
  const VSFrame* (*mapGetFrame)(const VSMap* map, const char* key, int index,
                                int* error) noexcept;
  int (*mapSetFrame)(VSMap* map, const char* key, const VSFrame* frame, int append) noexcept;
  int (*mapConsumeFrame)(VSMap* map, const char* key, const VSFrame* frame,
                         int append) noexcept;
  VSFunction* (*mapGetFunction)(const VSMap* map, const char* key, int index,
                                int* error) noexcept;
  int (*mapSetFunction)(VSMap* map, const char* key, VSFunction* function, int append) noexcept;
  int (*mapConsumeFunction)(VSMap* map, const char* key, VSFunction* function,
                            int append) noexcept;

  // Plugins and their functions.
  int (*registerFunction)(const char* name, const char* args, const char* return_type,
                          VSPublicFunction function, void* function_data,
                          VSPlugin* plugin) noexcept;
  VSPlugin* (*getPluginByID)(const char* identifier, VSCore* core) noexcept;
  VSPlugin* (*getPluginByNamespace)(const char* plugin_namespace, VSCore* core) noexcept;
  VSPlugin* (*getNextPlugin)(VSPlugin* plugin, VSCore* core) noexcept;
  const char* (*getPluginName)(VSPlugin* plugin) noexcept;
  const char* (*getPluginID)(VSPlugin* plugin) noexcept;
  const char* (*getPluginNamespace)(VSPlugin* plugin) noexcept;
  VSPluginFunction* (*getNextPluginFunction)(VSPluginFunction* function,
                                             VSPlugin* plugin) noexcept;
  VSPluginFunction* (*getPluginFunctionByName)(const char* name, VSPlugin* plugin) noexcept;
  const char* (*getPluginFunctionName)(VSPluginFunction* function) noexcept;
  const char* (*getPluginFunctionArguments)(VSPluginFunction* function) noexcept;
  const char* (*getPluginFunctionReturnType)(VSPluginFunction* function) noexcept;
  const char* (*getPluginPath)(const VSPlugin* plugin) noexcept;
  int (*getPluginVersion)(const VSPlugin* plugin) noexcept;
  VSMap* (*invoke)(VSPlugin* plugin, const char* name, const VSMap* args) noexcept;

  // The core.
  VSCore* (*createCore)(int flags) noexcept;
  void (*freeCore)(VSCore* core) noexcept;
  int64_t (*setMaxCacheSize)(int64_t bytes, VSCore* core) noexcept;
  int (*setThreadCount)(int threads, VSCore* core) noexcept;
  void (*getCoreInfo)(VSCore* core, VSCoreInfo* info) noexcept;
  int (*getAPIVersion)() noexcept;

  // Messages.
  void (*logMessage)(int message_type, const char* message, VSCore* core) noexcept;
  VSLogHandle* (*addLogHandler)(VSLogHandler handler, VSLogHandlerFree free, void* user_data,
                                VSCore* core) noexcept;
  int (*removeLogHandler)(VSLogHandle* handle, VSCore* core) noexcept;
  // The core's graph-inspection slots follow only in builds that enable
  // them; plugins never use them, so they are left out.
};

// The one symbol a plugin exports; the core calls it once per load.
extern "C" __attribute__((visibility("default"))) void VapourSynthPluginInit2(
    VSPlugin* plugin, const VSPLUGINAPI* vspapi);

// Where the core expects things; checked against the core's own header.
static_assert(sizeof(VSVideoFormat) == 28, "VSVideoFormat size");
static_assert(sizeof(VSVideoInfo) == 64, "VSVideoInfo size");
static_assert(offsetof(VSVideoInfo, fpsNum) == 32, "VSVideoInfo fpsNum");
static_assert(offsetof(VSVideoInfo, width) == 48, "VSVideoInfo width");
static_assert(offsetof(VSVideoInfo, numFrames) == 56, "VSVideoInfo numFrames");
static_assert(sizeof(VSFilterDependency) == 16, "VSFilterDependency size");
static_assert(sizeof(VSPLUGINAPI) == 3 * sizeof(void*), "VSPLUGINAPI slots");
static_assert(offsetof(VSAPI, freeNode) == 7 * sizeof(void*), "VSAPI freeNode slot");
static_assert(offsetof(VSAPI, getVideoInfo) == 10 * sizeof(void*), "VSAPI getVideoInfo slot");
static_assert(offsetof(VSAPI, newVideoFrame) == 12 * sizeof(void*), "VSAPI newVideoFrame slot");
static_assert(offsetof(VSAPI, freeFrame) == 16 * sizeof(void*), "VSAPI freeFrame slot");
static_assert(offsetof(VSAPI, getFramePropertiesRO) == 19 * sizeof(void*), "VSAPI props slot");
static_assert(offsetof(VSAPI, getStride) == 21 * sizeof(void*), "VSAPI getStride slot");
static_assert(offsetof(VSAPI, getFrameWidth) == 27 * sizeof(void*), "VSAPI getFrameWidth slot");
static_assert(offsetof(VSAPI, getVideoFormatName) == 30 * sizeof(void*), "VSAPI format name slot");
static_assert(offsetof(VSAPI, getFrame) == 36 * sizeof(void*), "VSAPI getFrame slot");
static_assert(offsetof(VSAPI, getFrameFilter) == 38 * sizeof(void*), "VSAPI getFrameFilter slot");
static_assert(offsetof(VSAPI, setFilterError) == 42 * sizeof(void*), "VSAPI setFilterError slot");
static_assert(offsetof(VSAPI, createMap) == 47 * sizeof(void*), "VSAPI createMap slot");
static_assert(offsetof(VSAPI, mapSetError) == 51 * sizeof(void*), "VSAPI mapSetError slot");
static_assert(offsetof(VSAPI, mapNumElements) == 56 * sizeof(void*), "VSAPI mapNumElements slot");
static_assert(offsetof(VSAPI, mapGetInt) == 59 * sizeof(void*), "VSAPI mapGetInt slot");
static_assert(offsetof(VSAPI, mapSetInt) == 62 * sizeof(void*), "VSAPI mapSetInt slot");
static_assert(offsetof(VSAPI, mapGetNode) == 73 * sizeof(void*), "VSAPI mapGetNode slot");
static_assert(offsetof(VSAPI, mapConsumeNode) == 75 * sizeof(void*), "VSAPI mapConsumeNode slot");
static_assert(offsetof(VSAPI, registerFunction) == 82 * sizeof(void*), "VSAPI plugin slots");
static_assert(offsetof(VSAPI, invoke) == 96 * sizeof(void*), "VSAPI invoke slot");
static_assert(sizeof(VSAPI) == 106 * sizeof(void*), "VSAPI slot count");

#endif  // VANTREL_SDK_VAPOURSYNTH4_H
