// The description a call raises, for tests that expect it to fail.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "compaction/raised_error.h"

namespace vintrel::testing {

inline std::u16string DescriptionOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const RaisedError& failure) {
    return failure.description();
  }
  ADD_FAILURE() << "the call did not fail";
  return {};
}

}  // namespace vintrel::testing
