// Loads arbitrary bytes as a manifest, in both modes, as bytes and through
// the text codec of either family, with reads cut short, and checks what
// the store promises: every entry is yielded once, no value holds a line
// end or NUL, each value is found again under its key, a load fails only on
// a name the codec refuses, on the NT family every value is UTF-8, and how
// the file layer cuts its reads changes nothing. Every line is also read as
// a volume's digest line: one that is taken is keyed "DISK.N", gives the
// cleanup no path, is written back to a line that reads the same, and is
// what the manifest yields for disk N.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_system.h"
#include "floppy/disk_set_copier.h"
#include "floppy/volume_digest.h"
#include "support/ini_storage.h"
#include "support/text.h"

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
  bool RemoveFolder(const std::string&, uint32_t&) override { return false; }
  bool RemoveFile(const std::string&, uint32_t&) override { return false; }
  std::optional<std::string> CurrentFolder() override { return std::nullopt; }
  bool SetCurrentFolder(const std::string&) override { return false; }
  std::optional<std::string> TempFolder() override { return std::nullopt; }
  std::optional<uint64_t> FreeSpace(const std::string&) override { return std::nullopt; }
  using FileSystem::OpenForReading;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string&, FileSharing,
                                               uint32_t&) override {
    return std::make_unique<BytesFile>(data_, limit_);
  }
  std::unique_ptr<WritableFile> OpenForAppending(const std::string&) override { return nullptr; }
  bool Truncate(const std::string&, int64_t) override { return false; }

 private:
  const std::string& data_;
  std::size_t limit_;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

// The disk number of a key "DISK.N" (N without sign or leading zero, as
// volume files are named), or 0.
int32_t DiskOfKey(const std::string& key) {
  const std::string prefix = "DISK.";
  if (key.compare(0, prefix.size(), prefix) != 0 || key.size() == prefix.size() ||
      key.size() > prefix.size() + 9 || key[prefix.size()] == '0') {
    return 0;
  }
  int32_t disk = 0;
  for (std::size_t i = prefix.size(); i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    disk = disk * 10 + (key[i] - '0');
  }
  return disk;
}

void CheckDigestLine(const IniStorage& store, const std::string& value, bool keyed) {
  const std::string key = IniStorage::NormaliseKey(value);
  const int32_t disk = DiskOfKey(key);
  for (int32_t asked : {1, 2, disk}) {
    if (asked == 0) continue;
    const std::optional<VolumeDigest> digest = ParseDigestLine(value, asked);
    if (!digest) continue;
    Check(asked == disk);
    Check(digest->length >= 0 && digest->length < (int64_t{1} << 31));
    Check(ParseManifestEntry(value).path.empty());
    Check(ParseDigestLine(FormatDigestLine(disk, *digest), disk) == digest);
    Check(!keyed || FindVolumeDigest(store, disk) == digest);
  }
}

enum class Codec { kNone, kNt, kNineX };

struct Loaded {
  bool ok = false;
  bool refused = false;
  std::vector<std::string> values;  // in enumeration order
};

Loaded Load(const std::string& data, std::size_t limit, bool numbered, Codec codec) {
  OneFileSystem files(data, limit);
  testing::FakeTextCodec text;
  text.ansiProgram = codec == Codec::kNineX;
  IniStorage store(files, codec == Codec::kNone ? nullptr : &text);
  store.SetFile("A:\\Files.id");
  Loaded loaded;
  loaded.ok = store.Load(numbered);
  loaded.refused = store.TextRefused();
  Check(loaded.ok || (codec != Codec::kNone && loaded.refused));

  std::set<std::string> keys;
  std::string value;
  store.BeginEnum();
  while (store.NextValue(value)) {
    loaded.values.push_back(value);
    // An ANSI byte takes at most three bytes in UTF-8.
    const std::size_t longest = IniStorage::kMaxLineLength * (codec == Codec::kNone ? 1 : 3);
    Check(!value.empty() && value.size() <= longest);
    Check(value.find('\n') == std::string::npos && value.find('\0') == std::string::npos);
    Check(value.find('\x1A') == std::string::npos);
    Check(codec != Codec::kNt || IsValidUtf8(value));
    CheckDigestLine(store, value, !numbered);
    if (!numbered) {
      std::string key = value;
      std::string found;
      Check(store.Lookup(key, found) && found == value);
      Check(keys.insert(key).second);
    }
  }
  Check(loaded.values.size() == store.Count());

  // Loading the same bytes again changes nothing in keyed mode.
  if (!numbered && loaded.ok) {
    Check(store.Load(false));
    Check(store.Count() == loaded.values.size());
  }
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the mode (bit 0), the codec (bits 1-2: none, the
  // NT family, Windows 9x, none) and the read size (bits 3-7: 1 to 31
  // bytes, or 0 for whole blocks); the rest is the file.
  const bool numbered = (bytes[0] & 1) != 0;
  const int codecBits = (bytes[0] >> 1) & 3;
  const Codec codec = codecBits == 1 ? Codec::kNt : codecBits == 2 ? Codec::kNineX : Codec::kNone;
  const std::size_t limit = bytes[0] >> 3;
  const std::string data(reinterpret_cast<const char*>(bytes + 1), size - 1);

  const Loaded cut = Load(data, limit == 0 ? SIZE_MAX : limit, numbered, codec);
  if (limit != 0) {
    const Loaded whole = Load(data, SIZE_MAX, numbered, codec);
    Check(cut.ok == whole.ok && cut.refused == whole.refused && cut.values == whole.values);
  }
  return 0;
}
