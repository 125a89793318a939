// The I/O floor of a run in one process, without the cost of starting a
// program per file:
//   io_floor OUT_DIR REPORT_BYTES INPUT...
// reads every input whole (pass 1, as the run reads the raw damage files),
// then writes a file of each input's size into OUT_DIR, and one more of
// REPORT_BYTES (pass 2, as the run writes the weighted files and the report),
// in writes of 1 MiB. Prints the seconds of each pass: "read R write W".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Reads the file whole through buffer; returns its size, or -1.
long read_whole(const char* name, std::vector<char>& buffer) {
  std::FILE* f = std::fopen(name, "rb");
  if (f == nullptr) return -1;
  long size = 0;
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;)
    size += static_cast<long>(n);
  std::fclose(f);
  return size;
}

bool write_sized(const std::string& name, long size, const std::vector<char>& buffer) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) return false;
  std::setvbuf(f, nullptr, _IONBF, 0);
  bool ok = true;
  for (long left = size; ok && left > 0; left -= static_cast<long>(kChunk)) {
    const auto n = static_cast<std::size_t>(std::min<long>(left, static_cast<long>(kChunk)));
    ok = std::fwrite(buffer.data(), 1, n, f) == n;
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: io_floor OUT_DIR REPORT_BYTES INPUT...\n");
    return 2;
  }
  const std::string out = argv[1];
  std::vector<char> buffer(kChunk, ' ');
  std::vector<long> sizes;
  const auto t0 = std::chrono::steady_clock::now();
  for (int k = 3; k < argc; ++k) {
    sizes.push_back(read_whole(argv[k], buffer));
    if (sizes.back() < 0) {
      std::fprintf(stderr, "io_floor: cannot read %s\n", argv[k]);
      return 1;
    }
  }
  const double read_s = seconds_since(t0);
  sizes.push_back(std::atol(argv[2]));
  const auto t1 = std::chrono::steady_clock::now();
  for (std::size_t k = 0; k < sizes.size(); ++k) {
    if (!write_sized(out + "/floor_" + std::to_string(k), sizes[k], buffer)) {
      std::fprintf(stderr, "io_floor: cannot write in %s\n", out.c_str());
      return 1;
    }
  }
  std::printf("read %.3f write %.3f\n", read_s, seconds_since(t1));
  return 0;
}
