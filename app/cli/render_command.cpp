// durvane render [--view V] [--yaw D] [--pitch D] [--size WxH] [--flat] [-o OUT.png] FILE
#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <ostream>

#include "app/cli/commands.h"
#include "app/cli/help_texts.h"
#include "app/cli/option_parser.h"
#include "core/file_io.h"
#include "core/file_names.h"
#include "core/interrupt_cleanup.h"
#include "core/platform.h"
#include "core/printable_text.h"
#include "render/png_codec.h"
#include "render/renderer.h"
#include "usecases/model_files.h"

namespace durvane::cli {
namespace {

std::optional<double> ParseDegrees(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> ParseSide(const char* begin, const char* end) {
  int value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || value < 1 || value > render::kMaxImageSide) {
    return std::nullopt;
  }
  return value;
}

// "WxH" into the options; false when it is no such size.
bool ParseSize(const std::string& text, render::RenderOptions& options) {
  const auto x = text.find('x');
  if (x == std::string::npos) return false;
  const auto width = ParseSide(text.data(), text.data() + x);
  const auto height = ParseSide(text.data() + x + 1, text.data() + text.size());
  if (!width || !height) return false;
  options.width = *width;
  options.height = *height;
  return true;
}

int UsageError(Streams io, const std::string& message) {
  PrintUsageError(io, message);
  io.err << CommandUsage("render");
  return kExitUsage;
}

}  // namespace

int RunRenderCommand(const std::vector<std::string>& args, Streams io) {
  render::RenderOptions options;
  std::optional<std::string> output;
  const ParsedArgs parsed = ParseArgs(FindCommandHelp("render")->options, args);
  for (const GivenOption& o : parsed.options) {
    if (o.Is("--view")) {
      const auto view = render::ParseView(o.value);
      if (!view) return UsageError(io, "unknown view '" + o.value + "'");
      options.view = *view;
    } else if (o.Is("--yaw") || o.Is("--pitch")) {
      const auto degrees = ParseDegrees(o.value);
      if (!degrees) {
        return UsageError(io, o.name + " needs a number of degrees, not '" + o.value + "'");
      }
      (o.Is("--yaw") ? options.yaw : options.pitch) = *degrees;
    } else if (o.Is("--size")) {
      if (!ParseSize(o.value, options)) {
        return UsageError(io, "--size needs WIDTHxHEIGHT, each 1 to " +
                                  std::to_string(render::kMaxImageSide) + ", not '" + o.value +
                                  "'");
      }
    } else if (o.Is("-o")) {
      output = o.value;
    } else if (o.Is("--flat")) {
      options.flat = true;
    }
  }
  if (!parsed.error.empty()) return UsageError(io, parsed.error);
  const std::vector<std::string>& files = parsed.files;
  if (files.size() != 1) {
    return UsageError(io, files.empty() ? "no file given" : "render takes one file");
  }
  const std::string& file = files[0];
  if (ModelFileKindOf(platform::PathFromBytes(file)) == ModelFileKind::kOther) {
    PrintFileError(io, file, "not drawn: the file name does not end in \".opt\" or \".prj\"");
    return kExitFailed;
  }
  const std::filesystem::path destination =
      output ? platform::PathFromBytes(*output)
             : platform::PathFromBytes(platform::PathBytes(platform::PathFromBytes(file).stem()) +
                                       ".png");
  return ReportingErrorsOf(io, file, [&] {
    const render::Model model = render::LoadModelFile(platform::PathFromBytes(file));
    const render::Rendering rendering = render::Render(model, options);
    for (const std::string& w : rendering.warnings) PrintFileWarning(io, file, w);
    const std::vector<std::byte> png = render::EncodePng(rendering.image);
    CompleteAfterReplacedSets(1, [&err = io.err, destination] {
      err << ("durvane: interrupted, but '" + PrintableText(platform::PathBytes(destination)) +
              "' was already written\n")
          << std::flush;
    });
    if (output && *output == "-") {
      platform::MakeStandardOutputBinary();
      // The picture itself on standard output, as image tools do; nothing else goes there.
      io.out.write(reinterpret_cast<const char*>(png.data()),
                   static_cast<std::streamsize>(png.size()));
      return kExitOk;
    }
    const std::span<const std::byte> pieces[] = {png};
    for (const std::string& w : WriteFileAtomically(destination, pieces)) {
      PrintFileWarning(io, file, w);
    }
    io.out << "wrote " << PrintableText(platform::PathBytes(destination)) << "\n";
    return kExitOk;
  });
}

}  // namespace durvane::cli
