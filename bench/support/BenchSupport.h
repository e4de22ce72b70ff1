#pragma once
// Shared plumbing of the benchmarks that compare against the ffmpeg command
// line: running a command with its peak memory, and a main() that makes the
// 1080p test clip once.

#include <string>
#include <vector>

namespace stillora::bench {

// Runs a command (found on the PATH); returns its exit status, or -1, and
// puts its peak resident memory in kB into *peakKb when given.
int SpawnAndWait(const std::vector<std::string>& args, long* peakKb);

// The clip the benchmarks read: --clip=PATH, or a 1920x1080 H.264 clip with
// three B-frames made once in the temporary folder under `defaultName`.
const std::string& Clip();

// Parses --clip, makes the clip when needed (`seconds` long), then runs the
// registered benchmarks with the remaining arguments. Use as main().
int RunBenchmarks(int argc, char** argv, const char* defaultName, int seconds);

} // namespace stillora::bench
