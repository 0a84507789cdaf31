#include "merge/naming.h"

#include "merge/platform.h"

namespace segjoin {

std::string FormatDecimal(int32_t value) { return std::to_string(value); }

std::string SegmentFileName(std::string_view prefix, int32_t number) {
  std::string name(prefix);
  name += FormatDecimal(number);
  name += kExtension;
  return name;
}

std::string ChunkFileName(int32_t number) {
  std::string name(kOutputStem);
  name += FormatDecimal(number);
  name += kExtension;
  return name;
}

std::string StagingFileName(unsigned long process_id, unsigned counter,
                            unsigned long clock) {
  std::string name(".");
  name += kOutputStem;
  for (unsigned long part :
       {process_id, static_cast<unsigned long>(counter), clock % 1000000}) {
    name += '-';
    name += std::to_string(part);
  }
  name += ".part";
  return name;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path(directory);
  path += kPathSeparator;
  path += name;
  return path;
}

}  // namespace segjoin
