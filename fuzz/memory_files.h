// A file system in memory behind the platform calls, for the fuzz targets:
// reads come back in sizes the fuzzer chooses, and a chosen read can fail.
#ifndef BRANTIX_FUZZ_MEMORY_FILES_H_
#define BRANTIX_FUZZ_MEMORY_FILES_H_

#include <cstddef>
#include <map>
#include <string>
#include <vector>

struct MemoryFiles {
  std::map<std::string, std::string> files;
  std::vector<std::string> open_path;   ///< By descriptor - 3.
  std::vector<std::size_t> position;    ///< Read position, by descriptor.
  std::vector<std::size_t> read_sizes;  ///< Most bytes per read, in turn.
  std::size_t reads = 0;
  long long fail_read = -1;  ///< This read (from 0) fails.
};

/// The one file system, emptied by ResetMemory().
MemoryFiles& Memory();
void ResetMemory();

#endif  // BRANTIX_FUZZ_MEMORY_FILES_H_
