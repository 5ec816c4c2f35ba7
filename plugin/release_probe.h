// Some hosts release each clip argument of a classic plugin function once more
// after the call than they added (a convention of another platform's compiler,
// where the callee destroys by-value arguments), so a filter that keeps the
// clip is left holding a freed one. Which host does so is found out per call,
// in the running host: the plugin calls its own function through the host on
// a clip of its own and sees whether that clip comes back one reference short.
// Per call, because one host does it on some paths (building a script) and not
// on others (calls made while frames are served).
#pragma once

#include "sdk/avisynth.h"

namespace vantrel {

// True when the call's first argument is a probe's clip: the apply function
// then builds nothing and returns ReleaseProbeAnswer().
bool IsReleaseProbe(const AVSValue& first_argument);
AVSValue ReleaseProbeAnswer();

// Calls the script function `name`, this plugin's own, through env on a clip
// of the plugin's own; true when the host took one reference more than it
// added. Never throws: a call the host cannot make answers false.
bool HostReleasesClipArgumentOnceMore(IScriptEnvironment* env, const char* name);

// Adds the reference the host takes from clip after the call returns. Never
// released: the host's release is its release.
void HoldForHostRelease(const PClip& clip);

}  // namespace vantrel
