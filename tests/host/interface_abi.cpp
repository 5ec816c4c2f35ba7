// Runtime checks of the interface header: virtual slot positions (the
// layouts are static_asserts in the header), AVSValue copies and the clip
// reference counts every copy must keep straight.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "avisynth/host_access.h"

namespace {

// Itanium C++ ABI: a pointer to a virtual member function holds 1 plus the
// function's byte offset in the vtable.
template <typename Member>
long SlotOf(Member member) {
  struct Representation {
    uintptr_t ptr;
    ptrdiff_t adj;
  } rep;
  static_assert(sizeof(Member) == sizeof rep, "not an Itanium member pointer");
  std::memcpy(&rep, &member, sizeof rep);
  if ((rep.ptr & 1) == 0) return -1;  // not virtual
  return static_cast<long>((rep.ptr - 1) / sizeof(void*));
}

struct ClipProbe : IClip {
  virtual int Extra() { return 0; }  // lands right after the destructor's two slots
};
struct EnvironmentProbe : IScriptEnvironment {
  virtual int Extra() { return 0; }
};

TEST(HostInterfaceAbi, ClipSlotsFollowHostOrderWithDestructorLast) {
  EXPECT_EQ(SlotOf(&IClip::GetVersion), 0);
  EXPECT_EQ(SlotOf(&IClip::GetFrame), 1);
  EXPECT_EQ(SlotOf(&IClip::GetParity), 2);
  EXPECT_EQ(SlotOf(&IClip::GetAudio), 3);
  EXPECT_EQ(SlotOf(&IClip::SetCacheHints), 4);
  EXPECT_EQ(SlotOf(&IClip::GetVideoInfo), 5);
  EXPECT_EQ(SlotOf(&ClipProbe::Extra), 8);
}

TEST(HostInterfaceAbi, EnvironmentSlotsFollowHostOrderAfterDestructor) {
  using E = IScriptEnvironment;
  EXPECT_EQ(SlotOf(&E::GetCPUFlags), 2);
  EXPECT_EQ(SlotOf(&E::SaveString), 3);
  EXPECT_EQ(SlotOf(&E::Sprintf), 4);
  EXPECT_EQ(SlotOf(&E::VSprintf), 5);
  EXPECT_EQ(SlotOf(&E::ThrowError), 6);
  EXPECT_EQ(SlotOf(&E::AddFunction), 7);
  EXPECT_EQ(SlotOf(&E::FunctionExists), 8);
  EXPECT_EQ(SlotOf(&E::Invoke), 9);
  EXPECT_EQ(SlotOf(&E::GetVar), 10);
  EXPECT_EQ(SlotOf(&E::SetVar), 11);
  EXPECT_EQ(SlotOf(&E::SetGlobalVar), 12);
  EXPECT_EQ(SlotOf(&E::PushContext), 13);
  EXPECT_EQ(SlotOf(&E::PopContext), 14);
  EXPECT_EQ(SlotOf(&E::NewVideoFrame), 15);
  EXPECT_EQ(SlotOf(&E::MakeWritable), 16);
  EXPECT_EQ(SlotOf(&E::BitBlt), 17);
  EXPECT_EQ(SlotOf(&E::AtExit), 18);
  EXPECT_EQ(SlotOf(&E::CheckVersion), 19);
  EXPECT_EQ(SlotOf(&E::Subframe), 20);
  EXPECT_EQ(SlotOf(&E::SetMemoryMax), 21);
  EXPECT_EQ(SlotOf(&E::SetWorkingDir), 22);
  EXPECT_EQ(SlotOf(&E::ManageCache), 23);
  EXPECT_EQ(SlotOf(&E::PlanarChromaAlignment), 24);
  EXPECT_EQ(SlotOf(&E::SubframePlanar), 25);
  EXPECT_EQ(SlotOf(&EnvironmentProbe::Extra), 26);
}

class CountedClip : public IClip {
 public:
  explicit CountedClip(bool* deleted) : deleted_(deleted) { vi_.width = 16; }
  ~CountedClip() override { *deleted_ = true; }
  PVideoFrame GetFrame(int, IScriptEnvironment*) override { return {}; }
  bool GetParity(int n) override { return n % 2 == 1; }
  void GetAudio(void* buf, int64_t start, int64_t count, IScriptEnvironment*) override {
    audio_calls.push_back({buf, start, count});
  }
  void SetCacheHints(int, int) override { ++cache_hint_calls; }
  const VideoInfo& GetVideoInfo() override { return vi_; }

  struct AudioCall {
    void* buf;
    int64_t start, count;
  };
  std::vector<AudioCall> audio_calls;
  int cache_hint_calls = 0;

