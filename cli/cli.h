// segjoin-cli: the merge job driven from the command line.
#ifndef SEGJOIN_CLI_CLI_H_
#define SEGJOIN_CLI_CLI_H_

#include <ostream>
#include <string>
#include <vector>

#include "merge/file_system.h"

namespace segjoin {

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitNoSegment = 1;
inline constexpr int kExitFileError = 2;
inline constexpr int kExitUsage = 64;  // EX_USAGE

// Runs the command line `args` (without the program name). Status texts go
// to `out`, one a line; on a terminal progress lines overwrite each other.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err, bool out_is_terminal,
                   FileSystem& file_system);

}  // namespace segjoin

#endif  // SEGJOIN_CLI_CLI_H_
