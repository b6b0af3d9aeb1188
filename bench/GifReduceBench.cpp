// Colour reduction at 1920 x 1080: the PSNR and the time per frame of every
// method with every ditherer on three generated pictures (desktop-like,
// photo-like gradient, noise), side by side with ImageMagick's
// "-colors 256 -dither FloydSteinberg" and ffmpeg's palettegen/paletteuse,
// run as programs on the same pictures. Prints figures; asserts nothing.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "ColorReduction.h"

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;

using TClock = std::chrono::steady_clock;

struct TPicture {
  const char* Name;
  std::vector<uint8_t> RGB; // Width x Height x 3, top to bottom
};

uint8_t Channel(double AValue) {
  return static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, AValue))));
}

// Flat colours, windows with gradient title bars, lines of dark "text" and
// small icons: few colours, sharp edges.
TPicture Desktop() {
  TPicture picture{"desktop", std::vector<uint8_t>(size_t{Width} * Height * 3)};
  auto put = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p =
        &picture.RGB[(size_t{static_cast<size_t>(y)} * Width + static_cast<size_t>(x)) * 3];
    p[0] = r, p[1] = g, p[2] = b;
  };
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x)
      put(x, y, 58, 110, 165);
  std::mt19937 random(1);
  struct TWindow {
    int Left, Top, Width, Height;
  } const windows[] = {{80, 60, 900, 640}, {700, 200, 1000, 700}, {300, 500, 700, 480}};
  for (const TWindow& w : windows) {
    for (int y = w.Top; y < w.Top + w.Height && y < Height; ++y)
      for (int x = w.Left; x < w.Left + w.Width && x < Width; ++x) {
        const int dy = y - w.Top, dx = x - w.Left;
        if (dy < 30) {
          const double t = double(dx) / w.Width;
          put(x, y, Channel(10 + 150 * t), Channel(36 + 130 * t), Channel(106 + 130 * t));
        } else if (dx < 2 || dx >= w.Width - 2 || dy >= w.Height - 2) {
          put(x, y, 128, 128, 128);
        } else {
          put(x, y, 240, 240, 240);
        }
      }
    // Lines of glyph-like strokes.
    for (int line = w.Top + 50; line + 12 < w.Top + w.Height - 10 && line + 12 < Height; line += 20)
      for (int x = w.Left + 12; x < w.Left + w.Width - 60 && x < Width; x += 7) {
        if (random() % 9 == 0) continue;
        const unsigned glyph = random();
        for (int gy = 0; gy < 11; ++gy)
          for (int gx = 0; gx < 5; ++gx)
            if ((glyph >> ((gy * 5 + gx) % 31)) & 1 && (gx == 0 || gy % 5 == 0 || gx == 4))
              put(x + gx, line + gy, 20, 20, 30);
      }
    // Icons: small squares of a few saturated colours.
    for (int i = 0; i < 6; ++i) {
      const uint8_t r = static_cast<uint8_t>(random()), g = static_cast<uint8_t>(random()),
                    b = static_cast<uint8_t>(random());
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
          const int px = w.Left + 20 + i * 48 + x, py = w.Top + w.Height - 50 + y;
          if (px < Width && py < Height && py < w.Top + w.Height - 2)
            put(px, py, static_cast<uint8_t>(r * (32 + y) / 64), g,
                static_cast<uint8_t>(b * x / 32));
        }
    }
  }
  return picture;
}

// Smooth colour fields with a little sensor noise: many colours, no edges.
TPicture Photo() {
  TPicture picture{"photo", std::vector<uint8_t>(size_t{Width} * Height * 3)};
  std::mt19937 random(2);
  std::normal_distribution<double> noise(0, 2.0);
  size_t i = 0;
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const double u = double(x) / Width, v = double(y) / Height;
      picture.RGB[i++] = Channel(120 + 100 * std::sin(3 * u + 2 * v) + 30 * v + noise(random));
      picture.RGB[i++] = Channel(110 + 90 * std::cos(4 * v - u) * u + 40 * u + noise(random));
      picture.RGB[i++] = Channel(90 + 80 * std::sin(5 * u * v + 1) + 60 * (1 - v) + noise(random));
    }
  return picture;
}