 private:
  bool* deleted_;
  VideoInfo vi_{};
};

long Refs(IClip* clip) { return AvsHostAccess::ClipRefcount(*clip); }

TEST(HostAvsValue, CopiesKeepAllSixtyFourBitsOfPointers) {
  // Upper half set on purpose: a copy of only two 32-bit words would lose it.
  const char* far = reinterpret_cast<const char*>(uintptr_t{0x123456789abcdef0});
  const AVSValue string(far);
  const AVSValue copy(string);
  AVSValue assigned;
  assigned = string;
  EXPECT_EQ(copy.AsString(), far);
  EXPECT_EQ(assigned.AsString(), far);

  const AVSValue elements[2] = {AVSValue(1), AVSValue(far)};
  const AVSValue array(elements, 2);
  const AVSValue array_copy(array);
  EXPECT_EQ(&array_copy[1], &elements[1]);
}

TEST(HostAvsValue, ClipReferencesFollowEveryCopyAndTheLastOneDeletes) {
  bool deleted = false;
  auto* clip = new CountedClip(&deleted);
  EXPECT_EQ(Refs(clip), 0);  // a fresh clip has no holder
  {
    PClip handle(clip);
    EXPECT_EQ(Refs(clip), 1);
    AVSValue value(handle);
    EXPECT_EQ(Refs(clip), 2);
    {
      AVSValue copy(value);
      AVSValue assigned(7);
      assigned = value;
      EXPECT_EQ(Refs(clip), 4);
      EXPECT_EQ(copy.AsClip().get(), clip);
      assigned = AVSValue(3);  // overwriting a clip value releases it
      EXPECT_EQ(Refs(clip), 3);
    }
    const AVSValue& same = value;
    value = same;  // self-assignment must neither leak nor drop
    EXPECT_EQ(Refs(clip), 2);
  }
  EXPECT_TRUE(deleted);
}

TEST(HostAvsValue, DefaultsApplyWhenTheValueHoldsAnotherType) {
  const AVSValue undefined;
  const AVSValue flag(true);
  const AVSValue number(42);
  EXPECT_FALSE(undefined.Defined());
  EXPECT_EQ(undefined.AsInt(16), 16);
  EXPECT_EQ(flag.AsInt(16), 16);
  EXPECT_EQ(number.AsInt(16), 42);
  EXPECT_TRUE(undefined.AsBool(true));
  EXPECT_FALSE(number.AsBool(false));
  EXPECT_TRUE(flag.AsBool(false));
  EXPECT_FALSE(number.AsClip());
  EXPECT_FLOAT_EQ(number.AsFloat(0.5f), 42.0f);
}

TEST(HostAvsValue, IndexingGivesElementsAndUndefinedOutOfRange) {
  const AVSValue elements[3] = {AVSValue(1), AVSValue(), AVSValue(false)};
  const AVSValue array(elements, 3);
  EXPECT_EQ(array.ArraySize(), 3);
  EXPECT_EQ(array[0].AsInt(0), 1);
  EXPECT_FALSE(array[1].Defined());
  EXPECT_TRUE(array[2].IsBool());
  EXPECT_FALSE(array[3].Defined());
  EXPECT_FALSE(array[-1].Defined());
  const AVSValue single(5);  // a plain value acts as an array of one
  EXPECT_EQ(single.ArraySize(), 1);
  EXPECT_EQ(single[0].AsInt(0), 5);
  EXPECT_FALSE(single[1].Defined());
}

TEST(HostGenericVideoFilter, PassesRequestsToTheChildExceptCacheHints) {
  struct Passthrough : GenericVideoFilter {
    using GenericVideoFilter::GenericVideoFilter;
  };
  bool deleted = false;
  auto* child = new CountedClip(&deleted);
  {
    PClip filter(new Passthrough(PClip(child)));
    EXPECT_EQ(filter->GetVersion(), 2);
    EXPECT_TRUE(filter->GetParity(3));
    EXPECT_FALSE(filter->GetParity(4));
    int buffer = 0;
    filter->GetAudio(&buffer, int64_t{1} << 40, 7, nullptr);
    ASSERT_EQ(child->audio_calls.size(), 1u);
    EXPECT_EQ(child->audio_calls[0].buf, &buffer);
    EXPECT_EQ(child->audio_calls[0].start, int64_t{1} << 40);
    EXPECT_EQ(child->audio_calls[0].count, 7);
    filter->SetCacheHints(1, 10);
    EXPECT_EQ(child->cache_hint_calls, 0);
    EXPECT_EQ(filter->GetVideoInfo().width, 16);
    EXPECT_EQ(Refs(child), 1);  // the filter's own handle
  }
  EXPECT_TRUE(deleted);  // dropping the filter released the child
}

}  // namespace
