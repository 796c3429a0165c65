// A small streaming JSON writer: objects, arrays, strings, numbers and booleans, with commas
// and escaping handled. Enough for the reports; not a general library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace durvane::info {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view value);
  JsonWriter& Number(std::int64_t value);
  JsonWriter& UnsignedNumber(std::uint64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& str() const { return out_; }

 private:
  void BeforeValue();
  std::string out_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool after_key_ = false;
};

}  // namespace durvane::info
