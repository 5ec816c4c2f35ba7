// What the tool needs from the operating system, in the one shape the rest
// of the tool uses: files and pipes, their identity, reads that Ctrl-C can
// end, error texts, the terminal and the command line. POSIX systems have
// platform_posix.cpp, Windows platform_windows.cpp; nothing else in the tool
// asks which one it runs on. The interrupt half of the seam is interrupt.h.
//
// Functions that fail return false or -1 and leave an errno value in errno
// (Windows errors are translated), so messages read the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::cli::platform {

// A descriptor on POSIX, a HANDLE on Windows.
using FileHandle = intptr_t;
constexpr FileHandle kNoFile = -1;

FileHandle StandardInput();
FileHandle StandardOutput();

// Paths are UTF-8. Reading shares the file with everyone. Writing creates
// the file or opens it as it is, its bytes untouched until Truncate, so that
// a run that cannot start leaves every output as it was; *created says
// whether it was made now. kNoFile on failure.
FileHandle OpenForReading(const std::string& path);
FileHandle OpenForWriting(const std::string& path, bool* created);
// Empties a file opened for writing; pipes and devices are left alone.
bool Truncate(FileHandle file);
bool RemoveFile(const std::string& path);
// 0, or the errno of an error the system kept until the close.
int Close(FileHandle file);

// Identity of a file under any of its names: device and inode on POSIX,
// volume serial number and file index on Windows. Wine cannot name the
// volume of a handle inherited from a Unix process; two ids then match by
// index alone, which errs towards refusing to overwrite.
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool volume_known = true;
  bool operator==(const FileId& o) const {
    return index == o.index && (volume == o.volume || !volume_known || !o.volume_known);
  }
};

struct FileFacts {
  enum class Kind { kRegular, kDirectory, kDevice, kOther } kind = Kind::kOther;
  int64_t size = 0;      // regular files
  int64_t position = 0;  // regular files: where the next read starts
  // Regular files and disks: writing to the same id would overwrite the
  // input. Pipes and terminals may be shared by input and output.
  bool has_id = false;
  FileId id;
};
bool Describe(FileHandle file, FileFacts* facts);
bool DescribePath(const std::string& path, FileFacts* facts);

// Asks for a larger pipe buffer where the system allows it: a frame then
// arrives in a few reads instead of dozens, each a wake-up of the reader
// that the filter threads pay for. Nothing happens for files.
void WidenPipe(FileHandle file);

// Scattered memory for one read or write, as readv and writev take it.
struct Slice {
  void* data;
  size_t size;
};
// Both never read or write more than the system takes in one go; the
// caller loops. ReadSome returns 0 at the end of the input.
//
// A pipe or terminal (`may_block`) can stall for ever: such a read also
// ends, with ECANCELED, once Ctrl-C arrives or CancelReads runs. A file
// never stalls.
int64_t ReadSome(FileHandle file, const Slice* slices, int count, bool may_block);
// Not interruptible: after Ctrl-C the frames already read are still
// written (a second Ctrl-C ends a stalled output). A closed pipe is EPIPE.
int64_t WriteSome(FileHandle file, const Slice* slices, int count);

// The system's text for an errno value; safe from several threads.
std::string ErrorText(int err);
// Said after ErrorText(EFBIG): why a file stopped growing here.
extern const char kFileSizeLimitHint[];

// True when standard error, or standard output, shows on a terminal (a
// console on Windows).
bool ErrorsGoToTerminal();
bool OutputGoesToTerminal();

// Standard streams the tool was started without. Each is opened on the null
// device, so that no file opened later takes its place; call it first.
struct ClosedStreams {
  bool input = false;
  bool output = false;
};
ClosedStreams OpenClosedStandardStreams();

// Once, first thing: standard streams pass bytes unchanged, and a closed
// output pipe or a file size limit becomes a write error instead of ending
// the process.
void PrepareProcess();

// The command line as UTF-8, whatever the system hands main().
std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace vantrel::cli::platform