TPicture Noise() {
  TPicture picture{"noise", std::vector<uint8_t>(size_t{Width} * Height * 3)};
  std::mt19937 random(3);
  for (uint8_t& c : picture.RGB)
    c = static_cast<uint8_t>(random());
  return picture;
}

std::unique_ptr<TBitmap> ToBitmap(const TPicture& APicture) {
  auto bitmap = std::make_unique<TBitmap>(Width, Height, 32);
  for (int y = 0; y < Height; ++y) {
    const uint8_t* source = &APicture.RGB[size_t{static_cast<size_t>(y)} * Width * 3];
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < Width; ++x) {
      row[4 * x] = source[3 * x + 2];
      row[4 * x + 1] = source[3 * x + 1];
      row[4 * x + 2] = source[3 * x];
      row[4 * x + 3] = 0xFF;
    }
  }
  return bitmap;
}

std::vector<uint8_t> FromReduced(const TBitmap& AReduced) {
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t{Width} * Height * 3);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const uint32_t quad = AReduced.Palette()[AReduced.ScanLine(y)[x]];
      rgb.push_back(static_cast<uint8_t>(quad >> 16));
      rgb.push_back(static_cast<uint8_t>(quad >> 8));
      rgb.push_back(static_cast<uint8_t>(quad));
    }
  return rgb;
}

