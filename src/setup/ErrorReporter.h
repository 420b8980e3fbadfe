#pragma once

#include <string_view>

// The one way failures are recorded. ReportError is called from inside a catch block: it takes
// the code and description of the failure being handled (std::current_exception()).
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void ReportError(std::string_view message, std::string_view location) = 0;
  // Lets a reporter that holds reports back write them once their time has come. The link's
  // host calls it every 30 s whatever the Refresh Rate (the poll timer sleeps through the
  // ticks that only count, up to 1,000 s at Refresh Rate 50), and the poll ticks that do work
  // call it too; so nothing held back waits more than a minute. It must cost next to nothing
  // when nothing is held.
  virtual void Tick() {}
};
