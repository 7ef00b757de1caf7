// load_picture: reads a BMP file into an Image of 0xAARRGGBB pixels, and
// finds each row's runs without key colour for keyed drawing.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <span>

#include "mapdata/mapdata.h"
#include "mapdata/picture_blit.h"
#include "platform/platform.h"

namespace mapdata {
namespace {

// Largest image made, in bytes of pixels. A header asking for more is taken
// as a size that cannot be made: the handle holds no image.
constexpr std::uint64_t image_bytes_limit = std::uint64_t{256} << 20;
// Rows are read and converted in blocks of about this many bytes.
constexpr std::uint64_t read_block_bytes = std::uint64_t{256} << 10;
// The header, the masks and the largest palette all lie in the first bytes.
constexpr std::size_t head_bytes = 14 + 124 + 4 * 256;

constexpr std::uint32_t filled_pixel = 0xFF000000u | key_colour;

std::uint32_t u16_at(const std::uint8_t* p) { return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8; }
std::uint32_t u32_at(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::int32_t s32_at(const std::uint8_t* p) { return static_cast<std::int32_t>(u32_at(p)); }

// One colour channel of a 16- or 32-bit pixel: the bits under its mask,
// widened to 8 bits by repeating them from the top. A mask with gaps is
// read over its whole span, the gaps reading as 0; a mask of 0 gives 0.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;                          // to bring the kept top bits down to bit 0
  std::array<std::uint8_t, 256> widen{};  // kept bits -> 8-bit value

  Channel() = default;
  explicit Channel(std::uint32_t channel_mask) : mask(channel_mask) {
    if (mask == 0) return;
    const int low = std::countr_zero(mask);
    const int span = std::bit_width(mask >> low);
    const int kept = std::min(span, 8);
    shift = low + span - kept;
    for (std::uint32_t v = 0; v < (1u << kept); ++v) {
      std::uint32_t repeated = 0;
      int filled = 0;
      while (filled < 8) {
        repeated = repeated << kept | v;
        filled += kept;
      }
      widen[v] = static_cast<std::uint8_t>(repeated >> (filled - 8));
    }
  }
  std::uint32_t operator()(std::uint32_t pixel) const { return widen[(pixel & mask) >> shift]; }
};

enum class Conversion { palette1, palette4, palette8, masked16, rgb24, masked32, copy32, rgb32_no_alpha };

// What the header check found: everything the rows need.
struct Layout {
  std::int32_t width = 0;
  std::int32_t height = 0;      // as stored: negative for rows stored top row first
  std::uint64_t rows = 0;       // |height|
  std::uint64_t row_bytes = 0;  // a row's bytes in the file, padded to 4
  std::uint64_t pixel_offset = 0;
  Conversion conversion = Conversion::rgb24;
  std::array<std::uint32_t, 256> palette{};
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  std::array<Channel, 4> channels{};     // the same, ready to convert with
};

// The checks of a file's header; nullopt when the file is no usable BMP.
std::optional<Layout> check_header(std::span<const std::uint8_t> head, std::uint64_t file_size) {
  const auto has = [&](std::uint64_t end) { return end <= file_size && end <= head.size(); };
  if (!has(18) || head[0] != 'B' || head[1] != 'M') return std::nullopt;
  const std::uint32_t info_size = u32_at(&head[14]);
  if (info_size != 40 && info_size != 56 && info_size != 108 && info_size != 124) return std::nullopt;
  if (!has(14 + std::uint64_t{info_size})) return std::nullopt;

  Layout layout;
  layout.pixel_offset = u32_at(&head[10]);
  layout.width = s32_at(&head[18]);
  layout.height = s32_at(&head[22]);
  const std::uint32_t planes = u16_at(&head[26]);
  const std::uint32_t bits = u16_at(&head[28]);
  const std::uint32_t compression = u32_at(&head[30]);
  if (planes > 1 || layout.width < 1 || layout.height == 0) return std::nullopt;
  // Run-length rows (1 and 2) are not decoded; 0 and 3 allow either row order.
  if (compression != 0 && compression != 3) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;

  const bool bit_fields = compression == 3;
  if (bit_fields) {
    // After a 40-byte header three masks follow it; longer headers hold four.
    const std::uint64_t mask_count = info_size == 40 ? 3 : 4;
    if (!has(54 + 4 * mask_count)) return std::nullopt;
    for (std::uint64_t i = 0; i < mask_count; ++i) layout.masks[i] = u32_at(&head[54 + 4 * i]);
  } else if (bits == 16) {
    layout.masks = {0x7C00, 0x03E0, 0x001F, 0};
  } else {
    layout.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  }

  if (bits <= 8) {
    const std::uint64_t palette_offset = 14 + std::uint64_t{info_size};
    const std::uint64_t entries = std::uint64_t{1} << bits;
    if (!has(palette_offset + 4 * entries)) return std::nullopt;
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::uint8_t* entry = &head[palette_offset + 4 * i];
      layout.palette[i] = 0xFF000000u | std::uint32_t{entry[2]} << 16 | std::uint32_t{entry[1]} << 8 | entry[0];
    }
  }

