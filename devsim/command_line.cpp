#include "devsim/command_line.h"

#include <charconv>
#include <cstdlib>

namespace devsim {

const char kUsage[] =
    "usage: devsim [OPTIONS]\n"
    "  --bind ADDR          listen on this address literal (127.0.0.1)\n"
    "  --http-port N        HTTP port; 0 picks a free one (0)\n"
    "  --port-file FILE     write the HTTP port and a newline to FILE once listening\n"
    "  --tone HZ            a sine tone (1000)\n"
    "  --amplitude A        the tone's peak, 0..32767 (16384, about -6 dBFS)\n"
    "  --ramp               a sawtooth ramp instead of a tone, for end-to-end checks\n"
    "  --wav FILE           play FILE (PCM 16-bit, 8000 Hz, mono or stereo) in a loop\n"
    "  --fault FAULT        the next connection's fault, in order of acceptance (repeatable):\n"
    "                       none close close-after:N stall split:K garbage:G reset-after:N noise\n"
    "  --default-fault FAULT\n"
    "                       the fault of every connection after those (none)\n"
    "  --multicast G:PORT   also send the packets to a group (239.1.2.3:5000, [ff15::1]:5000)\n"
    "  --mcast-if IFACE     outgoing interface: IPv4 address or name, IPv6 index or name\n"
    "  --mcast-loop on|off  loop datagrams back to this host (on)\n"
    "  --mcast-ttl N        TTL or hop limit (1)\n"
    "  --mcast-size BYTES   cut or zero-pad each datagram to BYTES\n"
    "  --duration MS        exit after MS milliseconds\n"
    "  --quiet              print no event lines\n";

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
  return true;
}

}  // namespace devsim
