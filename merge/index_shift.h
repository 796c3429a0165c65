// The top-level index shift of a merge: the second file's records are moved past every
// top-level index the first file's records use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/error.h"
#include "prj/prj_layout_reader.h"

namespace durvane::merge {

// IndexShift: 1 + the top-level index of the first file's last polygon record. When the
// first file has no polygon record, 1 + the largest top-level index among its records of any
// section, or 0 when it has no record at all. Throws Error when the shift itself leaves the
// signed 32-bit range.
std::int32_t IndexShift(const prj::PrjLayout& first);

// Adding the shift to a top-level index would leave the signed 32-bit range.
class ShiftOverflowError : public Error {
 public:
  using Error::Error;
};

// Throws ShiftOverflowError when adding `shift` to any top-level index of a file laid out as
// `layout` would leave the signed 32-bit range. Reads only the layout's index ranges.
void CheckShiftedIndices(const prj::PrjLayout& layout, std::int32_t shift);

// Adds `shift` to the top-level index of each record at the start of `records`, records of
// block `kind` back to back, and returns the bytes those records take. With `whole` the
// records must fill `records` exactly; otherwise `records` is a piece of the block and the
// shift stops before the first record that may run past its end. Throws FormatError, with
// offsets from the start of `records`, when a record does not fit, and ShiftOverflowError,
// with `records` partly shifted, when a shifted index leaves the signed 32-bit range.
std::uint64_t ShiftRecords(std::span<std::byte> records, prj::PrjBlockKind kind, std::int32_t shift,
                           bool whole);

}  // namespace durvane::merge
