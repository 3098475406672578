#pragma once

#include "util/error_display_win32.h"

#include <string>
#include <vector>

namespace pigeonet::testing {

// The application's error display for the test's life: every failure's text is kept instead of shown in a box.
class RecordingErrorDisplay final : public ErrorDisplay {
  public:
    void Show(const std::string& text) override { shown.push_back(text); }

    std::vector<std::string> shown;

  private:
    ErrorDisplayScope installed_{*this};
};

}  // namespace pigeonet::testing
