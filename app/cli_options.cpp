#include "app/cli_options.hpp"

#include <cctype>
#include <optional>
#include <utility>

namespace trimbrel {

namespace {

enum class Key {
  Width, Height, Unit, Dpi, Basis, Format, Output, Jobs, Background, DryRun, Fast, Quiet, Null, Window, Help, Version
};

struct OptionInfo {
  char shortName;  // 0: long only
  const char* longName;
  Key key;
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {'W', "width", Key::Width, true},        {'H', "height", Key::Height, true},
    {'u', "unit", Key::Unit, true},          {'d', "dpi", Key::Dpi, true},
    {'b', "basis", Key::Basis, true},        {'f', "format", Key::Format, true},
    {'o', "output", Key::Output, true},      {'j', "jobs", Key::Jobs, true},
    {0, "background", Key::Background, true}, {'n', "dry-run", Key::DryRun, false},
    {'F', "fast", Key::Fast, false},         {'q', "quiet", Key::Quiet, false},
    {'0', "null", Key::Null, false},         {'w', "window", Key::Window, false},
    {'h', "help", Key::Help, false},
    {'V', "version", Key::Version, false},
};

const OptionInfo* FindShort(char c) {
  for (const auto& o : kOptions)
    if (o.shortName == c) return &o;
  return nullptr;
}

const OptionInfo* FindLong(const std::string& name) {
  for (const auto& o : kOptions)
    if (name == o.longName) return &o;
  return nullptr;
}

// The command line's words for the window's units and fit bases.
constexpr std::pair<const char*, Unit> kUnitWords[] = {
    {"px", Unit::Pixel}, {"cm", Unit::Centimetre}, {"in", Unit::Inch}};
constexpr std::pair<const char*, FitBasis> kBasisWords[] = {{"width", FitBasis::Width}, {"height", FitBasis::Height}};

template <class Choice, std::size_t N>
std::optional<Choice> Named(const std::string& word, const std::pair<const char*, Choice> (&words)[N]) {
  for (const auto& [name, choice] : words)
    if (word == name) return choice;
  return std::nullopt;
}

std::optional<std::uint32_t> ParseColour(std::string text) {
  if (!text.empty() && text[0] == '#') text.erase(0, 1);
  if (text.size() != 6) return std::nullopt;
  std::uint32_t rgb = 0;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    rgb = rgb * 16 + static_cast<std::uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  // RRGGBB as people write it; the surface keeps 0x00BBGGRR.
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

std::optional<int> ParseJobs(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > 256) return std::nullopt;
  return n;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The value is still read the window's way; the user hears of what it drops.
std::string IgnoredWarning(const std::string& option, const std::string& value, const std::string& readAs,
                           const std::string& ignoredGbk) {
  return option + " " + Quoted(value) + " is read as " + readAs + "; " + Quoted(GbkToUtf8(ignoredGbk)) +
         " is ignored";
}

Result<void> Apply(CliOptions& options, const OptionInfo& option, const std::string& value) {
  const std::string shown = std::string("--") + option.longName;
  const bool shapesTheRun = option.key != Key::Window && option.key != Key::Help && option.key != Key::Version;
  if (shapesTheRun && options.firstRunOption.empty()) options.firstRunOption = shown;
  switch (option.key) {
    case Key::Width:
    case Key::Height: {
      std::string& text = option.key == Key::Width ? options.settings.widthText : options.settings.heightText;
      text = Utf8ToGbk(value);
      const NumberReading reading = ReadNumber(text);
      if (!reading.ignored.empty())
        options.warnings.push_back(IgnoredWarning(shown, value, FormatNumber(reading.value), reading.ignored));
      break;
    }
    case Key::Dpi: {
      options.settings.dpiText = Utf8ToGbk(value);
      const IntegerReading reading = ReadInteger(options.settings.dpiText);
      if (reading.outOfRange) return Fail(shown + ": " + Quoted(value) + " is out of range for a DPI");
      if (!reading.ignored.empty()) {
        options.warnings.push_back(IgnoredWarning(shown, value, std::to_string(reading.value), reading.ignored) +
                                   " (a DPI is a whole number)");
      }
      break;
    }
    case Key::Unit: {
      auto unit = Named(value, kUnitWords);
      if (!unit) return Fail(shown + ": unknown unit \"" + value + "\" (px, cm or in)");
      options.settings.unit = *unit;
      break;
    }
    case Key::Basis: {
      auto basis = Named(value, kBasisWords);
      if (!basis) return Fail(shown + ": unknown basis \"" + value + "\" (width or height)");
      options.settings.basis = *basis;
      break;
    }
    case Key::Format: {
      auto format = OutputFormatNamed(value);
      if (!format) return Fail(shown + ": unknown format \"" + value + "\" (" + OutputFormatWords() + ")");
      options.settings.format = *format;
      break;
    }
    case Key::Output:
      if (value.empty()) return Fail(shown + ": the folder is empty");
      options.outputFolder = value;
      break;
    case Key::Jobs: {
      auto jobs = ParseJobs(value);
      if (!jobs) return Fail(shown + ": \"" + value + "\" is not a number from 1 to 256");
      options.jobs = *jobs;
      break;
    }
    case Key::Background: {
      auto colour = ParseColour(value);
      if (!colour) return Fail(shown + ": \"" + value + "\" is not a colour RRGGBB");
      options.bandColour = *colour;
      break;
    }
    case Key::DryRun:
      options.dryRun = true;
      break;
    case Key::Fast:
      options.fast = true;
      break;
    case Key::Quiet:
      options.quiet = true;
      break;
    case Key::Null:
      options.nullSeparated = true;
      break;
    case Key::Window:
      options.window = true;
      break;
    case Key::Help:
      options.help = true;
      break;
    case Key::Version:
      options.version = true;
      break;
  }
  return {};
}

}  // namespace

Result<CliOptions> ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions options;
  bool onlyPhotos = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyPhotos || arg.size() < 2 || arg[0] != '-') {
      options.photos.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPhotos = true;
      continue;
    }
    if (arg[1] == '-') {
      std::string name = arg.substr(2);
      std::optional<std::string> value;
      if (auto eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      }
      const OptionInfo* option = FindLong(name);
      if (option == nullptr) return Fail("unknown option --" + name);
      if (option->takesValue && !value) {
        if (i + 1 >= args.size()) return Fail("--" + name + " needs a value");
        value = args[++i];
      } else if (!option->takesValue && value) {
        return Fail("--" + name + " takes no value");
      }
      TRIMBREL_TRY(Apply(options, *option, value.value_or("")));
      continue;
    }
    // Short options may be bundled ("-nq"); one that takes a value takes
    // the rest of the word ("-W2.6") or the next word.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const OptionInfo* option = FindShort(arg[k]);
      if (option == nullptr) return Fail(std::string("unknown option -") + arg[k]);
      if (!option->takesValue) {
        TRIMBREL_TRY(Apply(options, *option, ""));
        continue;
      }
      std::string value;
      if (k + 1 < arg.size()) {
        value = arg.substr(k + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return Fail(std::string("-") + arg[k] + " needs a value");
      }
      TRIMBREL_TRY(Apply(options, *option, value));
      break;
    }
  }
  return options;
}