  switch (bits) {
    case 1:
      layout.conversion = Conversion::palette1;
      break;
    case 4:
      layout.conversion = Conversion::palette4;
      break;
    case 8:
      layout.conversion = Conversion::palette8;
      break;
    case 16:
      layout.conversion = Conversion::masked16;
      break;
    case 24:
      layout.conversion = Conversion::rgb24;
      break;
    default:
      if (layout.masks[0] == 0x00FF0000 && layout.masks[1] == 0x0000FF00 && layout.masks[2] == 0x000000FF) {
        if (layout.masks[3] == 0xFF000000)
          layout.conversion = Conversion::copy32;
        else if (layout.masks[3] == 0)
          layout.conversion = Conversion::rgb32_no_alpha;
        else
          layout.conversion = Conversion::masked32;
      } else {
        layout.conversion = Conversion::masked32;
      }
  }

  for (std::size_t i = 0; i < 4; ++i) layout.channels[i] = Channel(layout.masks[i]);

  // Every row must be in the file: 64-bit sizes, compared by division so
  // that no product can overflow.
  layout.rows = layout.height < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(std::int64_t{layout.height})
                                  : static_cast<std::uint64_t>(layout.height);
  layout.row_bytes = (static_cast<std::uint64_t>(layout.width) * bits + 31) / 32 * 4;
  if (layout.pixel_offset > file_size) return std::nullopt;
  if (layout.rows > (file_size - layout.pixel_offset) / layout.row_bytes) return std::nullopt;
  return layout;
}

// Converts one row of the file into `out.size()` pixels.
void convert_row(const Layout& layout, const std::uint8_t* in, std::span<std::uint32_t> out) {
  std::uint32_t* o = out.data();
  const std::size_t n = out.size();
  const auto& palette = layout.palette;
  switch (layout.conversion) {
    case Conversion::palette1:
      for (std::size_t x = 0; x < n; ++x) o[x] = palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case Conversion::palette4:
      for (std::size_t x = 0; x < n; ++x) o[x] = palette[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
      break;
    case Conversion::palette8:
      for (std::size_t x = 0; x < n; ++x) o[x] = palette[in[x]];
      break;
    case Conversion::rgb24:
      for (std::size_t x = 0; x < n; ++x, in += 3) {
        o[x] = 0xFF000000u | std::uint32_t{in[2]} << 16 | std::uint32_t{in[1]} << 8 | in[0];
      }
      break;
    case Conversion::copy32:
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(o, in, n * 4);
      } else {
        for (std::size_t x = 0; x < n; ++x) o[x] = u32_at(in + 4 * x);
      }
      break;
    case Conversion::rgb32_no_alpha:
      for (std::size_t x = 0; x < n; ++x) o[x] = u32_at(in + 4 * x) & blit::colour_bits;
      break;
    case Conversion::masked16:
    case Conversion::masked32: {
      const Channel& red = layout.channels[0];
      const Channel& green = layout.channels[1];
      const Channel& blue = layout.channels[2];
      if (layout.conversion == Conversion::masked16) {
        for (std::size_t x = 0; x < n; ++x) {
          const std::uint32_t p = u16_at(in + 2 * x);
          o[x] = 0xFF000000u | red(p) << 16 | green(p) << 8 | blue(p);
        }
      } else {
        const Channel& alpha = layout.channels[3];
        for (std::size_t x = 0; x < n; ++x) {
          const std::uint32_t p = u32_at(in + 4 * x);
          o[x] = alpha(p) << 24 | red(p) << 16 | green(p) << 8 | blue(p);
        }
      }
      break;
    }
  }
}

// Collects the runs without key colour, row by row in the file's order, and
// gives up (leaving the image to be drawn pixel by pixel) when they grow so
// many that skipping them would not pay.
class RunFinder {
 public:
  explicit RunFinder(const Image& image)
      : limit_(image.pixels.size() / 8), height_(static_cast<std::size_t>(image.height)) {
    try {
      row_end_.reserve(height_);
    } catch (const std::bad_alloc&) {
      working_ = false;
    }
  }

