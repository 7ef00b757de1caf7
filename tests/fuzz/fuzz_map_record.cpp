// Fuzzes the map definition file reader: any bytes read into both layouts,
// and every record read is written and read back to the same values.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mapdata/mapdata.h"

namespace {

// The name as the file keeps it: a double quote cannot be stored.
std::string without_quotes(const std::string& name) {
  std::string kept;
  for (const char c : name) {
    if (c != '"') kept.push_back(c);
  }
  return kept;
}

void check_round_trip(const mapdata::MapRecord& read, mapdata::RecordLayout layout) {
  mapdata::MapRecord again;
  mapdata::parse_map_record(mapdata::format_map_record(read, layout), layout, again);
  const bool same_integers = again.background_colour == read.background_colour && again.highscore == read.highscore &&
                             again.obstacle_image_count == read.obstacle_image_count &&
                             again.height_range == read.height_range && again.obstacle_count == read.obstacle_count;
  // Sixteen significant digits keep a double to within a few units of its last place.
  const bool same_offset = std::isfinite(again.ground_offset) &&
                           std::fabs(again.ground_offset - read.ground_offset) <= std::fabs(read.ground_offset) * 1e-15;
  if (!same_integers || !same_offset || again.highscore_name != without_quotes(read.highscore_name)) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto layout : {mapdata::RecordLayout::classic, mapdata::RecordLayout::free}) {
    mapdata::MapRecord record;
    mapdata::parse_map_record(bytes, layout, record);
    if (!std::isfinite(record.ground_offset) || record.highscore_name.size() > 4096) __builtin_trap();
    check_round_trip(record, layout);
  }
  return 0;
}
