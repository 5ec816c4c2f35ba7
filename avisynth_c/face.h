// The AviSynth+ plugin through the host's C interface: the face Windows
// hosts load (a GCC-built plugin cannot use the C++ interface of an
// MSVC-built host). The same three script functions, arguments, refusals and
// frames as the 2.5 face, over the filter core. Every call from the host
// reaches the face through a table of the host's functions (sdk/avisynth_c.h)
// that the entry point resolves, and nothing the face does lets a C++
// exception out: refusals go back as the interface's error values.
#pragma once

#include <cstdlib>

#include "core/working_set.h"
#include "engine/cpu.h"
#include "sdk/avisynth_c.h"

namespace vantrel::avs_c {

// What the face works with: the host's functions, and (for tests) the
// allocator of the filters' working buffers and the processor probe.
struct HostLink {
  AvsCApi api;
  AllocateFn allocate = std::malloc;
  CpuFeatures (*detect_cpu)() = DetectCpuFeatures;
};

// Adds VantrelDeinterlace, VTDeinterlace_AddRegion and VTDeinterlace_SubRegion
// to env; `link` must outlive every filter the functions make. False when
// the host refused one.
bool AddScriptFunctions(const HostLink* link, AVS_ScriptEnvironment* env) noexcept;

}  // namespace vantrel::avs_c