double PSNR(const std::vector<uint8_t>& A, const std::vector<uint8_t>& B) {
  if (A.size() != B.size()) return std::nan("");
  double sum = 0;
  for (size_t i = 0; i < A.size(); ++i) {
    const double d = double(A[i]) - double(B[i]);
    sum += d * d;
  }
  const double mse = sum / double(A.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

void WritePPM(const std::filesystem::path& APath, const std::vector<uint8_t>& ARGB) {
  std::ofstream file(APath, std::ios::binary);
  file << "P6\n" << Width << " " << Height << "\n255\n";
  file.write(reinterpret_cast<const char*>(ARGB.data()), static_cast<std::streamsize>(ARGB.size()));
}

// A binary PPM of our size, or nothing.
std::vector<uint8_t> ReadPPM(const std::filesystem::path& APath) {
  std::ifstream file(APath, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  file >> magic >> w >> h >> max;
  file.get();
  if (magic != "P6" || w != Width || h != Height || max != 255) return {};
  std::vector<uint8_t> rgb(size_t{Width} * Height * 3);
  file.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  return file ? rgb : std::vector<uint8_t>{};
}

// Runs a command line; its wall time in seconds, or a negative value when it
// failed.
double Run(const std::string& ACommand) {
  const auto start = TClock::now();
  const int status = std::system((ACommand + " >/dev/null 2>&1").c_str());
  const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  return status == 0 ? seconds : -1;
}

struct TPeer {
  const char* Name;
  std::function<std::string(const std::string& AIn, const std::string& AOut,
                            const std::string& ADir)>
      Command;
};

const char* ReductionName(int AReduction) {
  static const char* const names[] = {"None",         "Stock20",      "Halftone",    "FourGrays",
                                      "BlackWhite",   "Grays256",     "Netscape216", "Octree",
                                      "OctreeSystem", "CallerPalette"};
  return names[AReduction];
}

const char* ModeName(int AMode) {
  static const char* const names[] = {"Nearest", "FloydSteinberg", "Stucki", "Sierra",
                                      "JaJuNi",  "SteveArche",     "Burkes"};
  return names[AMode];
}

} // namespace

int main(int argc, char** argv) {
  // "--quick": only the octree with Floyd-Steinberg, for a fast look.
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("gif_reduce_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);

  const std::vector<TPeer> peers{
      {"ImageMagick -colors 256 -dither FloydSteinberg",
       [](const std::string& in, const std::string& out, const std::string&) {
         return "/usr/bin/convert " + in + " -dither FloydSteinberg -colors 256 " + out;
       }},
      {"ffmpeg palettegen + paletteuse (sierra2_4a)",
       [](const std::string& in, const std::string& out, const std::string& d) {
         return "ffmpeg -v error -y -i " + in + " -vf palettegen " + d + "/palette.png && " +
                "ffmpeg -v error -y -i " + in + " -i " + d + "/palette.png -lavfi paletteuse " +
                out;
       }},
      {"ffmpeg palettegen + paletteuse=dither=floyd_steinberg",
       [](const std::string& in, const std::string& out, const std::string& d) {
         return "ffmpeg -v error -y -i " + in + " -vf palettegen " + d + "/palette.png && " +
                "ffmpeg -v error -y -i " + in + " -i " + d +
                "/palette.png -lavfi paletteuse=dither=floyd_steinberg " + out;
       }},
  };
  // What the programs spend on starting and on the files alone.
  const std::vector<TPeer> baselines{
      {"ImageMagick copy (start-up and files)",
       [](const std::string& in, const std::string& out, const std::string&) {
         return "/usr/bin/convert " + in + " " + out;
       }},
      {"ffmpeg copy (start-up and files)",
       [](const std::string& in, const std::string& out, const std::string&) {
         return "ffmpeg -v error -y -i " + in + " " + out;
       }},
  };

  std::printf("Colour reduction of %d x %d frames; PSNR in dB over R, G, B against the "
              "source; time per frame in ms.\n",
              Width, Height);
  for (const TPicture& picture : {Desktop(), Photo(), Noise()}) {
    std::printf("\n== %s ==\n", picture.Name);
    std::printf("%-14s %-15s %8s %9s\n", "method", "ditherer", "PSNR", "ms/frame");
    double ourOctreeFS = 0;
    for (int reduction = crStock20; reduction <= crOctreeSystem; ++reduction)
      for (int mode = dtNearest; mode <= dtBurkes; ++mode) {
        if (quick && (reduction != crOctree || mode != dtFloydSteinberg)) continue;
        auto bitmap = ToBitmap(picture);
        const auto start = TClock::now();
        const auto reduced = ReduceColors(*bitmap, static_cast<TGIFColorReduction>(reduction),
                                          static_cast<TGIFDitherMode>(mode), {}, 8);
        const double ms = std::chrono::duration<double, std::milli>(TClock::now() - start).count();
        std::printf("%-14s %-15s %8.2f %9.1f\n", ReductionName(reduction), ModeName(mode),
                    PSNR(picture.RGB, FromReduced(*reduced)), ms);
        if (reduction == crOctree && mode == dtFloydSteinberg) ourOctreeFS = ms;
      }

    const std::string in = (dir / "in.ppm").string(), out = (dir / "out.ppm").string();
    WritePPM(in, picture.RGB);
    for (const TPeer& baseline : baselines) {
      const double seconds = Run(baseline.Command(in, out, dir.string()));
      if (seconds < 0)
        std::printf("%-55s  not available\n", baseline.Name);
      else
        std::printf("%-55s %9.1f ms\n", baseline.Name, seconds * 1000);
    }
    for (const TPeer& peer : peers) {
      std::filesystem::remove(out);
      const double seconds = Run(peer.Command(in, out, dir.string()));
      const std::vector<uint8_t> result = ReadPPM(out);
      if (seconds < 0 || result.empty()) {
        std::printf("%-55s  not available\n", peer.Name);
        continue;
      }
      std::printf("%-55s PSNR %6.2f %9.1f ms  (Octree + FloydSteinberg / peer: %.2f)\n", peer.Name,
                  PSNR(picture.RGB, result), seconds * 1000, ourOctreeFS / (seconds * 1000));
    }
  }
  std::filesystem::remove_all(dir);
  return 0;
}