Result<void> TargetRefusal(const TrimSettings& settings) {
  const bool pixels = settings.unit == Unit::Pixel;
  const char* unit = settings.unit == Unit::Centimetre ? "cm" : "in";
  const int dpi = ParseInteger(settings.dpiText);
  const std::string dpiShown = "--dpi " + Quoted(GbkToUtf8(settings.dpiText));
  if (!pixels && dpi <= 0) return Fail(dpiShown + " gives no size in " + unit + ": the DPI must be positive");
  auto source = [&](const char* option, const std::string& text) {
    std::string from = std::string("--") + option + " " + Quoted(GbkToUtf8(text));
    if (!pixels) from += std::string(" ") + unit + " at " + dpiShown;
    return from;
  };
  const double width = UnwrappedTargetPixels(settings.widthText, settings.unit, settings.dpiText);
  const double height = UnwrappedTargetPixels(settings.heightText, settings.unit, settings.dpiText);
  const struct {
    const char* option;
    const std::string& text;
    double pixels;
  } sides[] = {{"width", settings.widthText, width}, {"height", settings.heightText, height}};
  for (const auto& side : sides) {
    const std::string gives = source(side.option, side.text) + " gives a target " + side.option + " of " +
                              FormatNumber(side.pixels) + " pixels";
    if (side.pixels > static_cast<double>(kMaxPictureSide)) {
      // A count of pixels past any real size (1e308, or inf) says nothing.
      const std::string shown = side.pixels < 1e12 ? " (" + FormatNumber(side.pixels) + " pixels)" : "";
      return Fail(source(side.option, side.text) + " is too large" + shown + ": a target " + side.option +
                  " can be at most " + std::to_string(kMaxPictureSide) + " pixels");
    }
    if (!(side.pixels >= 1)) return Fail(gives + "; it must be at least 1");
  }
  if (!PictureSizeAllowed(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height))) {
    return Fail("--width and --height are too large together: a target of " + FormatNumber(width) + " × " +
                FormatNumber(height) + " pixels, more than " + std::to_string(kMaxPicturePixels) + " in all");
  }
  return {};
}

