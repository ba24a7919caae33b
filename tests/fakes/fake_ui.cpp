#include "fakes/fake_ui.h"

namespace setup::testing {

int RecordingMessageBoxes::Show(const std::string& text, const std::string& caption,
                                uint32_t style) {
  ShownBox box{text, caption, style};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_.push_back(box);
  }
  return answer ? answer(box) : box::kIdOk;
}

std::vector<ShownBox> RecordingMessageBoxes::Shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

CatalogueStrings::CatalogueStrings() {
#define CATALOGUE_ENTRY(id, text) strings[id] = text;
#include "support/catalogue_texts.inc"
#undef CATALOGUE_ENTRY
}

std::string CatalogueStrings::Load(uint32_t id) {
  auto it = strings.find(id);
  return it == strings.end() ? std::string() : it->second;
}

}  // namespace setup::testing
