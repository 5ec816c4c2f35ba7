#include "avisynth_shared/regions.h"

namespace vantrel {

RegionList& ProcessRegionList() {
  static RegionList list;
  return list;
}

}  // namespace vantrel
