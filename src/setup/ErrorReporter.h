#pragma once

#include <string_view>

// The one way failures are recorded. ReportError is called from inside a catch block: it takes
// the code and description of the failure being handled (std::current_exception()).
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void ReportError(std::string_view message, std::string_view location) = 0;
  // Called now and then (each poll-timer tick) so that a reporter holding reports back can
  // write them out once their time has come.
  virtual void Tick() {}
};
