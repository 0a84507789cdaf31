// The program's one way out after a failure it cannot live with.
#ifndef SEGJOIN_UI_FATAL_ERROR_H_
#define SEGJOIN_UI_FATAL_ERROR_H_

#include <cstddef>
#include <functional>
#include <string>

namespace segjoin {

// Shows a modal error box with `message` (UTF-8), owned by no window, and
// ends the process with exit code -1 once it is dismissed. Callable from any
// thread. Each window toolkit provides its own.
[[noreturn]] void FatalError(const std::string& message);

inline constexpr char kNoRunDirectoryMessage[] = "无法确定程序所在的文件夹";

// "内存不足：无法分配 N 字节".
std::string OutOfMemoryMessage(size_t bytes);

// Runs `body`; an allocation it cannot recover from becomes a fatal error
// that names the number of bytes requested.
void RunOrDieOnOutOfMemory(const std::function<void()>& body);

}  // namespace segjoin

#endif  // SEGJOIN_UI_FATAL_ERROR_H_
