// The property set format: a header naming one section (the summary
// information format id), then the section: its size, the count of
// properties, (id, offset) pairs and the typed values, each 4-byte aligned.
#include "tools/msitransform/summary_stream.h"

#include <cstdint>
#include <map>

namespace setup::msi {
namespace {

constexpr uint32_t kCodepage = 1, kTemplate = 7, kLastSavedBy = 8, kRevisionNumber = 9,
                   kCharacterCount = 16;
constexpr uint32_t kTypeI2 = 2, kTypeI4 = 3, kTypeLpstr = 30;
// {F29F85E0-4FF9-1068-AB91-08002B27B3D9} as stored.
const unsigned char kFormatId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                     0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t Get32(const std::string& in, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::string WriteSummaryStream(const TransformSummary& summary) {
  std::map<uint32_t, std::string> values;  // id -> typed value
  std::string value;
  Put32(value, kTypeI2);
  Put32(value, 1252);
  values[kCodepage] = value;
  const std::pair<uint32_t, const std::string*> strings[] = {
      {kTemplate, &summary.templateText},
      {kLastSavedBy, &summary.lastSavedBy},
      {kRevisionNumber, &summary.revisionNumber}};
  for (const auto& [id, text] : strings) {
    value.clear();
    Put32(value, kTypeLpstr);
    Put32(value, static_cast<uint32_t>(text->size() + 1));
    value += *text;
    value += '\0';
    while (value.size() % 4 != 0) value += '\0';
    values[id] = value;
  }
  value.clear();
  Put32(value, kTypeI4);
  Put32(value, static_cast<uint32_t>(summary.characterCount));
  values[kCharacterCount] = value;

  std::string section, body;
  size_t offset = 8 + 8 * values.size();
  std::string pairs;
  for (const auto& [id, typed] : values) {
    Put32(pairs, id);
    Put32(pairs, static_cast<uint32_t>(offset + body.size()));
    body += typed;
  }
  Put32(section, static_cast<uint32_t>(offset + body.size()));
  Put32(section, static_cast<uint32_t>(values.size()));
  section += pairs + body;

  std::string out;
  out += "\xFE\xFF";
  out += std::string("\0\0", 2);  // format version 0
  Put32(out, 0x00020006);         // written on Windows NT 6.2
  out += std::string(16, '\0');   // class id
  Put32(out, 1);
  out.append(reinterpret_cast<const char*>(kFormatId), sizeof kFormatId);
  Put32(out, 48);
  return out + section;
}

bool ReadSummaryStream(const std::string& bytes, TransformSummary& summary) {
  if (bytes.size() < 48 || bytes.compare(0, 2, "\xFE\xFF") != 0 || Get32(bytes, 24) < 1 ||
      bytes.compare(28, 16, reinterpret_cast<const char*>(kFormatId), 16) != 0) {
    return false;
  }
  size_t section = Get32(bytes, 44);
  if (section > bytes.size() || bytes.size() - section < 8) return false;
  size_t size = Get32(bytes, section), count = Get32(bytes, section + 4);
  // Below 8 the size does not cover the section's own header, and
  // (size - 8) would wrap and let any count pass.
  if (size < 8 || size > bytes.size() - section || count > (size - 8) / 8) return false;
  for (size_t i = 0; i < count; ++i) {
    uint32_t id = Get32(bytes, section + 8 + 8 * i);
    size_t at = section + Get32(bytes, section + 12 + 8 * i);
    if (at > section + size || section + size - at < 8) return false;
    uint32_t type = Get32(bytes, at);
    if (type == kTypeLpstr) {
      size_t length = Get32(bytes, at + 4);
      if (length > section + size - at - 8) return false;
      std::string text = bytes.substr(at + 8, length);
      while (!text.empty() && text.back() == '\0') text.pop_back();
      if (id == kTemplate) summary.templateText = text;
      if (id == kLastSavedBy) summary.lastSavedBy = text;
      if (id == kRevisionNumber) summary.revisionNumber = text;
    } else if (type == kTypeI4 && id == kCharacterCount) {
      summary.characterCount = static_cast<int32_t>(Get32(bytes, at + 4));
    }
  }
  summary.present = true;
  return true;
}

}  // namespace setup::msi
