#include "protocol/ReceiveBuffer.h"

#include <cstring>

namespace {

// Storage kept for the next arrivals once the buffer is empty: polls and reports are a few
// bytes each.
constexpr std::size_t kKeptCapacity = 64 * 1024;

}  // namespace

void ReceiveBuffer::Append(std::string_view bytes) {
  data_.append(bytes);
}

std::string ReceiveBuffer::TakeFront(std::size_t count) {
  if (count >= size()) {
    std::string all = data_.substr(head_);
    Clear();
    return all;
  }
  std::string front = data_.substr(head_, count);
  head_ += count;
  scannedNoEOM_ = scannedNoEOM_ > count ? scannedNoEOM_ - count : 0;
  Compact();
  return front;
}

void ReceiveBuffer::Clear() {
  // A name table leaves megabytes of storage behind; an idle panel gives them back.
  if (data_.capacity() > kKeptCapacity) {
    std::string().swap(data_);
  } else {
    data_.clear();
  }
  head_ = 0;
  scannedNoEOM_ = 0;
}

std::int32_t ReceiveBuffer::FindEOM() const {
  const std::size_t length = size();
  const char* front = data_.data() + head_;
  const void* hit = std::memchr(front + scannedNoEOM_, 0xFF, length - scannedNoEOM_);
  if (hit == nullptr) {
    scannedNoEOM_ = length;
    return 0;
  }
  const auto position = static_cast<std::size_t>(static_cast<const char*>(hit) - front);
  scannedNoEOM_ = position;
  return static_cast<std::int32_t>(position + 1);
}

void ReceiveBuffer::Compact() {
  // Reclaim the consumed front once it is at least half the storage: amortised O(1) per byte.
  if (head_ >= 4096 && head_ * 2 >= data_.size()) {
    data_.erase(0, head_);
    head_ = 0;
  }
}
