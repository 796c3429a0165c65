#include "app/cli/help_texts.h"

#include <algorithm>
#include <iterator>

namespace durvane::cli {
namespace {

constexpr OptionHelp kNoSync = {
    "--no-sync",
    "return once the system holds the written files, without waiting for them to reach the "
    "disk: faster, but a power cut soon after may leave them empty (a failure of durvane "
    "itself never does)"};
constexpr OptionHelp kNoWait = {
    "--no-wait",
    "fail at once when another durvane run is writing the same output, instead of waiting "
    "for it to finish"};

constexpr OptionHelp kConvertOptions[] = {
    {.flags = "-o, --output QEL_DIR",
     .text = "write into QEL_DIR (default: the current directory)",
     .missing_value = "option {} needs a folder"},
    {.flags = "-j, --jobs N",
     .text = "convert up to N files at once, 1 to 1024 (default: one per core); the files "
             "written and the messages printed are the same as with -j 1",
     .missing_value = "option {} needs a number of jobs",
     .attached_value = true},
    kNoSync,
    kNoWait};
constexpr OptionHelp kInfoOptions[] = {
    {"--json", "print one JSON document per file, on one line, with the same facts"}};
constexpr OptionHelp kMergeOptions[] = {
    {"--backup",
     "keep FIRST.prj as it was before the merge as FIRST.prj~, replaced together with FIRST.prj "
     "(a file already named so is replaced)"},
    kNoSync,
    kNoWait};
constexpr OptionHelp kRenderOptions[] = {
    {"--view V",
     "look from +x, -x, +y, -y, +z or -z (z is up), or iso, the three-quarter view "
     "(default)"},
    {"--yaw D", "turn the camera D degrees about the z axis"},
    {"--pitch D", "raise the camera D degrees"},
    {"--size WxH", "the picture's size in pixels, each side 1 to 8192 (default 512x512)"},
    {"--flat", "draw every polygon in one colour, without its bitmap"},
    {"-o OUT.png",
     "where to write the picture (default: <name>.png in the current folder); - writes it to "
     "standard output"}};

constexpr OptionHelp kExportOptions[] = {
    {.flags = "--format F",
     .text = "glb (default): one binary glTF file; gltf: a glTF file with its .bin and PNG files "
             "beside it; obj: an OBJ file with its .mtl and PNG files beside it",
     .missing_value = "option {} needs glb, gltf or obj"},
    {"-o OUT",
     "where to write the model (default: <name>.glb, .gltf or .obj in the current folder); the "
     "other files go beside it"}};

constexpr CommandHelp kCommands[] = {
    {.name = "convert",
     .usage = "durvane convert [-o QEL_DIR] [-j N] [--no-sync] [--no-wait] [--] FILE.opt...",
     .description =
         "Converts each OPT file into QEL_DIR/<name>/, where <name> is the file name less .opt, "
         "in lower case: <name>.prj and one 8-bit <TEXTURE>.BMP per texture. Files convert "
         "independently; warnings and errors go to stderr, each naming its file. A file named "
         "twice is converted once; a second file with the same output folder is refused.",
     .options = kConvertOptions},
    {.name = "export",
     .usage = "durvane export [--format glb|gltf|obj] [-o OUT] [--] FILE.opt|FILE.prj",
     .description =
         "Writes the model of an OPT or PRJ file, read as render reads it, as glTF 2.0 or "
         "Wavefront OBJ: every polygon render draws, one material per bitmap with the bitmap as "
         "a PNG file, the positions as the file holds them. glTF turns the model y up with its "
         "node; OBJ keeps z up. All files are written together, whole or not at all. A bitmap "
         "that is missing or unusable gives a plain material and a warning; a file that breaks "
         "its layout fails with the error info gives for it.",
     .options = kExportOptions},
    {.name = "info",
     .usage = "durvane info [--json] [--] FILE.opt|FILE.prj...",
     .description =
         "Explains each file with the walks the conversion and the merge use. For an OPT file: "
         "the header, the top-level entries, the polygons and textures, the PRJ sections a "
         "conversion would write, and every warning and error a conversion would give. For a PRJ "
         "file: each block with its offset, count and records, and whether the file is valid "
         "merge input. The facts of an invalid file are printed too.",
     .options = kInfoOptions},
    {.name = "merge",
     .usage = "durvane merge [--backup] [--no-sync] [--no-wait] [--] FIRST.prj SECOND.prj "
              "[MORE.prj...]",
     .description =
         "Folds SECOND.prj into FIRST.prj, in place: block by block, the second file's records "
         "follow the first's, with its top-level indices moved past the first file's polygons. "
         "Further files are folded in after it, in the order given, in the same pass: the result "
         "is what merging them one at a time gives, but FIRST.prj is replaced once. Every file "
         "is checked in full first; on any error FIRST.prj is left as it was. The same file may "
         "be given more than once.",
     .options = kMergeOptions},
    {.name = "render",
     .usage = "durvane render [--view V] [--yaw D] [--pitch D] [--size WxH] [--flat] "
              "[-o OUT.png] [--] FILE.opt|FILE.prj",
     .description =
         "Draws the model of an OPT or PRJ file into a PNG picture, written whole or not at "
         "all. A PRJ file is drawn with the bitmaps beside it; an OPT file is checked as the "
         "conversion checks it, nothing written, and drawn from its own bytes with its own "
         "textures, so both give the same picture. A file that breaks its layout fails with "
         "the error info gives for it.",
     .options = kRenderOptions},
};

constexpr OptionHelp kCommonOptions[] = {
    {"-h, --help", "print the command's help and exit"},
    {"--", "end the options: every argument after it is a file, also one that begins with '-'"}};

constexpr std::string_view kFileKinds =
    "A file's kind is told by its extension, in any letter case: convert takes .opt files, "
    "merge .prj files, info, render and export either. A file of another extension is not read: it "
    "fails "
    "like "
    "a file that cannot be read. Every file written is written whole or not at all.";

constexpr OptionHelp kExitStatus[] = {
    {"0", "every file was converted, merged, drawn, exported, or explained and found valid"},
    {"1",
     "a file failed: it cannot be read or written, its content is not valid, or its extension "
     "does not fit the command; convert and info go on with the other files"},
    {"2",
     "usage error: an unknown command or option, an option without its value, or too few or "
     "too many files; no file is read or written"}};

constexpr std::size_t kWidth = 80;
constexpr std::size_t kOptionColumn = 24;
constexpr std::size_t kCommandColumn = 12;

// Appends `text` after `line`, breaking it at spaces into lines of at most kWidth columns;
// every line after the first starts at `indent`.
std::string Wrapped(std::string line, std::string_view text, std::size_t indent) {
  std::string out;
  bool line_has_words = false;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (line_has_words && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line.assign(indent, ' ');
      line_has_words = false;
    }
    if (line_has_words) line += ' ';
    line += word;
    line_has_words = true;
  }
  return out + line + "\n";
}

// "  HEAD  text", the text wrapped in a column of its own.
std::string Entry(std::string_view head, std::string_view text, std::size_t column) {
  std::string line = "  " + std::string(head);
  if (line.size() + 2 > column)
    return line + "\n" + Wrapped(std::string(column, ' '), text, column);
  line.resize(column, ' ');
  return Wrapped(line, text, column);
}

std::string Entries(std::span<const OptionHelp> entries, std::size_t column) {
  std::string text;
  for (const OptionHelp& e : entries) text += Entry(e.flags, e.text, column);
  return text;
}

std::string Rules() {
  return "File kinds:\n" + Wrapped("  ", kFileKinds, 2) + "\nExit status:\n" +
         Entries(kExitStatus, 7);
}

std::string SynopsisLines() {
  std::string text;
  for (const CommandHelp& c : kCommands) {
    text += text.empty() ? "Usage: " : "  or:  ";
    text += c.usage;
    text += "\n";
  }
  text +=
      "  or:  durvane help [COMMAND]\n"
      "  or:  durvane COMMAND --help\n"
      "  or:  durvane --help | --version\n";
  return text;
}

}  // namespace

