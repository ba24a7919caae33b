#include "support/ini_storage.h"

#include <memory>
#include <new>
#include <optional>

#include "support/text.h"

namespace setup {
namespace {

constexpr std::size_t kLineBufferSize = IniStorage::kMaxLineLength + 1;
constexpr std::size_t kReadBlockSize = 64 * 1024;
constexpr char kEndOfFileMark = 0x1A;

// The bytes of a file as a C runtime text-mode stream hands them out: CR LF
// becomes LF, the first 0x1A ends the file. Reading happens in blocks so a
// read limit of the file layer (short reads) changes nothing.
class TextModeReader {
 public:
  enum : int { kEnd = -1, kError = -2 };

  explicit TextModeReader(ReadableFile& file) : file_(file), block_(kReadBlockSize) {}

  int Get() {
    int byte = Raw();
    if (byte == '\r') {
      int next = Raw();
      if (next == '\n') return '\n';
      pending_ = next;  // a lone CR stays part of the line
    }
    return byte;
  }

 private:
  int Raw() {
    if (pending_ != kNone) {
      int byte = pending_;
      pending_ = kNone;
      return byte;
    }
    if (finished_ != kNone) return finished_;
    if (position_ == length_) {
      int64_t n = file_.Read(block_.data(), block_.size());
      if (n <= 0) {
        finished_ = n < 0 ? kError : kEnd;
        return finished_;
      }
      length_ = static_cast<std::size_t>(n);
      position_ = 0;
    }
    char byte = block_[position_++];
    if (byte == kEndOfFileMark) {
      finished_ = kEnd;
      return finished_;
    }
    return static_cast<unsigned char>(byte);
  }

  static constexpr int kNone = -3;
  ReadableFile& file_;
  std::vector<char> block_;
  std::size_t position_ = 0;
  std::size_t length_ = 0;
  int pending_ = kNone;
  int finished_ = kNone;
};

}  // namespace

std::string IniStorage::NormaliseKey(const std::string& text) {
  std::size_t comma = FindChar(text, ',');
  return ToUpper(comma == std::string::npos ? text : text.substr(0, comma));
}

std::size_t IniStorage::BucketOf(const std::string& key) {
  uint32_t hash = 0;
  for (char c : key) hash = hash * 33 + static_cast<unsigned char>(c);
  return hash % kBucketCount;
}

void IniStorage::Add(const std::string& key, const std::string& value) {
  std::vector<Entry>& bucket = buckets_[BucketOf(key)];
  for (Entry& entry : bucket) {
    if (entry.first == key) {
      entry.second = value;
      return;
    }
  }
  bucket.emplace_back(key, value);
}

void IniStorage::Report(const std::string& key, const std::string& detail) {
  if (sink_ != nullptr && reportsOn_) sink_->Report(key, detail);
}

bool IniStorage::Load(bool numbered) {
  textRefused_ = false;
  std::string line;
  try {
    line.reserve(kLineBufferSize);
  } catch (const std::bad_alloc&) {
    return false;
  }

  // Shared for reading, as the C runtime's text mode opens it, so that a
  // virus scanner reading the file at the same time does not fail the load.
  std::unique_ptr<ReadableFile> file = files_.OpenForReading(file_, FileSharing::ShareRead);
  if (!file) {
    Report("ErrorOpenFile", "File: " + file_);
    return false;
  }

  TextModeReader reader(*file);
  int32_t counter = 1;
  bool firstLine = true;
  bool utf8 = false;
  for (;;) {
    line.clear();
    int byte = TextModeReader::kEnd;
    bool sawLineEnd = false;
    while (line.size() < kMaxLineLength) {
      byte = reader.Get();
      if (byte < 0) break;
      if (byte == '\n') {
        sawLineEnd = true;
        break;
      }
      line.push_back(static_cast<char>(byte));
    }
    if (byte == TextModeReader::kError) {
      Report("ErrorReadLine", "File: " + file_ + " ; Line: " + line);
      return false;
    }
    bool atEnd = byte == TextModeReader::kEnd;
    if (atEnd && line.empty()) break;

    if (firstLine && text_ != nullptr && line.compare(0, 3, kUtf8Bom) == 0) {
      line.erase(0, 3);
      utf8 = true;
    }
    firstLine = false;
    std::size_t nul = line.find('\0');
    if (nul != std::string::npos) line.erase(nul);
    if (!line.empty() && text_ != nullptr) {
      std::optional<std::string> converted = utf8 ? text_->FromUtf8(line) : text_->FromAnsi(line);
      if (!converted) {
        textRefused_ = true;
        Report("ErrorLineText", "File: " + file_ + " ; Line: " + line);
        return false;
      }
      line = std::move(*converted);
    }
    if (!line.empty()) {
      try {
        Add(numbered ? IntToText(counter) : NormaliseKey(line), line);
      } catch (const std::bad_alloc&) {
        Report("ErrorIniStorageAdd", "File: " + file_);
        return false;
      } catch (...) {
        Report("ErrorReadLine", "File: " + file_ + " ; Line: " + line);
        return false;
      }
      if (numbered) ++counter;
    }
    if (atEnd && !sawLineEnd) break;
  }
  return true;
}

bool IniStorage::Lookup(std::string& key, std::string& value) const {
  try {
    key = NormaliseKey(key);
    for (const Entry& entry : buckets_[BucketOf(key)]) {
      if (entry.first == key) {
        value = entry.second;
        return true;
      }
    }
  } catch (...) {
  }
  return false;
}

void IniStorage::BeginEnum() {
  enumBucket_ = 0;
  enumIndex_ = 0;
}

bool IniStorage::NextValue(std::string& value) {
  while (enumBucket_ < kBucketCount && enumIndex_ >= buckets_[enumBucket_].size()) {
    ++enumBucket_;
    enumIndex_ = 0;
  }
  if (enumBucket_ >= kBucketCount) return false;
  value = buckets_[enumBucket_][enumIndex_++].second;
  return true;
}

void IniStorage::Clear() {
  for (std::vector<Entry>& bucket : buckets_) bucket.clear();
  enumBucket_ = kBucketCount;
  enumIndex_ = 0;
}

std::size_t IniStorage::Count() const {
  std::size_t count = 0;
  for (const std::vector<Entry>& bucket : buckets_) count += bucket.size();
  return count;
}

}  // namespace setup
