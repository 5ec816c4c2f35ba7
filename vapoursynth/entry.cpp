#include "core/version.h"
#include "sdk/vapoursynth4.h"
#include "vapoursynth/deinterlace.h"

extern "C" void VapourSynthPluginInit2(VSPlugin* plugin, const VSPLUGINAPI* vspapi) {
  using vantrel::kVersionMajor;
  using vantrel::kVersionMinor;
  vspapi->configPlugin("org.vantrel.deinterlace", "vantrel", "Vantrel deinterlacer",
                       VSMakeVersion(kVersionMajor, kVersionMinor), kVSApiVersion, 0, plugin);
  vspapi->registerFunction("Deinterlace", vantrel::vs::kDeinterlaceArgs, "clip:vnode;",
                           vantrel::vs::CreateDeinterlace, nullptr, plugin);
}
