// durvane info [--json] FILE...: explains OPT and PRJ files.
#include <exception>
#include <filesystem>
#include <ostream>

#include "app/cli/commands.h"
#include "core/file_io.h"
#include "core/printable_text.h"
#include "info/opt_report.h"
#include "info/opt_report_format.h"
#include "info/prj_report.h"

namespace durvane::cli {
namespace {

constexpr const char* kInfoUsage = "usage: durvane info [--json] FILE.opt|FILE.prj...\n";

enum class FileKind { kOpt, kPrj, kUnknown };

FileKind KindOf(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  if (ext == ".opt") return FileKind::kOpt;
  if (ext == ".prj") return FileKind::kPrj;
  return FileKind::kUnknown;
}

// Prints the report of one file; returns true when the file is valid.
bool DescribeOne(const std::string& file, FileKind kind, bool json, Streams io) {
  std::vector<std::byte> bytes;
  try {
    bytes = ReadFile(file);
  } catch (const std::exception& e) {
    PrintFileError(io, file, e.what());
    return false;
  }
  if (kind == FileKind::kOpt) {
    const info::OptReport report = info::DescribeOpt(bytes);
    io.out << (json ? info::OptReportJson(file, report)
                    : info::OptReportText(PrintableText(file), report));
    return report.valid();
  }
  const info::PrjReport report = info::DescribePrj(bytes);
  io.out << (json ? info::PrjReportJson(file, report)
                  : info::PrjReportText(PrintableText(file), report));
  return report.valid();
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& args, Streams io) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a == "--help" || a == "-h") {
      io.out << kInfoUsage;
      return kExitOk;
    } else if (a.size() > 1 && a[0] == '-') {
      PrintUsageError(io, "unknown option '" + a + "'");
      io.err << kInfoUsage;
      return kExitUsage;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    PrintUsageError(io, "no file given");
    io.err << kInfoUsage;
    return kExitUsage;
  }
  for (const std::string& f : files) {
    if (KindOf(f) == FileKind::kUnknown) {
      PrintUsageError(io, "cannot tell what kind of file '" + f + "' is: name it .opt or .prj");
      return kExitUsage;
    }
  }
  bool all_valid = true;
  for (const std::string& f : files) all_valid = DescribeOne(f, KindOf(f), json, io) && all_valid;
  return all_valid ? kExitOk : kExitFailed;
}

}  // namespace durvane::cli
