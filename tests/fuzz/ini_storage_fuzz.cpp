// Loads arbitrary bytes as a manifest, in both modes and with reads cut
// short, and checks what the store promises: every entry is yielded once,
// no value holds a line end or NUL or exceeds the line limit, and each
// value is found again under its key.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "support/ini_storage.h"

namespace {

using namespace setup;

class BytesFile : public ReadableFile {
 public:
  BytesFile(const std::string& data, std::size_t limit) : data_(data), limit_(limit) {}
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  bool Seek(int64_t offset) override {
    position_ = static_cast<std::size_t>(offset);
    return offset >= 0;
  }
  int64_t Read(void* buffer, std::size_t count) override {
    if (position_ >= data_.size()) return 0;
    std::size_t n = std::min({count, limit_, data_.size() - position_});
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return static_cast<int64_t>(n);
  }

 private:
  const std::string& data_;
  std::size_t limit_;
  std::size_t position_ = 0;
};

// Only reading is needed; everything else fails.
class OneFileSystem : public FileSystem {
 public:
  OneFileSystem(const std::string& data, std::size_t limit) : data_(data), limit_(limit) {}
  std::unique_ptr<DirectorySearch> FindFirst(const std::string&, DirectoryEntry&) override {
    return nullptr;
  }
  CreateFolderResult CreateFolder(const std::string&) override {
    return CreateFolderResult::Failed;
  }
  bool RemoveFolder(const std::string&) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  std::optional<std::string> CurrentFolder() override { return std::nullopt; }
  bool SetCurrentFolder(const std::string&) override { return false; }
  std::optional<std::string> TempFolder() override { return std::nullopt; }
  std::optional<uint64_t> FreeSpace(const std::string&) override { return std::nullopt; }
  using FileSystem::OpenForReading;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string&, FileSharing) override {
    return std::make_unique<BytesFile>(data_, limit_);
  }
  std::unique_ptr<WritableFile> OpenForAppending(const std::string&) override { return nullptr; }

 private:
  const std::string& data_;
  std::size_t limit_;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the mode and the read size; the rest is the file.
  const bool numbered = (bytes[0] & 1) != 0;
  const std::size_t limit = 1 + (bytes[0] >> 1);
  const std::string data(reinterpret_cast<const char*>(bytes + 1), size - 1);

  OneFileSystem files(data, limit);
  IniStorage store(files);
  store.SetFile("A:\\Files.id");
  Check(store.Load(numbered));

  std::set<std::string> keys;
  std::string value;
  std::size_t yielded = 0;
  store.BeginEnum();
  while (store.NextValue(value)) {
    ++yielded;
    Check(!value.empty() && value.size() <= IniStorage::kMaxLineLength);
    Check(value.find('\n') == std::string::npos && value.find('\0') == std::string::npos);
    Check(value.find('\x1A') == std::string::npos);
    if (!numbered) {
      std::string key = value;
      std::string found;
      Check(store.Lookup(key, found) && found == value);
      Check(keys.insert(key).second);
    }
  }
  Check(yielded == store.Count());

  // Loading the same bytes again changes nothing in keyed mode.
  if (!numbered) {
    Check(store.Load(false));
    Check(store.Count() == yielded);
  }
  return 0;
}
