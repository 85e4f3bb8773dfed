// Plays fuzz inputs without libFuzzer, so any compiler and CI can run them:
// every file named (folders: every file in them), then, with --random N, N inputs
// made from those files by a fixed pseudo-random sequence of mutations.
//
//   botoron_fuzz_replay [--random N] [--seed S] FILE_OR_FOLDER...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/player.h"
#include "scenes/scenes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The mutations a fuzzer makes most: bytes changed, inserted, removed, copied
// within the input and spliced in from another one.
Bytes mutate(const std::vector<Bytes>& corpus, std::mt19937_64& rng) {
  auto pick = [&](std::size_t n) { return n == 0 ? std::size_t{0} : static_cast<std::size_t>(rng() % n); };
  Bytes b = corpus.empty() || pick(10) == 0 ? Bytes{} : corpus[pick(corpus.size())];
  if (b.empty()) {
    b.resize(1 + pick(512));
    std::generate(b.begin(), b.end(), [&] { return static_cast<std::uint8_t>(rng()); });
    return b;
  }
  const std::size_t rounds = 1 + pick(8);
  for (std::size_t r = 0; r < rounds; ++r) {
    const std::size_t at = pick(b.size() + 1);
    switch (pick(6)) {
    case 0: // change a byte
      if (!b.empty()) {
        b[pick(b.size())] = static_cast<std::uint8_t>(rng());
      }
      break;
    case 1: { // insert a few bytes
      const std::size_t n = 1 + pick(16);
      Bytes ins(n);
      std::generate(ins.begin(), ins.end(), [&] { return static_cast<std::uint8_t>(rng()); });
      b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), ins.begin(), ins.end());
      break;
    }
    case 2: { // remove a range
      const std::size_t n = std::min(b.size() - std::min(at, b.size()), 1 + pick(32));
      b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
      break;
    }
    case 3: { // copy a range elsewhere
      if (b.empty()) {
        break;
      }
      const std::size_t from = pick(b.size());
      const std::size_t n = 1 + pick(std::min<std::size_t>(b.size() - from, 64));
      const Bytes piece(b.begin() + static_cast<std::ptrdiff_t>(from),
                        b.begin() + static_cast<std::ptrdiff_t>(from + n));
      b.insert(b.begin() + static_cast<std::ptrdiff_t>(pick(b.size() + 1)), piece.begin(), piece.end());
      break;
    }
    case 4: { // splice in the tail of another input
      const Bytes& other = corpus[pick(corpus.size())];
      const std::size_t from = pick(other.size());
      b.resize(at);
      b.insert(b.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
      break;
    }
    default: // cut the end off
      b.resize(std::max<std::size_t>(at, 1));
      break;
    }
  }
  if (b.size() > 8192) {
    b.resize(8192);
  }
  return b;
}

// The input being played, kept on a broken rule so that it can be played again.
const Bytes* current = nullptr;

void keepAndAbort(const std::string& what) {
  std::fputs(what.c_str(), stderr);
  if (current != nullptr) {
    std::ofstream out("fuzz-failure.bin", std::ios::binary);
    out.write(reinterpret_cast<const char*>(current->data()), static_cast<std::streamsize>(current->size()));
    std::fputs("the input is kept as fuzz-failure.bin\n", stderr);
  }
  std::fflush(stderr);
  std::abort();
}

fuzz::Outcome playKept(const Bytes& b) {
  current = &b;
  static const fuzz::Failure fail = keepAndAbort;
  auto out = fuzz::play(b.data(), b.size(), scenes::catalog(), fail);
  current = nullptr;
  return out;
}

[[noreturn]] void usage() {
  std::fputs("usage: botoron_fuzz_replay [--random N] [--seed S] FILE_OR_FOLDER...\n", stderr);
  std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
  long randomInputs = 0;
  unsigned long long seed = 1;
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--random" && i + 1 < argc) {
      randomInputs = std::stol(argv[++i]);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::stoull(argv[++i]);
    } else if (!arg.empty() && arg[0] == '-') {
      usage();
    } else if (std::filesystem::is_directory(arg)) {
      for (const auto& e : std::filesystem::directory_iterator(arg)) {
        if (e.is_regular_file()) {
          files.push_back(e.path());
        }
      }
    } else {
      files.emplace_back(arg);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty() && randomInputs == 0) {
    usage();
  }

  std::vector<Bytes> corpus;
  long events = 0;
  long handlers = 0;
  for (const auto& f : files) {
    corpus.push_back(readFile(f));
    std::fprintf(stderr, "%s\n", f.c_str());
    const auto out = playKept(corpus.back());
    events += out.events;
    handlers += out.handlers;
  }
  std::mt19937_64 rng(seed);
  for (long i = 0; i < randomInputs; ++i) {
    const Bytes b = mutate(corpus, rng);
    const auto out = playKept(b);
    events += out.events;
    handlers += out.handlers;
  }
  std::printf("played %zu files and %ld generated inputs: %ld events, %ld handlers, no rule broken\n",
              files.size(), randomInputs, events, handlers);
  return 0;
}
