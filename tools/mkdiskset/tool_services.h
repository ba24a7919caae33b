// What the commands of mkdiskset share beside the copy engine: the message
// texts, message boxes that write to a stream, and a scratch folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <system_error>

#include "support/messages.h"
#include "support/platform.h"

namespace setup::tools {

// The engine's one message (11, no free space) goes to the error stream.
class StreamMessageBoxes : public MessageBoxes {
 public:
  explicit StreamMessageBoxes(std::ostream& err) : err_(err) {}
  int Show(const std::string& text, const std::string& caption, uint32_t) override {
    err_ << "mkdiskset: " << caption << ": " << text << "\n";
    return box::kIdOk;
  }

 private:
  std::ostream& err_;
};

class CatalogueTexts : public StringCatalogue {
 public:
  std::string Load(uint32_t id) override {
    switch (id) {
#define CATALOGUE_ENTRY(number, text) \
  case number:                        \
    return text;
#include "support/catalogue_texts.inc"
#undef CATALOGUE_ENTRY
      default:
        return {};
    }
  }
};

// The texts and boxes for a copy engine that shows nothing.
struct SilentTexts {
  class NoBoxes : public MessageBoxes {
   public:
    int Show(const std::string&, const std::string&, uint32_t) override { return box::kIdOk; }
  };
  CatalogueTexts catalogue;
  NoBoxes boxes;
  Messages messages{catalogue, boxes};
};

// A new folder below the temporary folder, removed with all it holds.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return;
    std::mt19937 random(static_cast<uint32_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ std::random_device()()));
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate = base / ("mkdiskset-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, error)) {
        path_ = candidate;
        return;
      }
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace setup::tools
