// The picture filters and the smooth resize on a 4000 x 3000 picture, timed
// as the commands run them (the picture copied, then changed). Prints one
// line per operation: name and the best of three times in seconds of the
// process's CPU time (steadier than wall time on a shared machine). The same
// operations in Python with Pillow are in images.py; run_images.py runs both.
#include <malloc.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "library/drawing/bitmap_ops.h"
#include "library/drawing/filters.h"

using namespace sorane;

// A picture with gradients and some noise, the same for every run.
static Bitmap TestPicture() {
  Bitmap b(4000, 3000);
  uint32_t seed = 12345;
  for (int y = 0; y < b.height; ++y) {
    uint8_t* p = b.Row(y);
    for (int x = 0; x < b.width; ++x, p += 3) {
      seed = seed * 1103515245 + 12345;
      p[0] = uint8_t(x * 255 / b.width);
      p[1] = uint8_t(y * 255 / b.height);
      p[2] = uint8_t((seed >> 16) & 0xFF);
    }
  }
  return b;
}

int main(int argc, char** argv) {
  // Freed pictures stay in the heap for the next one, as Pillow keeps its
  // image blocks: neither side then measures the kernel mapping fresh pages
  // (about 15 microseconds a page on the project's virtual machine).
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  const std::string only = argc > 1 ? argv[1] : "";
  const Bitmap source = TestPicture();
  const std::vector<std::pair<const char*, std::function<void(Bitmap&)>>> ops = {
      {"flip_vertical", FlipVertical},
      {"flip_horizontal", FlipHorizontal},
      {"rotate_right", RotateRight},
      {"negative", Negative},
      {"grayscale", Grayscale},
      {"solarize", Solarize},
      {"brightness", [](Bitmap& b) { Brighten(b, 40); }},
      {"gamma", [](Bitmap& b) { GammaCorrect(b, 1.5); }},
      {"rotate", [](Bitmap& b) { RotateBy(b, 60); }},
      {"edges", DetectEdges},
      {"blur", [](Bitmap& b) { Blur(b, 20); }},
      {"sharpen", [](Bitmap& b) { Sharpen(b, 128); }},
      {"sepia", [](Bitmap& b) { Sepia(b, 0x3366CC); }},
      {"enlarge", [](Bitmap& b) { b = SmoothResize(b, 6000, 4500); }},
      {"shrink", [](Bitmap& b) { b = SmoothResize(b, 1000, 750); }},
  };
  for (const auto& [name, op] : ops) {
    if (!only.empty() && only != name) continue;
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
      timespec start, end;
      clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
      Bitmap b = source;
      op(b);
      clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
      best =
          std::min(best, double(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9);
    }
    printf("%s %.4f\n", name, best);
    fflush(stdout);
  }
}
