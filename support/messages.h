// The message functions: every report the user sees goes through here.
// Each shows at most one message box, with no owner, and the style
// MB_OK | MB_ICONHAND | MB_SYSTEMMODAL. Safe to call from any thread: they
// read only constant data and the services handed in.
#pragma once

#include <cstdint>
#include <string>

#include "support/platform.h"

namespace setup {

constexpr uint32_t kReportStyle = box::kOk | box::kIconHand | box::kSystemModal;

// The disk prompts' texts for a disk that cannot be read and for a disk of
// another set; "%1" in them stands for the disk number.
constexpr uint32_t kTextDiskUnreadable = 101;
constexpr uint32_t kTextNotThisDisk = 102;

extern const char kCaptionError[];              // "Error"
extern const char kCaptionInstallationError[];  // "Installation Error"

// A failure of a stage that the user is to see: the message number (1..14),
// or -1 to end the stage without a message.
struct StageError {
  int id;
};
constexpr int kQuietStageEnd = -1;

// An exception of the framework kind: it carries a text, which the catchers
// hand to ShowExceptionMessage (at most kExceptionTextLimit characters).
class FrameworkException {
 public:
  virtual ~FrameworkException() = default;
  virtual std::string Text() const = 0;
};
constexpr std::size_t kExceptionTextLimit = 254;

class Messages {
 public:
  // With system, no message box is shown while its window station is
  // invisible: nobody could answer it. Each then takes OK, which ends the
  // run anyway.
  Messages(StringCatalogue& catalogue, MessageBoxes& boxes, SystemInfo* system = nullptr)
      : catalogue_(catalogue), boxes_(boxes), system_(system) {}

  // Whether a person can answer the run's windows. Where nobody can, every
  // window that would wait takes the answer that ends the run.
  bool Attended() const { return system_ == nullptr || system_->WindowStationVisible(); }

  // The catalogue text of id; empty when there is none.
  std::string Text(uint32_t id) { return catalogue_.Load(id); }
  // The catalogue text of id under "Installation Error"; without a text,
  // "Critical unexpected error!" under "Error".
  void ShowMessageById(uint32_t id);
  // Looks text up in the error-key table: a known key shows its text (row 0
  // shows nothing); anything else shows "Unknown error".
  void ShowExceptionMessage(const std::string& text);
  void ShowInternalError();
  void ShowErrorText(const std::string& text);
  void ShowInstallationErrorText(const std::string& text);

  // Reports a caught framework exception the way the stage handlers do.
  void ShowException(const FrameworkException& error);

 private:
  StringCatalogue& catalogue_;
  MessageBoxes& boxes_;
  SystemInfo* system_;
};

struct ErrorKey {
  const char* key;
  const char* text;
};
extern const ErrorKey ErrorKeyTable[4];

}  // namespace setup
