#include "app/cli/option_parser.h"

#include <algorithm>

namespace durvane::cli {
namespace {

// The words of an option's flags, "-o, --output QEL_DIR" giving "-o", "--output" and
// "QEL_DIR".
std::vector<std::string_view> FlagWords(std::string_view flags) {
  std::vector<std::string_view> words;
  while (!flags.empty()) {
    const std::size_t space = flags.find(' ');
    std::string_view word = flags.substr(0, space);
    flags = space == std::string_view::npos ? std::string_view() : flags.substr(space + 1);
    if (word.ends_with(',')) word.remove_suffix(1);
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

// Whether the flags name a value after the option's names.
bool TakesValue(const OptionHelp& option) {
  const std::vector<std::string_view> words = FlagWords(option.flags);
  return std::any_of(words.begin(), words.end(),
                     [](std::string_view w) { return !w.starts_with('-'); });
}

// The option's one-letter name ("-j"), which an attached value may follow; empty when none.
std::string_view ShortName(const OptionHelp& option) {
  for (std::string_view w : FlagWords(option.flags)) {
    if (w.size() == 2 && w[0] == '-' && w[1] != '-') return w;
  }
  return {};
}

std::string MissingValue(const OptionHelp& option, const std::string& name) {
  std::string message(option.missing_value);
  const std::size_t at = message.find("{}");
  if (at != std::string::npos) message.replace(at, 2, name);
  return message;
}

}  // namespace

bool HasName(const OptionHelp& option, std::string_view name) {
  const std::vector<std::string_view> words = FlagWords(option.flags);
  return name.starts_with('-') && std::find(words.begin(), words.end(), name) != words.end();
}

bool GivenOption::Is(std::string_view other) const {
  return HasName(*option, other);
}

ParsedArgs ParseArgs(std::span<const OptionHelp> options, const std::vector<std::string>& args) {
  ParsedArgs parsed;
  parsed.options_end = args.size();
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      parsed.files.push_back(a);
      parsed.file_positions.push_back(i);
      continue;
    }
    if (a == "--") {
      options_done = true;
      parsed.options_end = i;
      continue;
    }
    const auto named = std::find_if(options.begin(), options.end(),
                                    [&](const OptionHelp& o) { return HasName(o, a); });
    if (named != options.end()) {
      GivenOption given{&*named, a, {}};
      if (TakesValue(*named)) {
        if (i + 1 == args.size()) {
          parsed.error = MissingValue(*named, a);
          return parsed;
        }
        given.value = args[++i];
      }
      parsed.options.push_back(std::move(given));
      continue;
    }
    const auto attached = std::find_if(options.begin(), options.end(), [&](const OptionHelp& o) {
      const std::string_view name = ShortName(o);
      return o.attached_value && !name.empty() && a.starts_with(name);
    });
    if (attached == options.end()) {
      parsed.error = "unknown option '" + a + "'";
      return parsed;
    }
    parsed.options.push_back({&*attached, a.substr(0, 2), a.substr(2)});
  }
  return parsed;
}

}  // namespace durvane::cli