  void add_row(std::span<const std::uint32_t> row) {
    if (!working_) return;
    const std::size_t n = row.size();
    std::size_t x = 0;
    try {
      while (x < n) {
        x = find_(row.data(), x, n, false);
        if (x == n) break;
        const std::size_t begin = x;
        x = find_(row.data(), x, n, true);
        if (runs_.size() >= limit_) {
          give_up();
          return;
        }
        runs_.push_back({static_cast<std::int32_t>(begin), static_cast<std::int32_t>(x)});
      }
      row_end_.push_back(runs_.size());
    } catch (const std::bad_alloc&) {
      give_up();
    }
  }

  // Hands the runs to the image, top row first, with their packed pixels.
  void finish(Image& image) {
    if (!working_ || row_end_.size() != height_) return;
    // A picture with little key colour is drawn as fast by the pixel rule,
    // and its packed copy would cost a load nearly a second picture's time.
    const std::size_t drawn = std::accumulate(
        runs_.begin(), runs_.end(), std::size_t{0},
        [](std::size_t sum, PixelRun run) { return sum + static_cast<std::size_t>(run.end - run.begin); });
    if (drawn > image.pixels.size() / 8 * 7) return;
    try {
      std::vector<std::uint32_t> run_start;
      std::vector<PixelRun> runs;
      run_start.reserve(height_ + 1);
      runs.reserve(runs_.size());
      run_start.push_back(0);
      for (std::size_t file_row = height_; file_row-- > 0;) {
        const std::size_t begin = file_row == 0 ? 0 : row_end_[file_row - 1];
        runs.insert(runs.end(), runs_.begin() + static_cast<std::ptrdiff_t>(begin),
                    runs_.begin() + static_cast<std::ptrdiff_t>(row_end_[file_row]));
        run_start.push_back(static_cast<std::uint32_t>(runs.size()));
      }
      PackedRuns packed(image.width, image.height, image.pixels, run_start, runs);
      if (packed.empty()) return;
      image.run_start = std::move(run_start);
      image.runs = std::move(runs);
      image.packed = std::move(packed);
    } catch (const std::bad_alloc&) {
      image.run_start.clear();
      image.runs.clear();
      image.packed = {};
    }
  }

 private:
  void give_up() {
    working_ = false;
    runs_ = {};
    row_end_ = {};
  }

  blit::FindInRow find_ = blit::best_kernels().find;
  std::size_t limit_;
  std::size_t height_;
  bool working_ = true;
  std::vector<PixelRun> runs_;
  std::vector<std::size_t> row_end_;
};

[[noreturn]] void not_a_usable_bmp(platform::SourceLine where) {
  platform::raise_error(platform::ERROR_FILE_IO, where);
}

}  // namespace

