#include "devsim/command_line.h"

#include <charconv>
#include <cstdlib>

namespace devsim {

namespace {

bool Number(const std::string& text, long min, long max, long* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() && *value >= min && *value <= max;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CommandLine* out, std::string* error) {
  double tone_hz = kDefaultToneHz;
  long amplitude = kDefaultAmplitude;
  std::string wav;
  bool ramp = false, tone = false;
  MulticastOptions multicast;
  bool have_multicast = false, multicast_detail = false;
  CameraOptions camera;
  CameraAnswer reply_defaults;  // what a reply without bytes or delay of its own takes
  std::vector<std::string> plan;
  std::string default_answer = "reply";
  bool have_camera = false, camera_detail = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      out->help = true;
      return true;
    }
    if (option == "--quiet") {
      out->quiet = true;
      continue;
    }
    if (option == "--ramp") {
      ramp = true;
      continue;
    }
    if (option == "--camera") {
      have_camera = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = option.rfind("--", 0) == 0 ? option + " needs a value" : "unknown argument '" + option + "'";
      return false;
    }
    const std::string value = argv[++i];
    long n = 0;
    const auto bad = [&] {
      *error = option + ": bad value '" + value + "'";
      return false;
    };
    if (option == "--bind") {
      out->device.bind = value;
    } else if (option == "--http-port") {
      if (!Number(value, 0, 65535, &n)) return bad();
      out->device.http_port = static_cast<std::uint16_t>(n);
    } else if (option == "--port-file") {
      out->port_file = value;
    } else if (option == "--tone") {
      char* end = nullptr;
      tone_hz = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || !(tone_hz > 0 && tone_hz < kSampleRate / 2)) return bad();
      tone = true;
    } else if (option == "--amplitude") {
      if (!Number(value, 0, 32767, &amplitude)) return bad();
    } else if (option == "--wav") {
      wav = value;
    } else if (option == "--fault" || option == "--default-fault") {
      const std::optional<Fault> fault = ParseFault(value, error);
      if (!fault) return false;
      if (option == "--fault") out->device.faults.push_back(*fault);
      else out->device.default_fault = *fault;
    } else if (option == "--multicast") {
      if (!ParseGroupAndPort(value, &multicast.group, &multicast.port, error)) return false;
      have_multicast = true;
    } else if (option == "--mcast-if") {
      multicast.interface = value;
      multicast_detail = true;
    } else if (option == "--mcast-loop") {
      if (value != "on" && value != "off") return bad();
      multicast.loop = value == "on";
      multicast_detail = true;
    } else if (option == "--mcast-ttl") {
      if (!Number(value, 0, 255, &n)) return bad();
      multicast.ttl = static_cast<int>(n);
      multicast_detail = true;
    } else if (option == "--mcast-size") {
      if (!Number(value, 1, 65507, &n)) return bad();
      multicast.datagram_bytes = static_cast<std::size_t>(n);
      multicast_detail = true;
    } else if (option.rfind("--camera-", 0) == 0) {
      camera_detail = true;
      if (option == "--camera-port") {
        if (!Number(value, 0, 65535, &n)) return bad();
        camera.port = static_cast<std::uint16_t>(n);
      } else if (option == "--camera-plan") {
        for (std::size_t from = 0;;) {
          const std::size_t comma = value.find(',', from);
          plan.push_back(value.substr(from, comma - from));
          if (comma == std::string::npos) break;
          from = comma + 1;
        }
      } else if (option == "--camera-default") {
        default_answer = value;
      } else if (option == "--camera-reply") {
        const std::optional<std::string> bytes = ParseHexBytes(value);
        if (!bytes) return bad();
        reply_defaults.reply = *bytes;
      } else if (option == "--camera-delay") {
        if (!Number(value, 0, 600000, &n)) return bad();
        reply_defaults.delay_ms = static_cast<int>(n);
      } else if (option == "--camera-refuse-ms") {
        if (!Number(value, 0, 1L << 30, &n)) return bad();
        camera.refuse_ms = static_cast<int>(n);
      } else {
        *error = "unknown option '" + option + "'";
        return false;
      }
    } else if (option == "--duration") {
      if (!Number(value, 0, 1L << 30, &n)) return bad();
      out->duration_ms = static_cast<int>(n);
    } else {
      *error = "unknown option '" + option + "'";
      return false;
    }
  }
  if ((tone ? 1 : 0) + (ramp ? 1 : 0) + (wav.empty() ? 0 : 1) > 1) {
    *error = "--tone, --ramp and --wav exclude each other";
    return false;
  }
  if (multicast_detail && !have_multicast) {
    *error = "--mcast-* options need --multicast";
    return false;
  }
  if (!wav.empty()) {
    if (!WavFileSource(wav, &out->device.source, error)) return false;
  } else if (ramp) {
    out->device.source = RampSource();
  } else {
    out->device.source = ToneSource(tone_hz, static_cast<int>(amplitude));
  }
  if (have_multicast) out->device.multicast = multicast;
  if (camera_detail && !have_camera) {
    *error = "--camera-* options need --camera";
    return false;
  }
  if (have_camera) {
    // Read last, so that --camera-reply and --camera-delay apply wherever they stand.
    for (const std::string& text : plan) {
      const std::optional<CameraAnswer> answer = ParseCameraAnswer(text, reply_defaults, error);
      if (!answer) return false;
      camera.plan.push_back(*answer);
    }
    const std::optional<CameraAnswer> fallback = ParseCameraAnswer(default_answer, reply_defaults, error);
    if (!fallback) return false;
    camera.default_answer = *fallback;
    out->device.camera = camera;
  }
  return true;
}

}  // namespace devsim
