// Writes the streaming benchmark's data: ROWS rows of x1..x10, y to FOLDER/regression_ROWS.csv.
//
//     make_regression_csv ROWS FOLDER
//
// y = 1 + sum_j b_j x_j + e with b_j = (-1)^(j+1) j / 10 (0.1, -0.2, ..., -1), x_j = j + z_j and
// e = 0.5 z_0, each z of mean 0 and variance 1. Every number is written as the shortest decimal
// that reads back to the same double (std::to_chars; at most 17 significant digits, usually 16 or
// 17), so the file holds exactly the doubles the model was made from.
//
// The same ROWS give the same file on any IEEE-754 machine when built without contracting a * b + c
// into one rounding (-ffp-contract=off, as run.sh builds it): the generator is xoshiro256** seeded
// by splitmix64, and a normal deviate is the Irwin-Hall sum of twelve uniforms less 6 (mean 0,
// variance 1, within +-6), made of additions that every machine rounds alike, where log or cos
// may differ in the last bit from one math library to another.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace {

constexpr int kColumns = 10;
constexpr double kNoiseScale = 0.5;
constexpr std::uint64_t kSeed = 20261210;

class Xoshiro256 {
 public:
  explicit Xoshiro256(std::uint64_t seed) {
    for (std::uint64_t& word : state) {
      seed += 0x9e3779b97f4a7c15ULL;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      word = z ^ (z >> 31);
    }
  }

  // Uniform on [0, 1) with 53 random bits, so every value is a double exactly.
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

  double StandardNormalApproximation() {
    double sum = 0.0;
    for (int k = 0; k < 12; ++k) sum += Uniform();
    return sum - 6.0;
  }

 private:
  static std::uint64_t Rotate(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  std::uint64_t Next() {
    const std::uint64_t result = Rotate(state[1] * 5, 7) * 9;
    const std::uint64_t t = state[1] << 17;
    state[2] ^= state[0];
    state[3] ^= state[1];
    state[1] ^= state[2];
    state[0] ^= state[3];
    state[2] ^= t;
    state[3] = Rotate(state[3], 45);
    return result;
  }

  std::uint64_t state[4];
};

double TrueSlope(int j) {
  return (j % 2 == 1 ? 1.0 : -1.0) * j / 10.0;
}

void AppendNumber(std::string& line, double value) {
  char text[32];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  line.append(text, written.ptr);
}

std::string Header() {
  std::string header;
  for (int j = 1; j <= kColumns; ++j) header += "x" + std::to_string(j) + ",";
  header += "y\n";
  return header;
}

// Rows go out in blocks of about a megabyte; the row itself is made in a fixed order of draws,
// so the file does not depend on the block size.
bool WriteRows(std::FILE* file, long long rows) {
  Xoshiro256 generator(kSeed);
  std::string block = Header();
  for (long long i = 0; i < rows; ++i) {
    double y = 1.0;
    for (int j = 1; j <= kColumns; ++j) {
      const double x = j + generator.StandardNormalApproximation();
      y += TrueSlope(j) * x;
      AppendNumber(block, x);
      block += ',';
    }
    y += kNoiseScale * generator.StandardNormalApproximation();
    AppendNumber(block, y);
    block += '\n';
    if (block.size() > (1u << 20) || i + 1 == rows) {
      if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) return false;
      block.clear();
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_regression_csv ROWS FOLDER\n");
    return 2;
  }
  const long long rows = std::atoll(argv[1]);
  if (rows < 1) {
    std::fprintf(stderr, "make_regression_csv: ROWS must be a positive count, not '%s'\n", argv[1]);
    return 2;
  }
  const std::string path = std::string(argv[2]) + "/regression_" + std::to_string(rows) + ".csv";
  const std::string partial = path + ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "wb");
  if (file == nullptr) {
    std::perror(partial.c_str());
    return 1;
  }
  // Written under another name and renamed at the end, so a killed run leaves no file that looks
  // complete.
  const bool written = WriteRows(file, rows);
  if (std::fclose(file) != 0 || !written || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::perror(path.c_str());
    std::remove(partial.c_str());
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}