std::span<const CommandHelp> CommandHelps() {
  return kCommands;
}

const CommandHelp* FindCommandHelp(std::string_view name) {
  const auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                               [&](const CommandHelp& c) { return c.name == name; });
  return it == std::end(kCommands) ? nullptr : &*it;
}

std::string MainUsage() {
  return SynopsisLines() + "Run 'durvane --help' for more.\n";
}

std::string MainHelp() {
  std::string text = SynopsisLines();
  text += Wrapped("",
                  "Converts OPT model files into PRJ files plus one 8-bit BMP per texture, merges "
                  "one PRJ file into another, and explains and draws both kinds of file.",
                  0);
  text += "\nCommands:\n";
  for (const CommandHelp& c : kCommands) text += Entry(c.name, c.description, kCommandColumn);
  text += Entry("help", "Prints this help, or with COMMAND the help of that command alone.",
                kCommandColumn);
  for (const CommandHelp& c : kCommands) {
    if (c.options.empty()) continue;
    text += "\nOptions of " + std::string(c.name) + ":\n" + Entries(c.options, kOptionColumn);
  }
  text += "\nOptions of every command:\n" + Entries(kCommonOptions, kOptionColumn);
  return text + "\n" + Rules();
}

std::string CommandHelpText(const CommandHelp& command) {
  std::string text = "Usage: " + std::string(command.usage) + "\n";
  text += Wrapped("", command.description, 0);
  text += "\nOptions:\n" + Entries(command.options, kOptionColumn) +
          Entries(kCommonOptions, kOptionColumn);
  return text + "\n" + Rules();
}

std::string CommandUsage(std::string_view name) {
  const CommandHelp* command = FindCommandHelp(name);
  if (!command) return MainUsage();
  return "Usage: " + std::string(command->usage) + "\nRun 'durvane help " + std::string(name) +
         "' for more.\n";
}

}  // namespace durvane::cli
