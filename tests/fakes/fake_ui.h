// Message boxes that record what the user would have seen, and the string
// table built from the catalogue the resources are made of.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/platform.h"

namespace setup::testing {

struct ShownBox {
  std::string text;
  std::string caption;
  uint32_t style = 0;
};

class RecordingMessageBoxes : public MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t style) override;

  // Thread-safe copies: message boxes may be shown from a worker thread.
  std::vector<ShownBox> Shown() const;
  // Answer for every box; IDOK when unset.
  std::function<int(const ShownBox&)> answer;

 private:
  mutable std::mutex mutex_;
  std::vector<ShownBox> shown_;
};

class CatalogueStrings : public StringCatalogue {
 public:
  CatalogueStrings();  // every entry of the catalogue
  std::string Load(uint32_t id) override;
  std::map<uint32_t, std::string> strings;
};

}  // namespace setup::testing
