// The map definition file "map.def": one record of six values (classic
// maps) or seven (free maps), read item by item and written back as one line.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "main/game_state.h"
#include "mapdata/mapdata.h"
#include "platform/platform.h"

namespace mapdata {
namespace {

constexpr std::size_t NUMBER_ITEM_LIMIT = 67;    // characters a number item holds at most
constexpr std::size_t TEXT_ITEM_LIMIT = 4096;    // characters a text item holds at most
constexpr std::size_t FILE_CHUNK_BYTES = 16384;  // how much of a file is held at a time
constexpr int END_OF_DATA = -1;

// The bytes being read, one at a time: a text in memory, or a file taken in
// chunks so that a huge file never has to fit in memory.
class ByteSource {
 public:
  explicit ByteSource(std::string_view bytes) : window_(bytes) {}
  explicit ByteSource(platform::InputFile& file) : file_(&file), buffer_(FILE_CHUNK_BYTES) {}

  // The next byte (0..255), or END_OF_DATA.
  int peek() {
    if (position_ == window_.size() && !refill()) return END_OF_DATA;
    return static_cast<unsigned char>(window_[position_]);
  }
  // Steps over the byte that peek() returned.
  void advance() { ++position_; }

 private:
  bool refill() {
    if (file_ == nullptr) return false;
    const std::size_t count = file_->read(std::as_writable_bytes(std::span(buffer_)));
    window_ = std::string_view(buffer_.data(), std::min(count, buffer_.size()));
    position_ = 0;
    return !window_.empty();
  }

