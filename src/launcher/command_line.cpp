#include "launcher/command_line.hpp"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "console/backends/platform.hpp"
#include "console/console.hpp"
#include "console/record/recorder.hpp"
#include "console/record/recording.hpp"
#include "console/record/replayer.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"

namespace launcher {
namespace {

const char kUsage[] =
    "usage: gamebox [--seed N] [--record FILE] [--replay FILE [--speed N]] [--help] [--version]\n"
    "\n"
    "A launcher menu with three games: 1 snake, 2 parkour, 3 killer.\n"
    "\n"
    "  --seed N       seed the random generator with N instead of the clock, to replay a game\n"
    "  --record FILE  play as usual and write every input to FILE, to watch or share the run\n"
    "  --replay FILE  play the run recorded in FILE back (space pauses, q stops watching)\n"
    "  --speed N      replay N times as fast as it was played (0.1 to 1000)\n"
    "  --help         show this help and exit\n"
    "  --version      show the version and exit\n";

bool parse_seed(const char* s, unsigned& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s, &end, 10);
  if (errno || *end || s[0] == '-' || v > UINT_MAX) return false;
  out = static_cast<unsigned>(v);
  return true;
}

bool parse_speed(const char* s, double& out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(s, &end);
  if (errno || *end || !std::isfinite(v) || v < 0.1 || v > 1000) return false;
  out = v;
  return true;
}

// "--name VALUE" or "--name=VALUE": true when argv[k] is this option; `value` is null when it
// lacks one.
bool option(const char* name, int& k, int argc, char** argv, const char*& value) {
  const size_t n = std::strlen(name);
  const char* arg = argv[k];
  if (std::strncmp(arg, name, n) != 0) return false;
  if (arg[n] == '=') {
    value = arg + n + 1;
    return true;
  }
  if (arg[n] != '\0') return false;
  value = k + 1 < argc ? argv[++k] : nullptr;
  return true;
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "gamebox: %s\nTry 'gamebox --help'.\n", message.c_str());
  return 2;
}

int play(const Options& o) {
  std::unique_ptr<con::Backend> backend = con::make_platform_backend();
  con::set_seed_override(o.seed);
  return con::run_attached(*backend, launcher::run);
}

// Plays with every input written to the recording; a recording that could not be written in
// full makes a run that ended well end with 1.
int record(const Options& o, Storage& storage) {
  using namespace con::record;
  std::string error;
  if (!storage.open(o.record_path, error)) {
    std::fprintf(stderr, "gamebox: %s: %s\n", o.record_path, error.c_str());
    return 2;
  }
  std::unique_ptr<con::Backend> backend = con::make_platform_backend();
  Recorder recorder(
      *backend, [&storage](std::string_view b) { return storage.write(b); }, o.seed);
  con::set_seed_override(o.seed);
  int code = con::run_attached(recorder, launcher::run, &recorder);
  const bool closed = storage.close(error);
  if (recorder.too_long()) {
    std::fprintf(stderr,
                 "gamebox: %s: the recording stopped at %zu MiB, the most a replay "
                 "reads; it replays up to there\n",
                 o.record_path, kMaxBytes >> 20);
    if (code == 0) code = 1;
  } else if (!closed || recorder.failed()) {
    std::fprintf(stderr, "gamebox: %s: the recording could not be written in full (%s)\n",
                 o.record_path, error.c_str());
    if (code == 0) code = 1;
  }
  return code;
}

// Plays the recorded run back, on the recorded seed. Ends with 0 when it ended as recorded
// (or where a recording cut short stops), Replayer::kDiverged when it diverged, else with the
// code the program ended with (a watcher who stopped it, a signal).
int replay(const Options& o, Storage& storage) {
  using namespace con::record;
  Recording recording;
  std::string bytes, error;
  if (!storage.read(o.replay_path, bytes, error) || !recording.load(std::move(bytes), error)) {
    std::fprintf(stderr, "gamebox: %s: %s\n", o.replay_path, error.c_str());
    return 2;
  }
  std::unique_ptr<con::Backend> backend = con::make_platform_backend();
  Replayer::Options ro;
  ro.paced = backend->describe().interactive;
  ro.speed = o.speed.value_or(1);
  Replayer replayer(recording, *backend, ro);
  con::set_seed_override(recording.header().seed);
  const int code = con::run_attached(replayer, launcher::run, &replayer);
  switch (replayer.outcome()) {
    case Replayer::Outcome::Finished:
      return 0;
    case Replayer::Outcome::CutShort:
      std::fprintf(stderr, "gamebox: %s: %s\n", o.replay_path, replayer.message().c_str());
      return 0;
    case Replayer::Outcome::Diverged:
      std::fprintf(stderr, "gamebox: %s: the replay diverged at %s\n", o.replay_path,
                   replayer.message().c_str());
      return Replayer::kDiverged;
    default:
      return code;
  }
}

}  // namespace

int parse_options(int argc, char** argv, Options& o) {
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("gamebox %s\n", GAMEBOX_VERSION);
      return 0;
    }
    const char* value = nullptr;
    unsigned v = 0;
    double x = 0;
    if (option("--seed", k, argc, argv, value)) {
      if (!parse_seed(value, v))
        return usage_error("--seed needs a whole number from 0 to " + std::to_string(UINT_MAX));
      o.seed = v;
    } else if (option("--record", k, argc, argv, value)) {
      if (!value || !*value) return usage_error("--record needs a file name");
      o.record_path = value;
    } else if (option("--replay", k, argc, argv, value)) {
      if (!value || !*value) return usage_error("--replay needs a file name");
      o.replay_path = value;
    } else if (option("--speed", k, argc, argv, value)) {
      if (!parse_speed(value, x)) return usage_error("--speed needs a number from 0.1 to 1000");
      o.speed = x;
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  if (o.record_path && o.replay_path)
    return usage_error("--record and --replay exclude each other");
  if (o.replay_path && o.seed)
    return usage_error("--seed does not go with --replay: a recording has its own");
  if (o.speed && !o.replay_path) return usage_error("--speed goes with --replay");
  return -1;
}

int run_with(const Options& o, Storage& storage) {
  if (o.record_path) return record(o, storage);
  if (o.replay_path) return replay(o, storage);
  return play(o);
}

}  // namespace launcher
