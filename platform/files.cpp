// Files on POSIX: reading at offsets and in sequence, and replacing a file
// whole through a temporary file beside it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "platform/backend.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr std::size_t NO_LIMIT = std::numeric_limits<std::size_t>::max();

// Faults that tests ask for, each for the next replace_file only.
struct FileFaults {
  bool fail_at_create = false;
  std::size_t fail_after = NO_LIMIT;
};

FileFaults& faults() {
  static FileFaults instance;
  return instance;
}

// The game's path with either separator as a POSIX path.
std::string native_path(std::string_view path) {
  std::string result{path};
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

// Closes a descriptor once; the owner may close it earlier and check the result.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Writes every byte, through short writes and interruptions.
bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool sync_folder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  Descriptor folder_fd{fd};
  return ::fsync(fd) == 0 && folder_fd.close();
}

}  // namespace

std::optional<InputFile> InputFile::open(std::string_view path) {
  const std::string native = native_path(path);
  int fd = -1;
  do {
    fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return InputFile{fd, static_cast<std::uint64_t>(info.st_size)};
}

std::size_t InputFile::read_at(std::uint64_t offset, std::span<std::byte> out) const {
  std::size_t total = 0;
  while (total < out.size()) {
    if (offset + total > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) break;
    const ssize_t got =
        ::pread(descriptor_, out.data() + total, out.size() - total, static_cast<off_t>(offset + total));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

std::size_t InputFile::read(std::span<std::byte> out) {
  const std::size_t got = read_at(position_, out);
  position_ += got;
  return got;
}

InputFile::InputFile(InputFile&& other) noexcept
    : descriptor_(other.descriptor_), size_(other.size_), position_(other.position_) {
  other.descriptor_ = -1;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = other.descriptor_;
    size_ = other.size_;
    position_ = other.position_;
    other.descriptor_ = -1;
  }
  return *this;
}

InputFile::~InputFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

ReplaceResult replace_file(std::string_view path, std::string_view bytes) {
  const FileFaults fault = std::exchange(faults(), FileFaults{});
  const std::string target = native_path(path);
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));

  // A new name beside the file, made with O_EXCL so nothing else is touched.
  static std::atomic<unsigned> serial{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0 && !fault.fail_at_create; ++attempt) {
    temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (fd < 0) return ReplaceResult::cannot_create;

  Descriptor file{fd};
  struct stat old_info {};
  if (::stat(target.c_str(), &old_info) == 0) ::fchmod(fd, old_info.st_mode & 07777);  // keep its permissions

  bool ok = true;
  if (fault.fail_after < bytes.size()) {  // an injected fault: the disk fills up there
    write_all(fd, bytes.substr(0, fault.fail_after));
    ok = false;
  } else {
    ok = write_all(fd, bytes);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = file.close() && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return ReplaceResult::write_failed;
  }
  sync_folder(folder);  // the rename is done; a folder that cannot be flushed changes nothing
  return ReplaceResult::replaced;
}

namespace backend {

void fail_next_replace_at_create() { faults().fail_at_create = true; }

void fail_next_replace_after(std::size_t bytes) { faults().fail_after = bytes; }

void reset_files() { faults() = FileFaults{}; }

}  // namespace backend

}  // namespace platform