  std::string_view window_;
  std::size_t position_ = 0;
  platform::InputFile* file_ = nullptr;
  std::vector<char> buffer_;
};

bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool is_line_end(int c) { return c == '\n' || c == '\r'; }

void skip_blanks(ByteSource& in) {
  while (is_blank(in.peek())) in.advance();
}

// Takes the comma or line end under the cursor; a CR takes an LF behind it along.
void take_delimiter(ByteSource& in) {
  const int c = in.peek();
  in.advance();
  if (c == '\r' && in.peek() == '\n') in.advance();
}

// After an item that stopped at a blank, a closing quote or its length limit:
// blanks are skipped and a comma or line end there is its delimiter; anything
// else is left to begin the next item.
void finish_open_item(ByteSource& in) {
  skip_blanks(in);
  const int c = in.peek();
  if (c == ',' || is_line_end(c)) take_delimiter(in);
}

// A number item. A double quote as its first character opens a stretch in
// which blanks and commas are collected too; the quotes are not collected.
// The limit bites only when one more character would be collected, so an
// item of exactly the limit still ends at the delimiter behind it.
std::string read_number_item(ByteSource& in) {
  std::string item;
  skip_blanks(in);
  bool quoted = in.peek() == '"';
  if (quoted) in.advance();
  for (;;) {
    const int c = in.peek();
    if (c == END_OF_DATA) return item;
    if (quoted && c == '"') {
      in.advance();
      quoted = false;
      continue;
    }
    if (is_line_end(c) || (!quoted && c == ',')) {
      take_delimiter(in);
      return item;
    }
    if ((!quoted && is_blank(c)) || item.size() == NUMBER_ITEM_LIMIT) {
      finish_open_item(in);
      return item;
    }
    item.push_back(static_cast<char>(c));
    in.advance();
  }
}

// The name: quoted (up to the next double quote, commas and blanks included)
// or plain (up to a comma; inner and trailing blanks belong to it). A line
// end always ends it. As with numbers, a closing quote or delimiter right
// at the limit still ends the item normally, so a name of exactly the limit
// reads back whole with the items behind it.
std::string read_text_item(ByteSource& in) {
  std::string item;
  skip_blanks(in);
  const bool quoted = in.peek() == '"';
  if (quoted) in.advance();
  for (;;) {
    const int c = in.peek();
    if (c == END_OF_DATA) return item;
    if (quoted && c == '"') {
      in.advance();
      finish_open_item(in);
      return item;
    }
    if (is_line_end(c) || (!quoted && c == ',')) {
      take_delimiter(in);
      return item;
    }
    if (item.size() == TEXT_ITEM_LIMIT) {
      finish_open_item(in);
      return item;
    }
    item.push_back(static_cast<char>(c));
    in.advance();
  }
}

// ---------------------------------------------------------------------------
// Conversion of number items.

constexpr std::int64_t ACCUMULATOR_CAP = std::int64_t{1} << 40;  // far beyond 32 bits, far below overflow
constexpr std::int64_t EXPONENT_CAP = 100000;                    // far beyond any double

std::int32_t saturate_to_int32(std::int64_t v) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_item_blanks(std::string_view item, std::size_t i) {
  while (i < item.size() && (item[i] == ' ' || item[i] == '\t')) ++i;
  return i;
}

// Digits of `base` from `i` on, stopping at the first that is none; saturating.
std::int64_t accumulate_digits(std::string_view item, std::size_t i, int base) {
  std::int64_t value = 0;
  for (; i < item.size() && digit_value(item[i]) < base; ++i) {
    value = std::min(value * base + digit_value(item[i]), ACCUMULATOR_CAP);
  }
  return value;
}

// Whether a decimal point or exponent letter comes before any "&".
bool holds_real(std::string_view item) {
  for (const char c : item) {
    if (c == '&') return false;
    if (c == '.' || c == 'e' || c == 'E' || c == 'd' || c == 'D') return true;
  }
  return false;
}

bool starts_with_ampersand(std::string_view item) {
  const std::size_t i = skip_item_blanks(item, 0);
  return i < item.size() && item[i] == '&';
}

// An integer: &H, &O, &B (either case) or a bare & (octal from the next
// character) introduce their base; otherwise an optional sign and decimal
// digits. Stops at the first character that is no digit; out-of-range saturates.
std::int32_t integer_value(std::string_view item) {
  std::size_t i = skip_item_blanks(item, 0);
  if (i < item.size() && item[i] == '&') {
    ++i;
    int base = 8;
    if (i < item.size()) {
      switch (item[i]) {
        case 'H':
        case 'h':
          base = 16;
          ++i;
          break;
        case 'O':
        case 'o':
          base = 8;
          ++i;
          break;
        case 'B':
        case 'b':
          base = 2;
          ++i;
          break;
        default:
          break;
      }
    }
    return saturate_to_int32(accumulate_digits(item, i, base));
  }
  bool negative = false;
  if (i < item.size() && (item[i] == '+' || item[i] == '-')) {
    negative = item[i] == '-';
    ++i;
  }
  const std::int64_t magnitude = accumulate_digits(item, i, 10);
  return saturate_to_int32(negative ? -magnitude : magnitude);
}

// A decimal real: sign, digits, point, digits, exponent letter (e, E, d, D),
// exponent sign and digits, each optional, stopping where the form ends.
// Too large a value saturates to the largest double, too small gives zero.
double real_value(std::string_view item) {
  std::size_t i = skip_item_blanks(item, 0);
  bool negative = false;
  if (i < item.size() && (item[i] == '+' || item[i] == '-')) {
    negative = item[i] == '-';
    ++i;
  }
  std::string text;  // the magnitude in a form from_chars reads: digits[.digits][e[-]digits]
  std::int64_t integer_digits = 0;
  std::int64_t first_significant = -1;  // position of the first non-zero digit among all mantissa digits
  std::int64_t mantissa_digits = 0;
  for (; i < item.size() && is_decimal_digit(item[i]); ++i, ++integer_digits, ++mantissa_digits) {
    if (first_significant < 0 && item[i] != '0') first_significant = mantissa_digits;
    text.push_back(item[i]);
  }
  if (i < item.size() && item[i] == '.') {
    ++i;
    text.push_back('.');
    for (; i < item.size() && is_decimal_digit(item[i]); ++i, ++mantissa_digits) {
      if (first_significant < 0 && item[i] != '0') first_significant = mantissa_digits;
      text.push_back(item[i]);
    }
  }
  if (mantissa_digits == 0) return 0.0;
  if (first_significant < 0) return negative ? -0.0 : 0.0;
  std::int64_t exponent = 0;
  if (i < item.size() && (item[i] == 'e' || item[i] == 'E' || item[i] == 'd' || item[i] == 'D')) {
    std::size_t j = i + 1;
    bool exponent_negative = false;
    if (j < item.size() && (item[j] == '+' || item[j] == '-')) {
      exponent_negative = item[j] == '-';
      ++j;
    }
    if (j < item.size() && is_decimal_digit(item[j])) {
      exponent = std::min(accumulate_digits(item, j, 10), EXPONENT_CAP);
      if (exponent_negative) exponent = -exponent;
      text += 'e';
      text += platform::decimal(exponent);
    }
  }
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  const std::errc error = result.ec;
  if (error == std::errc::result_out_of_range) {
    // 0.d * 10^(magnitude): above 1 it overflowed, otherwise it underflowed.
    const std::int64_t magnitude = integer_digits - first_significant + exponent;
    value = magnitude > 0 ? std::numeric_limits<double>::max() : 0.0;
  } else if (error != std::errc{}) {
    value = 0.0;
  }
  return negative ? -value : value;
}

std::int32_t integer_field(std::string_view item) {
  if (holds_real(item)) return platform::round_half_even(real_value(item));
  return integer_value(item);
}

// The real field: "&" forms are integers; everything else, also a plain
// integer too large for 32 bits, is the decimal real it spells.
double real_field(std::string_view item) {
  if (starts_with_ampersand(item)) return integer_value(item);
  return real_value(item);
}

void read_items(ByteSource& in, RecordLayout layout, MapRecord& record) {
  record.background_colour = integer_field(read_number_item(in));
  record.highscore = integer_field(read_number_item(in));
  record.highscore_name = read_text_item(in);
  record.ground_offset = real_field(read_number_item(in));
  record.obstacle_image_count = integer_field(read_number_item(in));
  if (layout == RecordLayout::free) record.height_range = integer_field(read_number_item(in));
  record.obstacle_count = integer_field(read_number_item(in));
}

// ---------------------------------------------------------------------------
// Writing.

// The name as the file can hold it: a double quote or line end would end it
// early when read, and the reader takes at most TEXT_ITEM_LIMIT characters,
// so those are left out rather than spoil the values behind the name. Names
// typed at the game-over screen never hold them.
std::string storable_name(std::string_view name) {
  std::string stored;
  for (const char c : name) {
    if (stored.size() == TEXT_ITEM_LIMIT) break;
    if (c != '"' && c != '\r' && c != '\n') stored.push_back(c);
  }
  return stored;
}

// As "%.16g" writes it.
std::string real_text(double v) {
  std::array<char, 64> buffer{};
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), v, std::chars_format::general, 16);
  if (error != std::errc{}) return "0";
  return std::string(buffer.data(), end);
}

}  // namespace

