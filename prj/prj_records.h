// Typed records the PRJ builder hands on as it makes them, to a consumer that needs them rather
// than the bytes: the renderer's model, which would otherwise parse the bytes back.
#pragma once

#include <cstdint>
#include <string_view>

namespace durvane::prj {

class PrjRecords {
 public:
  virtual ~PrjRecords() = default;
  // The next `count` polygons' section FF02 records, which name `bitmap` first: its stored
  // bytes, the texture's 8-byte name and ".BMP".
  virtual void FirstBitmapNames(std::int32_t count, std::string_view bitmap) = 0;
};

}  // namespace durvane::prj
