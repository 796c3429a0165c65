#include "opt/opt_image.h"

#include <limits>

#include "core/error.h"

namespace durvane::opt {

OptImage::OptImage(std::span<const std::byte> bytes) : view_(bytes) {
  const std::int32_t base_address = view_.Long(kBaseAddressOffset, "the base address");
  if (base_address < std::numeric_limits<std::int32_t>::min() + 8) {
    throw FormatError(kBaseAddressOffset,
                      "the base address " + HexSigned(base_address) + " is out of range");
  }
  opt_base_ = base_address - 8;
  node_count_ = view_.Long(kNodeCountOffset, "NodeCount");
  if (node_count_ < 0) {
    throw FormatError(kNodeCountOffset,
                      "NodeCount is " + std::to_string(node_count_) + ", below 0");
  }
  view_.Require(kTopLevelTableOffset, 4 * static_cast<std::uint64_t>(node_count_),
                "the top-level table of " + std::to_string(node_count_) + " entries");
}

std::int32_t OptImage::SelectedNode(std::int32_t group_address) const {
  switch (ChildCount(group_address)) {
    case 1:
      return InPlaceChild(group_address, 1, ZeroAddress::kFollowed);
    case 3:
      return InPlaceChild(group_address, 3, ZeroAddress::kFollowed);
    case 4:
      return InPlaceChild(group_address, 4, ZeroAddress::kFollowed);
    default:
      return Address(group_address, kDataAddressOffset, ZeroAddress::kFollowed, "DataAddress");
  }
}

std::int32_t OptImage::AddressAt(std::uint64_t offset, ZeroAddress zero,
                                 std::string_view what) const {
  const std::int32_t address = view_.LongUnchecked(offset);
  if (address < opt_base_ && (address != 0 || zero == ZeroAddress::kFollowed)) {
    throw FormatError(offset, std::string(what) + " holds the address " + HexSigned(address) +
                                  ", below OptBase " + HexSigned(opt_base_) +
                                  ", before the start of the file");
  }
  return address;
}

void OptImage::ThrowBadField(std::int32_t address, std::uint32_t node_offset, std::uint64_t count,
                             std::string_view what) const {
  const std::int64_t start = static_cast<std::int64_t>(address) - opt_base_ + node_offset;
  std::string message(what);
  message +=
      " at node offset " + Hex(node_offset) + " of the node at address " + HexSigned(address);
  if (start < 0) {
    // Addresses read through AddressAt never get here; this is for computed ones.
    throw Error(message + ": the address lies below OptBase " + HexSigned(opt_base_) +
                ", outside the file");
  }
  message += " would end at " + Hex(static_cast<std::uint64_t>(start) + count) +
             ", but the file ends at " + Hex(view_.size());
  throw FormatError(static_cast<std::uint64_t>(start), message);
}

std::string DescribeNode(const OptImage& image, std::int32_t address) {
  const std::int64_t offset = static_cast<std::int64_t>(address) - image.OptBase();
  return "node at address " + HexSigned(address) + " (offset " + HexSigned(offset) + ")";
}

}  // namespace durvane::opt
