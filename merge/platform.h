// Everything that differs between POSIX and Windows. platform_posix.cc and
// platform_win32.cc implement it; CMake compiles one of them.
#ifndef SEGJOIN_MERGE_PLATFORM_H_
#define SEGJOIN_MERGE_PLATFORM_H_

#include <optional>
#include <string>

#include "merge/file_system.h"

namespace segjoin {

// Separator between the run directory and a file name.
extern const char kPathSeparator;

// The directory holding the running executable, without a trailing
// separator ("" for a program in "/", "C:" for one in a drive root);
// nothing if it cannot be found out.
std::optional<std::string> RunDirectory();

// Makes `directory` the process's current directory.
bool ChangeCurrentDirectory(const std::string& directory);

// The disk as it really is.
FileSystem& RealFileSystem();

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_PLATFORM_H_
