#include "info/report_common.h"

#include "core/printable_text.h"

namespace durvane::info {

void AppendVerdictText(std::string& out, const std::vector<std::string>& warnings,
                       const std::optional<std::string>& error, std::string_view error_label,
                       std::string_view ok_line) {
  for (const std::string& w : warnings) out += "  warning: " + w + "\n";
  if (error) {
    out += "  " + std::string(error_label) + ": " + *error + "\n";
  } else {
    out += "  " + std::string(ok_line) + "\n";
  }
}

void BeginJsonReport(JsonWriter& j, const std::string& file, std::string_view kind,
                     std::uint64_t bytes, bool valid) {
  j.BeginObject().Key("file").String(file);
  // A name that is not UTF-8 cannot be given exactly as a JSON string: its bytes follow.
  if (!IsValidUtf8(file)) j.Key("file_hex").String(HexBytes(file));
  j.Key("kind").String(kind);
  j.Key("bytes").UnsignedNumber(bytes).Key("valid").Bool(valid);
}

std::string EndJsonReport(JsonWriter& j, const std::vector<std::string>& warnings,
                          const std::optional<std::string>& error) {
  j.Key("warnings").BeginArray();
  for (const std::string& w : warnings) j.String(w);
  j.EndArray().Key("error");
  if (error) {
    j.String(*error);
  } else {
    j.Null();
  }
  j.EndObject();
  return j.str() + "\n";
}

}  // namespace durvane::info
