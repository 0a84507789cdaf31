// Gathers small appends into large writes. Series of many small segments
// would otherwise cost one system call each; large pieces go straight
// through without being copied.
#ifndef SEGJOIN_MERGE_WRITE_BUFFER_H_
#define SEGJOIN_MERGE_WRITE_BUFFER_H_

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

namespace segjoin {

class WriteBuffer {
 public:
  static constexpr size_t kCapacity = 1 << 20;

  // `write_all` writes every byte it is given or returns false.
  explicit WriteBuffer(std::function<bool(const char*, size_t)> write_all)
      : write_all_(std::move(write_all)) {}

  bool Append(const char* data, size_t size) {
    if (used_ + size > kCapacity && !Flush()) return false;
    if (size >= kCapacity) return write_all_(data, size);
    if (!buffer_) buffer_.reset(new char[kCapacity]);
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
    return true;
  }

  bool Flush() {
    const size_t used = std::exchange(used_, 0);
    return used == 0 || write_all_(buffer_.get(), used);
  }

 private:
  std::function<bool(const char*, size_t)> write_all_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
};

}  // namespace segjoin

#endif  // SEGJOIN_MERGE_WRITE_BUFFER_H_
