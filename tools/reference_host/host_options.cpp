#include "host_options.h"

#include <charconv>

namespace selvane::host {
namespace {

bool ToInt(const std::string& text, int64_t low, int64_t high, int64_t& out) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || p != end || value < low || value > high) return false;
  out = value;
  return true;
}

std::optional<int32_t> SelectorFor(const std::string& name) {
  if (name == "dmx60" || name == "DMX-60") return 64;
  if (name == "dmx120" || name == "DMX-120") return 120;
  if (name == "dmx510usb" || name == "DMX-510USB") return 510;
  return std::nullopt;
}

}  // namespace

ParsedOptions ParseHostOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  HostOptions& o = parsed.options;
  auto fail = [&](std::string message) {
    parsed.error = std::move(message);
    return parsed;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    int64_t n = 0;
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--progid") {
      if (!value(o.progId) || o.progId.empty()) return fail("--progid needs a ProgID");
    } else if (arg == "--title") {
      if (!value(o.title)) return fail("--title needs a text");
    } else if (arg == "--file") {
      if (!value(o.fileName)) return fail("--file needs a file name");
    } else if (arg == "--interface") {
      if (!value(v)) return fail("--interface needs dmx60, dmx120 or dmx510usb");
      o.interfaceSelector = SelectorFor(v);
      if (!o.interfaceSelector) return fail("unknown interface '" + v + "': use dmx60, dmx120 or dmx510usb");
    } else if (arg == "--configure") {
      o.configure = true;
    } else if (arg == "--scene") {
      if (!value(v)) return fail("--scene needs static, chase or fade");
      if (v == "chase") o.scene = SceneKind::Chase;
      else if (v == "fade") o.scene = SceneKind::Fade;
      else if (v == "static") {
        o.scene = SceneKind::Static;
        // The levels follow as CH=V words.
        while (i + 1 < args.size() && args[i + 1].find('=') != std::string::npos) {
          const std::string& pair = args[++i];
          const size_t eq = pair.find('=');
          int64_t ch = 0, level = 0;
          if (!ToInt(pair.substr(0, eq), INT32_MIN, INT32_MAX, ch) ||
              !ToInt(pair.substr(eq + 1), INT32_MIN, INT32_MAX, level))
            return fail("bad level '" + pair + "': use CH=V, e.g. 5=200");
          o.staticLevels.emplace_back(static_cast<int32_t>(ch), static_cast<int32_t>(level));
        }
        if (o.staticLevels.empty()) return fail("--scene static needs levels such as 1=255 5=200");
      } else {
        return fail("unknown scene '" + v + "': use static, chase or fade");
      }
    } else if (arg == "--seconds") {
      if (!value(v) || !ToInt(v, 1, 3600, n)) return fail("--seconds needs a whole number from 1 to 3600");
      o.seconds = static_cast<double>(n);
    } else if (arg == "--fps") {
      if (!value(v) || !ToInt(v, 1, 200, n)) return fail("--fps needs a number from 1 to 200");
      o.fps = static_cast<int>(n);
    } else if (arg == "--channels") {
      if (!value(v) || !ToInt(v, 1, 512, n)) return fail("--channels needs a number from 1 to 512");
      o.channels = static_cast<int>(n);
    } else if (arg == "--frames-file") {
      if (!value(o.framesFile) || o.framesFile.empty()) return fail("--frames-file needs a path");
    } else if (arg == "--live") {
      o.liveView = true;
    } else if (arg == "--zero-after") {
      if (!value(v) || !ToInt(v, 0, INT32_MAX, n)) return fail("--zero-after needs a frame count");
      o.zeroAfterFrames = static_cast<int32_t>(n);
    } else {
      return fail("unknown argument '" + arg + "' (see --help)");
    }
  }
  return parsed;
}

const char* HostUsage() {
  return "usage: selvane-host [options]\n"
         "  --progid ID          plug-in to create (default Selvane.clsOutputDriver)\n"
         "  --title T --file F   names handed to Init (default \"Selvane Host\", Selvane.out.dll)\n"
         "  --interface NAME     store dmx60, dmx120 or dmx510usb before Init\n"
         "  --configure          open the plug-in's dialog after Init\n"
         "  --scene chase|fade   moving levels (default chase)\n"
         "  --scene static CH=V  fixed levels, e.g. --scene static 1=255 5=200\n"
         "  --seconds N          how long to run (default 5)\n"
         "  --fps N              the host's own frame rate for SetChannel (default 40)\n"
         "  --channels N         channels the scene drives, from 1 (default 509)\n"
         "  --frames-file PATH   where the virtual interface records its frames\n"
         "  --live               live view of the virtual interface\n"
         "  --zero-after N       the virtual interface answers 0 after N frames\n"
         "  --version            print the version and exit\n";
}

}  // namespace selvane::host
