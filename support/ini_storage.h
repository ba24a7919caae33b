// IniStorage: a line-oriented keyed store. Every non-empty line of a text
// file is one record; its key is the text before the first comma (the whole
// line when there is none), upper-cased, and its value is the whole line.
// There are no sections, no comments and no quoting.
//
// With a TextCodec the store holds the text in the program's own form: a
// file that begins with the UTF-8 byte-order mark is read as UTF-8 (the mark
// is not part of the first line), any other file in the system's ANSI code
// page.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "support/platform.h"

namespace setup {

// Receives the store's failure reports: a message key ("ErrorOpenFile",
// "ErrorReadLine", "ErrorLineText", "ErrorIniStorageAdd") and a detail text.
class IniStorageErrorSink {
 public:
  virtual ~IniStorageErrorSink() = default;
  virtual void Report(const std::string& key, const std::string& detail) = 0;
};

class IniStorage {
 public:
  // Longest line text kept as one record; the rest of a longer line is read
  // as a further line, without losing a character at the cut.
  static constexpr std::size_t kMaxLineLength = 127999;
  static constexpr std::size_t kBucketCount = 17;

  // Without a codec the lines are kept as the bytes of the file.
  explicit IniStorage(FileSystem& files, TextCodec* text = nullptr) : files_(files), text_(text) {}
  IniStorage(const IniStorage&) = delete;
  IniStorage& operator=(const IniStorage&) = delete;

  void SetFile(const std::string& path) { file_ = path; }
  const std::string& File() const { return file_; }

  // Reads the file into the entries, merging with what is already there
  // (later lines replace earlier values of the same key). Keyed mode
  // (numbered false) keys each line by its normalised text; numbered mode
  // keys the lines 1, 2, 3 ... in file order. The file is read as bytes in
  // the rules of a C text-mode stream: LF ends a line, a CR directly before
  // an LF is dropped, 0x1A ends the file, NUL ends a line's text. Returns
  // false when the file cannot be opened or read, a line's text cannot be
  // converted (invalid UTF-8 after the mark, or a name the program's code
  // page cannot hold), or a record cannot be added; the entries added
  // before the failure stay.
  bool Load(bool numbered);
  // True when the last Load stopped at a line whose text could not be
  // converted.
  bool TextRefused() const { return textRefused_; }

  // Normalises key in the caller's string (text before the first comma,
  // upper-cased). True and value filled when an entry has that key;
  // otherwise false and value untouched.
  bool Lookup(std::string& key, std::string& value) const;

  // Enumeration of all values, each exactly once, in bucket order (not file
  // order). NextValue is false at the end, and also after construction and
  // Clear until BeginEnum is called. Changing the entries during an
  // enumeration may skip or repeat values but never reads out of range.
  void BeginEnum();
  bool NextValue(std::string& value);

  void Clear();
  std::size_t Count() const;

  // Nothing in the program attaches a sink; reports are formed regardless
  // and dropped unless a sink is attached and switched on.
  void AttachErrorSink(IniStorageErrorSink* sink) { sink_ = sink; }
  void EnableErrorReports(bool on) { reportsOn_ = on; }

  static std::string NormaliseKey(const std::string& text);

 private:
  using Entry = std::pair<std::string, std::string>;  // key, value

  static std::size_t BucketOf(const std::string& key);
  void Add(const std::string& key, const std::string& value);
  void Report(const std::string& key, const std::string& detail);

  FileSystem& files_;
  TextCodec* text_;
  std::string file_;
  std::array<std::vector<Entry>, kBucketCount> buckets_;
  std::size_t enumBucket_ = kBucketCount;  // kBucketCount: at the end
  std::size_t enumIndex_ = 0;
  IniStorageErrorSink* sink_ = nullptr;
  bool reportsOn_ = false;
  bool textRefused_ = false;
};

}  // namespace setup
