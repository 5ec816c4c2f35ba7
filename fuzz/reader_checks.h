// Checks both reader targets make of what a reader says: messages a person
// can act on, and frames that are exactly the bytes the stream holds.
#pragma once

#include <string>

#include "cli/frame_io.h"
#include "fuzz/fuzz_input.h"

namespace vantrel::fuzz {

// One line of printable text that names the input first.
inline bool IsClearMessage(const std::string& message, const std::string& name) {
  if (message.compare(0, name.size() + 2, name + ": ") != 0) return false;
  for (const char c : message) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return true;
}

// A failing frame is named by its number and the byte its data (or marker)
// starts at, in the message and in the reader's fields.
inline void CheckFrameError(const char* target, const cli::FrameReader& reader, int64_t frame,
                            uint64_t offset) {
  const std::string& e = reader.error();
  FUZZ_CHECK(target, IsClearMessage(e, reader.name()), "unclear message: " + e);
  FUZZ_CHECK(target, e.find("frame " + std::to_string(frame) + " ") != std::string::npos,
             "message does not name frame " + std::to_string(frame) + ": " + e);
  FUZZ_CHECK(target, e.find("byte " + std::to_string(offset)) != std::string::npos,
             "message does not name byte " + std::to_string(offset) + ": " + e);
  FUZZ_CHECK(target, reader.error_frame() == frame && reader.error_offset() == int64_t(offset),
             "error position " + std::to_string(reader.error_frame()) + "@" +
                 std::to_string(reader.error_offset()) + ", expected " + std::to_string(frame) +
                 "@" + std::to_string(offset));
}

}  // namespace vantrel::fuzz