void parse_map_record(std::string_view bytes, RecordLayout layout, MapRecord& record) {
  ByteSource in(bytes);
  read_items(in, layout, record);
}

std::string format_map_record(const MapRecord& record, RecordLayout layout) {
  std::string line;
  line += platform::decimal(record.background_colour);
  line += ',';
  line += platform::decimal(record.highscore);
  line += ",\"";
  line += storable_name(record.highscore_name);
  line += "\",";
  line += real_text(record.ground_offset);
  line += ',';
  line += platform::decimal(record.obstacle_image_count);
  line += ',';
  if (layout == RecordLayout::free) {
    line += platform::decimal(record.height_range);
    line += ',';
  }
  line += platform::decimal(record.obstacle_count);
  line += "\r\n";
  return line;
}

void read_map_record(RecordLayout layout, platform::SourceLine where) {
  std::optional<platform::InputFile> file = platform::InputFile::open(game.map_file);
  if (!file) platform::raise_error(platform::ERROR_FILE_NOT_FOUND, where);
  ByteSource in(*file);
  read_items(in, layout, game);
}

// The layout follows the mode: "clasic" six values, "Free" seven. Any other
// mode names no layout; rather than guess one and leave a map its run cannot
// read, the file is left untouched and the fault reported as error 1.
void write_map_record(platform::SourceLine where) {
  RecordLayout layout = RecordLayout::classic;
  if (game.mode_name == "clasic") {
    layout = RecordLayout::classic;
  } else if (game.mode_name == "Free") {
    layout = RecordLayout::free;
  } else {
    platform::raise_error(platform::ERROR_ILLEGAL_FUNCTION_CALL, where);
  }
  switch (platform::replace_file(game.map_file, format_map_record(game, layout))) {
    case platform::ReplaceResult::replaced:
      return;
    case platform::ReplaceResult::cannot_create:
      platform::raise_error(platform::ERROR_FILE_NOT_FOUND, where);
    case platform::ReplaceResult::write_failed:
      platform::raise_error(platform::ERROR_FILE_IO, where);
  }
}

}  // namespace mapdata
