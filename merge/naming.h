// How the job names segment, chunk and output files.
#ifndef SEGJOIN_MERGE_NAMING_H_
#define SEGJOIN_MERGE_NAMING_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace segjoin {

inline constexpr std::string_view kExtension = ".mp3";
inline constexpr std::string_view kOutputStem = "合成音频";
inline constexpr std::string_view kOutputFileName = "合成音频.mp3";

// Plain decimal: a leading "-" when negative, no "+", no padding.
std::string FormatDecimal(int32_t value);

// prefix + decimal(number) + ".mp3"; the number follows the prefix directly.
std::string SegmentFileName(std::string_view prefix, int32_t number);

// "合成音频" + decimal(number) + ".mp3".
std::string ChunkFileName(int32_t number);

// A hidden name for data on its way to a chunk or the output, unique for
// the process, a per-process counter and a clock reading, so that two jobs or
// two programs never share one.
std::string StagingFileName(unsigned long process_id, unsigned counter,
                            unsigned long clock);

// directory + one separator + name.
std::string JoinPath(std::string_view directory, std::string_view name);

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_NAMING_H_
