// The polygon walk shared by the leading block and sections FF01, FF02 and FF07: top-level
// entries in table order, their in-place children, and for each group node among them the
// children of P (the first entry of the group's selected node). All four blocks run one walk
// together, so record p of each describes the same polygon.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"
#include "opt/opt_image.h"
#include "opt/walk_budget.h"

namespace durvane::opt {

// A polygon list node whose rows and trailing tables were checked to lie inside the file.
struct PolygonListNode {
  std::int32_t address = 0;
  std::int32_t rows = 0;
  // Node offset 28 on: rows * 64 bytes of polygon rows, then the two trailing tables.
  const std::byte* body = nullptr;

  const std::byte* Row(std::int32_t r) const {
    return body + static_cast<std::size_t>(r) * kPolygonRowBytes;
  }
  const std::byte* FirstTrailing(std::int32_t r) const {
    return body + static_cast<std::size_t>(rows) * kPolygonRowBytes +
           static_cast<std::size_t>(r) * kFirstTrailingEntryBytes;
  }
  const std::byte* SecondTrailing(std::int32_t r) const {
    return body + static_cast<std::size_t>(rows) * (kPolygonRowBytes + kFirstTrailingEntryBytes) +
           static_cast<std::size_t>(r) * kSecondTrailingEntryBytes;
  }
};

// Checks DataCount and the extent of the polygon list node at address.
PolygonListNode ReadPolygonListNode(const OptImage& image, std::int32_t address);

// Checks that the in-place child list of `count` entries of the node at address lies inside
// the file, so that a huge ChildCount fails before the loop starts.
void RequireChildList(const OptImage& image, std::int32_t address, std::int64_t count);

// Runs the walk. Each visitor provides:
//   TopLevelChild(index, address, type)  every non-zero child of a top-level node
//   ListChild(index, address, type)      every non-zero child of P that is no polygon list
//   PolygonRows(index, node)             every polygon list node among the children of P
// where index is the top-level index i - 1. Errors name the top-level entry.
template <typename... Visitors>
void WalkPolygons(const OptImage& image, Visitors&... visitors) {
  WalkBudget budget(image);
  const std::int64_t node_count = image.NodeCount();
  for (std::int64_t i = 1; i <= node_count; ++i) {
    try {
      const auto index = static_cast<std::int32_t>(i - 1);
      const std::int32_t n = image.TopLevelEntry(static_cast<std::int32_t>(i));
      const std::int64_t children = image.ChildCount(n);
      RequireChildList(image, n, children);
      budget.Spend(children);
      for (std::int64_t j = 1; j <= children; ++j) {
        const std::int32_t k = image.InPlaceChild(n, static_cast<std::int32_t>(j));
        if (k == 0) continue;
        const std::int32_t type = image.NodeType(k);
        (visitors.TopLevelChild(index, k, type), ...);
        if (type != kGroupNode) continue;

        const std::int32_t s = image.SelectedNode(k);
        const std::int32_t p = image.InPlaceChild(s, 1, ZeroAddress::kFollowed);
        const std::int64_t p_children = image.ChildCount(p);
        RequireChildList(image, p, p_children);
        budget.Spend(p_children);
        for (std::int64_t q = 1; q <= p_children; ++q) {
          const std::int32_t g = image.InPlaceChild(p, static_cast<std::int32_t>(q));
          if (g == 0) continue;
          const std::int32_t g_type = image.NodeType(g);
          if (g_type == kPolygonListNode) {
            const PolygonListNode node = ReadPolygonListNode(image, g);
            budget.Spend(node.rows);
            (visitors.PolygonRows(index, node), ...);
          } else {
            (visitors.ListChild(index, g, g_type), ...);
          }
        }
      }
    } catch (...) {
      RethrowWithContext("top-level entry " + std::to_string(i));
    }
  }
}

}  // namespace durvane::opt