std::string AbsolutePath(const std::string& path, const std::string& workingDirectory) {
  if (!path.empty() && path[0] == '/') return path;
  std::string base = workingDirectory;
  if (base.empty() || base.back() != '/') base += '/';
  std::string rest = path;
  while (rest.rfind("./", 0) == 0) rest.erase(0, 2);
  return base + rest;
}

std::string ShownPath(const std::string& path, const std::string& workingDirectory) {
  return workingDirectory.empty() ? path : AbsolutePath(path, workingDirectory);
}

std::string UsageText() {
  return "Usage: trimbrel                       open the window\n"
         "  or:  trimbrel --window [PHOTO]...   open the window and run the photos in it\n"
         "  or:  trimbrel [OPTION]... PHOTO...  trim the photos without a window\n"
         "Trims photos into pictures of one exact size.\n"
         "\n"
         "With --window (the way a file manager's \"Open with\" starts it) the photos run\n"
         "in the window as if they had been dropped on it, with the inputs the window\n"
         "saved last, and the window stays open. Given photos without --window, trimbrel\n"
         "trims them on the command line, without a window and without the window's\n"
         "settings file, with these options:\n"
         "\n"
         "  -W, --width TEXT        target width, read like the window's width box (default 2.6);\n"
         "                          characters after the number are ignored, with a warning\n"
         "  -H, --height TEXT       target height (default 3.2)\n"
         "  -u, --unit UNIT         px | cm | in (default cm)\n"
         "  -d, --dpi TEXT          resolution in dots per inch, a whole number (default 150)\n"
         "  -b, --basis BASIS       width | height (default width)\n"
         "  -f, --format FORMAT     bmp | jpg | gif | tiff | png (default jpg)\n"
         "  -o, --output DIR        results folder (default: the first photo's folder + /修剪结果/)\n"
         "  -j, --jobs N            photos trimmed at once, as far as free memory allows\n"
         "                          (default: the number of processors)\n"
         "      --background RRGGBB colour of the bands (default F0F0F0)\n"
         "  -n, --dry-run           write nothing; print each photo's size, scale and what is cut or padded\n"
         "  -F, --fast              JPEG photos: decode at a reduced scale when that cannot show\n"
         "  -q, --quiet             no progress output\n"
         "  -0, --null              end each written path with a NUL byte, not a newline\n"
         "                          (for xargs -0; photo names with newlines need it)\n"
         "  -w, --window            open the window and run the photos in it; takes no\n"
         "                          other option\n"
         "  -h, --help              usage\n"
         "  -V, --version           version\n"
         "\n"
         "Written files are listed on stdout, one per line (or NUL-ended with -0), in\n"
         "the order of the photos.\n"
         "Exit status: 0 when every photo was read and written, 1 when any photo could\n"
         "not be read or written (the others are still written), 2 for bad usage or a\n"
         "refused target size (nothing is written). The window exits with 0 when it\n"
         "closes, 2 when it cannot be opened.\n";
}

}  // namespace trimbrel
