#include "opt/polygon_walk.h"

namespace durvane::opt {

PolygonListNode ReadPolygonListNode(const OptImage& image, std::int32_t address) {
  PolygonListNode node;
  node.address = address;
  node.rows = image.DataCount(address);
  if (node.rows < 0) {
    throw FormatError(image.Offset(address, kDataCountOffset, 4, "DataCount"),
                      "the polygon list " + DescribeNode(image, address) + " has DataCount " +
                          std::to_string(node.rows) + ", below 0");
  }
  const std::uint64_t bytes = static_cast<std::uint64_t>(node.rows) * kPolygonBytesPerRow;
  if (bytes > 0) {
    const std::uint64_t at =
        image.Offset(address, kPolygonRowsOffset, bytes,
                     "the " + std::to_string(node.rows) + " polygon rows and trailing tables");
    node.body = image.view().bytes().data() + at;
  }
  return node;
}

void RequireChildList(const OptImage& image, std::int32_t address, std::int64_t count) {
  if (count <= 0) return;
  image.Offset(address, kPayloadOffset, 4 * static_cast<std::uint64_t>(count),
               "the child list of " + std::to_string(count) + " entries");
}

}  // namespace durvane::opt
