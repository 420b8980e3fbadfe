#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Bytes received from the Server Module and not yet consumed, in arrival order, exactly as
// received. Messages leave from the front; the consumed front is reclaimed lazily so that
// draining N queued messages costs time linear in N, not N times the buffer size.
class ReceiveBuffer {
 public:
  bool empty() const { return head_ == data_.size(); }
  std::size_t size() const { return data_.size() - head_; }
  unsigned char operator[](std::size_t i) const {
    return static_cast<unsigned char>(data_[head_ + i]);
  }
  std::string_view View() const { return std::string_view(data_).substr(head_); }

  void Append(std::string_view bytes);
  // Removes the first count bytes (all of them when count >= size()) and returns them.
  std::string TakeFront(std::size_t count);
  void Clear();

  // 1-based position of the first 0xFF, 0 when there is none. Remembers how far it has
  // already looked, so an incomplete message that grows is never rescanned from its front.
  std::int32_t FindEOM() const;

 private:
  void Compact();

  std::string data_;
  std::size_t head_ = 0;
  mutable std::size_t scannedNoEOM_ = 0;  // bytes from the front known to hold no 0xFF
};