PackedRuns::PackedRuns(std::int32_t width, std::int32_t height, std::span<const std::uint32_t> pixels,
                       std::span<const std::uint32_t> run_start, std::span<const PixelRun> runs) {
  if (width < 1 || height < 1) return;
  const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  if (pixels.size() / w < h || run_start.size() != h + 1 || run_start[0] != 0 || run_start[h] != runs.size()) return;
  std::size_t count = 0;
  for (std::size_t row = 0; row < h; ++row) {
    if (run_start[row] > run_start[row + 1]) return;
    std::int64_t left_edge = 0;
    for (std::size_t i = run_start[row]; i < run_start[row + 1]; ++i) {
      if (runs[i].begin < left_edge || runs[i].end <= runs[i].begin || runs[i].end > width) return;
      left_edge = runs[i].end;
      count += static_cast<std::size_t>(runs[i].end - runs[i].begin);
    }
  }
  if (count > std::numeric_limits<std::uint32_t>::max()) return;

  std::vector<std::uint32_t> pixel_start;
  std::vector<std::uint32_t> packed(count);
  pixel_start.reserve(h + 1);
  const blit::ClearAlphaRow clear_alpha = blit::best_kernels().clear_alpha;
  std::size_t filled = 0;
  for (std::size_t row = 0; row < h; ++row) {
    pixel_start.push_back(static_cast<std::uint32_t>(filled));
    for (std::size_t i = run_start[row]; i < run_start[row + 1]; ++i) {
      const auto length = static_cast<std::size_t>(runs[i].end - runs[i].begin);
      clear_alpha(packed.data() + filled, pixels.data() + row * w + static_cast<std::size_t>(runs[i].begin), length);
      filled += length;
    }
  }
  pixel_start.push_back(static_cast<std::uint32_t>(filled));
  run_start_.assign(run_start.begin(), run_start.end());
  runs_.assign(runs.begin(), runs.end());
  pixel_start_ = std::move(pixel_start);
  pixels_ = std::move(packed);
  width_ = width;
  height_ = height;
}

Picture load_picture(std::string_view path, platform::SourceLine where) {
  std::optional<platform::InputFile> file = platform::InputFile::open(path);
  if (!file) platform::raise_error(platform::ERROR_FILE_NOT_FOUND, where);
  const std::uint64_t file_size = file->size();

  std::array<std::uint8_t, head_bytes> head{};
  const std::size_t head_read = file->read_at(0, std::as_writable_bytes(std::span(head)));

  // The size probe: width and height at 18 and 22, missing bytes counting
  // as 0. The image of that size is made only once the header has passed its
  // checks, which needs no memory for a file that fails them.
  const std::int32_t width = s32_at(&head[18]);
  const std::int32_t height = s32_at(&head[22]);

  const std::optional<Layout> checked = check_header(std::span(head).first(head_read), file_size);
  if (!checked) not_a_usable_bmp(where);
  const Layout& layout = *checked;

  // A size below 1 (also a file stored top row first) or beyond what memory
  // should hold gives a handle with no image; its rows are checked all the same.
  if (width < 1 || height < 1) return nullptr;
  const std::uint64_t pixel_count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (pixel_count > image_bytes_limit / 4) return nullptr;

  const std::uint64_t block_rows = std::max<std::uint64_t>(1, read_block_bytes / layout.row_bytes);
  Picture picture;
  std::unique_ptr<std::uint8_t[]> block;
  try {
    block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(block_rows * layout.row_bytes));
    picture = std::make_unique<Image>();
    picture->width = width;
    picture->height = height;
    picture->pixels.assign(static_cast<std::size_t>(pixel_count), filled_pixel);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }

  Image& image = *picture;
  RunFinder run_finder(image);
  const auto row_width = static_cast<std::size_t>(width);
  for (std::uint64_t first = 0; first < layout.rows; first += block_rows) {
    const std::uint64_t count = std::min(block_rows, layout.rows - first);
    const std::size_t bytes = static_cast<std::size_t>(count * layout.row_bytes);
    const std::size_t got = file->read_at(layout.pixel_offset + first * layout.row_bytes,
                                          std::as_writable_bytes(std::span(block.get(), bytes)));
    if (got != bytes) not_a_usable_bmp(where);  // the file shrank since its size was taken
    for (std::uint64_t i = 0; i < count; ++i) {
      // Bottom row first in the file.
      const std::size_t image_row = static_cast<std::size_t>(layout.rows - 1 - (first + i));
      const std::span<std::uint32_t> out(image.pixels.data() + image_row * row_width, row_width);
      convert_row(layout, block.get() + i * layout.row_bytes, out);
      run_finder.add_row(out);
    }
  }
  run_finder.finish(image);
  return picture;
}

}  // namespace mapdata
