// Map data: the map definition file's reader and writer, and the BMP
// pictures with their two drawing modes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace mapdata {

// ---------------------------------------------------------------------------
// Pictures.

// Columns [begin, end) of one row of a picture: pixels that keyed drawing writes.
struct PixelRun {
  std::int32_t begin = 0;
  std::int32_t end = 0;
};

// Keyed drawing's form of a picture: each row's runs without key colour,
// and their pixels with alpha cleared one after another, top row first.
// Made only by its constructor, which checks what it is given, so that its
// tables always fit together: in each row the runs lie within the width, in
// order from the left, none empty, and every run's pixels are held.
class PackedRuns {
 public:
  PackedRuns() = default;
  // The packed form of a width x height picture's pixels with the given runs
  // (row r's are runs[run_start[r]] .. runs[run_start[r + 1] - 1]); empty
  // when the runs do not fit such a picture. May throw std::bad_alloc.
  PackedRuns(std::int32_t width, std::int32_t height, std::span<const std::uint32_t> pixels,
             std::span<const std::uint32_t> run_start, std::span<const PixelRun> runs);

  bool empty() const { return run_start_.empty(); }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }  // 0 when empty
  // Row r's runs are runs()[run_start()[r]] .. runs()[run_start()[r + 1] - 1],
  // and their pixels follow one another from pixels()[pixel_start()[r]].
  const std::uint32_t* run_start() const { return run_start_.data(); }
  const PixelRun* runs() const { return runs_.data(); }
  const std::uint32_t* pixel_start() const { return pixel_start_.data(); }
  const std::uint32_t* pixels() const { return pixels_.data(); }

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::uint32_t> run_start_;  // height + 1 entries
  std::vector<PixelRun> runs_;
  std::vector<std::uint32_t> pixel_start_;  // height + 1 entries
  std::vector<std::uint32_t> pixels_;
};

// A picture in memory: width x height pixels 0xAARRGGBB, top row first.
struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;
  // Found once by load_picture so that keyed drawing skips key-coloured
  // stretches unseen: row r's runs without key colour are
  // runs[run_start[r]] .. runs[run_start[r + 1] - 1]. Left empty when the
  // runs are too short or the key colour too scarce to pay, or for an image
  // made by other means; such an image is drawn pixel by pixel. Loaded
  // pixels never change afterwards.
  std::vector<std::uint32_t> run_start;
  std::vector<PixelRun> runs;
  // The runs' pixels with alpha cleared, packed, which keyed drawing copies
  // in blocks; made with the runs and left empty with them.
  PackedRuns packed;
};

// A handle that may hold no image (a picture that could not be made).
using Picture = std::unique_ptr<Image>;

// Pixels whose low 24 bits are this colour are left out by `keyed` drawing.
inline constexpr std::uint32_t key_colour = 0xFF00FF;

enum class DrawMode {
  opaque,  // every pixel written unchanged
  keyed,   // key-coloured pixels skipped, every other written with alpha 0
};

// Size probe, an image of that size filled with 0xFFFF00FF, then the load.
// Error 2 for a file that cannot be opened, error 3 for one that is not a
// usable BMP; a size that cannot be made gives a handle without an image.
Picture load_picture(std::string_view path, platform::SourceLine where = platform::SourceLine::current());

// Draws the whole picture with its top left corner at (x, y), clipped to the
// screen. Error 1 when the handle holds no image. Allocates nothing.
void draw_picture(double x, double y, const Picture& picture, DrawMode mode,
                  platform::SourceLine where = platform::SourceLine::current());

// ---------------------------------------------------------------------------
// The map definition file.

// The values of a map's definition file.
struct MapRecord {
  std::int32_t background_colour = 0;     // 0xRRGGBB behind the pictures during a run
  std::int32_t highscore = 0;             // best score on the map
  std::string highscore_name;             // its holder, code page 437
  double ground_offset = 0.0;             // pixels added to the runner's and obstacles' y
  std::int32_t obstacle_image_count = 0;  // hindernis_1.bmp .. hindernis_N.bmp
  std::int32_t height_range = 0;          // free layout only: the vertical range in pixels
  std::int32_t obstacle_count = 0;        // obstacles in a run's row
};

enum class RecordLayout {
  classic,  // six values: no height_range
  free,     // seven values
};

// Parses a file's bytes into the fields of `layout`; the others keep their values in `record`.
void parse_map_record(std::string_view bytes, RecordLayout layout, MapRecord& record);
// The one line written for `layout`, ended by CR LF.
std::string format_map_record(const MapRecord& record, RecordLayout layout);

// Reads the game's map_file into its MapRecord; error 2 when it cannot be opened.
void read_map_record(RecordLayout layout, platform::SourceLine where = platform::SourceLine::current());
// Writes the game's MapRecord to map_file in the layout of mode_name, safely
// (the old file stays whole on any failure): error 2 when it cannot be
// created, error 3 when writing it fails, error 1 for a mode without a layout.
void write_map_record(platform::SourceLine where = platform::SourceLine::current());

}  // namespace mapdata
