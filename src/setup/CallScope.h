#pragma once

// Counts a call as in progress for as long as it runs: code that must not run again inside
// it, or must put work off until it returns, looks at the count.
class CallScope {
 public:
  explicit CallScope(int& depth) : depth_(depth) { ++depth_; }
  ~CallScope() { --depth_; }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  int& depth_;
};
