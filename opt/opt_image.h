// An OPT file in memory: its header, its top-level table and bounds-checked access to the
// fields of its nodes by address.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/byte_view.h"
#include "opt/opt_layout.h"

namespace durvane::opt {

// What a caller does with an address of 0: some lists skip such entries, other fields always
// lead on to the node they name.
enum class ZeroAddress : std::uint8_t { kSkipped, kFollowed };

class OptImage {
 public:
  // Reads the header. Throws FormatError when the header or the top-level table lies outside
  // the file, when NodeCount is negative or when the base address is out of range.
  explicit OptImage(std::span<const std::byte> bytes);

  const ByteView& view() const { return view_; }
  std::int32_t OptBase() const { return opt_base_; }
  std::int32_t NodeCount() const { return node_count_; }

  // Address of top-level table entry i, 1-based.
  std::int32_t TopLevelEntry(std::int32_t i) const {
    return AddressAt(kTopLevelTableOffset + 4 * static_cast<std::uint64_t>(i - 1),
                     ZeroAddress::kFollowed, "the top-level table entry");
  }

  // The address stored at file offset `offset`, which must lie inside the file. Every address
  // read is followed unless it is a 0 that its list skips, so one below OptBase is refused here,
  // where the message can give the offset it was read from; `what` names the field.
  std::int32_t AddressAt(std::uint64_t offset, ZeroAddress zero, std::string_view what) const;
  // The address at node offset k of the node at address, checked like AddressAt.
  std::int32_t Address(std::int32_t address, std::uint32_t node_offset, ZeroAddress zero,
                       std::string_view what) const {
    return AddressAt(Offset(address, node_offset, 4, what), zero, what);
  }

  // File offset of node offset k of the node at address. Throws FormatError when the address
  // lies below OptBase or [offset, offset + count) lies outside the file; `what` names the field.
  std::uint64_t Offset(std::int32_t address, std::uint32_t node_offset, std::uint64_t count,
                       std::string_view what) const {
    const std::int64_t start = static_cast<std::int64_t>(address) - opt_base_ + node_offset;
    if (start < 0 || !view_.Contains(static_cast<std::uint64_t>(start), count)) {
      ThrowBadField(address, node_offset, count, what);
    }
    return static_cast<std::uint64_t>(start);
  }

  // The Long at node offset k of the node at address.
  std::int32_t Long(std::int32_t address, std::uint32_t node_offset, std::string_view what) const {
    return view_.LongUnchecked(Offset(address, node_offset, 4, what));
  }

  std::int32_t NodeType(std::int32_t address) const {
    return Long(address, kNodeTypeOffset, "NodeType");
  }
  std::int32_t ChildCount(std::int32_t address) const {
    return Long(address, kChildCountOffset, "ChildCount");
  }
  std::int32_t DataCount(std::int32_t address) const {
    return Long(address, kDataCountOffset, "DataCount");
  }

  // Entry j (1-based) of the in-place child list of the node at address.
  std::int32_t InPlaceChild(std::int32_t address, std::int32_t j,
                            ZeroAddress zero = ZeroAddress::kSkipped) const {
    return Address(address, kPayloadOffset + 4 * static_cast<std::uint32_t>(j - 1), zero,
                   "child list entry");
  }

  // The selected node of a group node: the last entry of its in-place list when ChildCount is
  // 1, 3 or 4, otherwise the node at its DataAddress.
  std::int32_t SelectedNode(std::int32_t group_address) const;

  // The 8 bytes of a texture name at node offset 24.
  std::span<const std::byte> TextureName(std::int32_t address) const {
    return view_.bytes().subspan(
        Offset(address, kTextureNameOffset, kTextureNameBytes, "texture name"), kTextureNameBytes);
  }

  // n bytes at node offset k, checked.
  std::span<const std::byte> NodeBytes(std::int32_t address, std::uint32_t node_offset,
                                       std::uint64_t count, std::string_view what) const {
    return view_.bytes().subspan(Offset(address, node_offset, count, what), count);
  }

 private:
  [[noreturn]] void ThrowBadField(std::int32_t address, std::uint32_t node_offset,
                                  std::uint64_t count, std::string_view what) const;

  ByteView view_;
  std::int32_t opt_base_ = 0;
  std::int32_t node_count_ = 0;
};

// The name of a node for messages: "node at address 0x10040 (offset 0x40)".
std::string DescribeNode(const OptImage& image, std::int32_t address);

}  // namespace durvane::opt
