#pragma once

#include <cstdint>

#include "setup/Failure.h"

// The code of the Failure the call throws, or 0 when it throws none.
template <typename Call>
std::int32_t FailureCodeOf(Call call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.Code();
  }
  return 0;
}
