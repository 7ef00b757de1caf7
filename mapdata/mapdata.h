// Map data: the map definition file's reader and writer, and the BMP
// pictures with their two drawing modes.
#pragma once

#include <cstdint>
#include <memory>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

namespace mapdata {

// ---------------------------------------------------------------------------
// Pictures.

// A picture in memory: width x height pixels 0xAARRGGBB, top row first.
struct Image {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;
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
Picture load_picture(std::string_view path, std::source_location where = std::source_location::current());

// Draws the whole picture with its top left corner at (x, y), clipped to the
// screen. Error 1 when the handle holds no image. Allocates nothing.
void draw_picture(double x, double y, const Picture& picture, DrawMode mode,
                  std::source_location where = std::source_location::current());

// ---------------------------------------------------------------------------
// The map definition file.

// The values of a map's definition file.
struct MapRecord {
  std::int32_t background_colour = 0;    // 0xRRGGBB behind the pictures during a run
  std::int32_t highscore = 0;            // best score on the map
  std::string highscore_name;            // its holder, code page 437
  double ground_offset = 0.0;            // pixels added to the runner's and obstacles' y
  std::int32_t obstacle_image_count = 0; // hindernis_1.bmp .. hindernis_N.bmp
  std::int32_t height_range = 0;         // free layout only: the vertical range in pixels
  std::int32_t obstacle_count = 0;       // obstacles in a run's row
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
void read_map_record(RecordLayout layout, std::source_location where = std::source_location::current());
// Writes the game's MapRecord to map_file in the layout of mode_name, safely
// (the old file stays whole on any failure): error 2 when it cannot be
// created, error 3 when writing it fails.
void write_map_record(std::source_location where = std::source_location::current());

}  // namespace mapdata
