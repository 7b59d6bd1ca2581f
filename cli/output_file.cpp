// The only place where the converted text meets the operating system's files. The identity of
// a file and the cutting of a regular file take the system's own calls: stat and ftruncate on
// POSIX systems; on Windows the file's volume serial number and file index (its inode number
// there is always 0) and _chsize_s, with 64-bit offsets.
#include "cli/output_file.h"

#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/signals.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace asciify::cli {

#ifdef _WIN32

namespace {

file_identity identity_of_handle(HANDLE handle) {
  file_identity identity;
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return identity;
  const DWORD type = GetFileType(handle);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    identity.exists = true;
    identity.stream = true;
    return identity;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (type != FILE_TYPE_DISK || GetFileInformationByHandle(handle, &information) == 0) {
    return identity;
  }
  identity.exists = true;
  identity.device = information.dwVolumeSerialNumber;
  identity.inode = uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
  identity.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  identity.regular = !identity.directory;
  identity.links = information.nNumberOfLinks;
  if (identity.regular) {
    identity.size =
        static_cast<int64_t>(uint64_t{information.nFileSizeHigh} << 32 | information.nFileSizeLow);
  }
  return identity;
}

// Removes the last `count` bytes before the descriptor's position and moves back to the new end.
bool cut_file(int descriptor, int64_t count) {
  const int64_t end = _lseeki64(descriptor, 0, SEEK_CUR);
  if (end < count) return false;
  const int64_t kept = end - count;
  return _chsize_s(descriptor, kept) == 0 && _lseeki64(descriptor, kept, SEEK_SET) >= 0;
}

}  // namespace

file_identity identity_of_descriptor(int descriptor) {
  return identity_of_handle(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)));
}

file_identity identity_of_path(const char* name) {
  // Only the attributes are read; links are followed, and a folder opens too.
  const HANDLE handle = CreateFileW(platform::wide_from_utf8(name).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return file_identity{};
  const file_identity identity = identity_of_handle(handle);
  CloseHandle(handle);
  return identity;
}

namespace {

bool replacing_is_refused(const std::string&) {
  return false;
}

}  // namespace

#else

namespace {

file_identity identity_of(const struct stat& status) {
  file_identity identity;
  identity.exists = true;
  identity.device = static_cast<uint64_t>(status.st_dev);
  identity.inode = static_cast<uint64_t>(status.st_ino);
  identity.regular = S_ISREG(status.st_mode);
  identity.directory = S_ISDIR(status.st_mode);
  if (identity.regular) identity.size = static_cast<int64_t>(status.st_size);
  identity.links = static_cast<uint64_t>(status.st_nlink);
  identity.stream = S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
  return identity;
}

// Removes the last `count` bytes before the descriptor's position and moves back to the new end.
bool cut_file(int descriptor, int64_t count) {
  const off_t end = lseek(descriptor, 0, SEEK_CUR);
  if (end < count) return false;
  const off_t kept = end - static_cast<off_t>(count);
  return ftruncate(descriptor, kept) == 0 && lseek(descriptor, kept, SEEK_SET) >= 0;
}

}  // namespace

file_identity identity_of_descriptor(int descriptor) {
  struct stat status;
  if (fstat(descriptor, &status) != 0) return file_identity{};
  return identity_of(status);
}

file_identity identity_of_path(const char* name) {
  struct stat status;
  if (stat(name, &status) != 0) return file_identity{};
  return identity_of(status);
}

namespace {

// Whether the file's folder keeps anyone but its owner from replacing it: a folder with the
// sticky bit (as /tmp) lets only the owner of the file or of the folder, or root, do so.
bool replacing_is_refused(const std::string& file) {
  const std::string parent = platform::utf8_from_path(platform::path_from_utf8(file).parent_path());
  struct stat folder, target;
  if (stat(parent.empty() ? "." : parent.c_str(), &folder) != 0 ||
      stat(file.c_str(), &target) != 0) {
    return false;
  }
  const uid_t me = geteuid();
  return (folder.st_mode & S_ISVTX) != 0 && me != 0 && target.st_uid != me && folder.st_uid != me;
}

}  // namespace

#endif

namespace {

size_t write_to_descriptor(void* context, const char* bytes, size_t count, int* error) {
  const int descriptor = static_cast<const destination*>(context)->descriptor;
  const long long written = platform::write_some(descriptor, bytes, count);
  if (written >= 0) return static_cast<size_t>(written);
  *error = errno;
  return 0;
}

int close_destination_of(void* context) {
  auto& target = *static_cast<destination*>(context);
  const int closed = close_destination(target);
  if (!target.move_at_close) return closed;
  const int moved = settle_destination(target, true);
  return closed != 0 ? closed : moved;
}

bool cut_descriptor(void* context, int64_t count) {
  const auto* target = static_cast<const destination*>(context);
  return target->regular && cut_file(target->descriptor, count);
}

destination described(int descriptor, bool owned) {
  destination target;
  target.descriptor = descriptor;
  target.owned = owned;
  target.regular = identity_of_descriptor(descriptor).regular;
  target.terminal = platform::is_terminal(descriptor);
  return target;
}

}  // namespace

bool same_stored_file(const file_identity& a, const file_identity& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode && !a.stream;
}

destination standard_output_destination() {
  return described(platform::kStandardOutput, false);
}

int open_destination(const char* name, destination* opened) {
  const int descriptor = platform::open_file(name, O_WRONLY | O_CREAT | O_TRUNC);
  if (descriptor < 0) return errno;
  *opened = described(descriptor, true);
  return 0;
}

namespace {

// Creates the file, which must not exist yet; -1 with errno set when it cannot.
int create_new_file(const std::string& name) {
  return platform::open_file(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
}

// The system's error number behind a failure of the file system library.
int error_number(const std::error_code& error) {
  const std::error_condition reason = error.default_error_condition();
  return reason.category() == std::generic_category() ? reason.value() : EIO;
}

void remove_file(const std::string& name) {
  std::error_code ignored;
  std::filesystem::remove(platform::path_from_utf8(name), ignored);
}

}  // namespace

namespace {

// The file a name stands for: a symbolic link's target (empty when it points nowhere), else the
// name itself.
std::string file_behind(const char* name) {
  const std::filesystem::path path = platform::path_from_utf8(name);
  std::error_code error;
  if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) return name;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  return error ? std::string() : platform::utf8_from_path(target);
}

// Gives the new file the old one's permissions and owner, as far as the system allows.
void take_over_mode(int descriptor, const std::string& old_name) {
#ifdef _WIN32
  (void)descriptor;
  (void)old_name;
#else
  struct stat status;
  if (stat(old_name.c_str(), &status) != 0) return;
  // Where the system does not let the file be given away, it keeps the runner's owner; the
  // owner first, since a change of owner may clear the set-user-ID bits.
  [[maybe_unused]] const int owner = fchown(descriptor, status.st_uid, status.st_gid);
  [[maybe_unused]] const int mode = fchmod(descriptor, status.st_mode & 07777);
#endif
}

// The name of a temporary file beside `file`: FILE + suffix + attempt, or, when that is longer
// than a name may be, suffix + attempt alone in the same folder.
std::string temporary_name_beside(const std::string& file, const char* suffix, int attempt,
                                  bool short_form) {
  const std::string tail = suffix + std::to_string(attempt);
  if (!short_form) return file + tail;
  const std::filesystem::path folder = platform::path_from_utf8(file).parent_path();
  return platform::utf8_from_path(folder / platform::path_from_utf8(tail));
}

// Whether the existing file may be written, as writing it in place would need: it is opened for
// writing and closed again, nothing changed. 0, or the system's error number.
int may_write(const std::string& file) {
  const int descriptor = platform::open_file(file.c_str(), O_WRONLY);
  if (descriptor < 0) return errno;
  platform::close_file(descriptor);
  return 0;
}

bool folder_refuses_new_files(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

}  // namespace

int open_destination_beside(const char* name, const char* suffix, destination* opened) {
  const std::string file = file_behind(name);
  const file_identity existing = identity_of_path(name);
  if (file.empty() || (existing.exists &&
                       (!existing.regular || existing.links > 1 || replacing_is_refused(file)))) {
    return open_destination(name, opened);
  }
  // A file its owner made read-only is not replaced behind its back.
  if (existing.exists) {
    if (const int refused = may_write(file); refused != 0) return refused;
  }
  // The handlers are in place before the file exists, so no signal can leave it behind.
  platform::catch_ending_signals();
  bool short_form = false;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string temporary = temporary_name_beside(file, suffix, attempt, short_form);
    const int slot = platform::hold_file_to_remove(temporary);
    const int descriptor = create_new_file(temporary);
    const int error = errno;
    platform::settle_file_to_remove(slot, descriptor >= 0);
    if (descriptor < 0 && error == ENAMETOOLONG && !short_form) {
      // The name of the file fits, and a short one beside it does too.
      short_form = true;
      --attempt;
      continue;
    }
    if (descriptor >= 0) {
      if (existing.exists) take_over_mode(descriptor, file);
      *opened = described(descriptor, true);
      opened->removal_slot = slot;
      opened->final_name = file;
      opened->temporary_name = temporary;
      return 0;
    }
    if (error == EEXIST) continue;
    platform::release_ending_signals();
    return folder_refuses_new_files(error) ? open_destination(name, opened) : error;
  }
  platform::release_ending_signals();
  return EEXIST;
}

namespace {

// Puts the file written beside its name in place (or removes it), then forgets it.
int move_into_place(const std::string& temporary, const std::string& final_name, bool keep,
                    int removal_slot) {
  int result = 0;
  if (keep) {
    // Replaces an existing file, on Windows too, where the system's rename does not.
    std::error_code error;
    std::filesystem::rename(platform::path_from_utf8(temporary),
                            platform::path_from_utf8(final_name), error);
    if (error) result = error_number(error);
  }
  if (!keep || result != 0) remove_file(temporary);
  platform::drop_file_to_remove(removal_slot);
  platform::release_ending_signals();
  return result;
}

}  // namespace

int settle_destination(destination& target, bool keep) {
  if (target.temporary_name.empty()) return 0;
  const std::string temporary = std::move(target.temporary_name);
  target.temporary_name.clear();
  const int slot = target.removal_slot;
  target.removal_slot = -1;
  return move_into_place(temporary, target.final_name, keep, slot);
}

int close_destination(destination& target) {
  if (!target.owned || target.descriptor < 0) return 0;
  const int result = platform::close_file(target.descriptor);
  target.descriptor = -1;
  return result == 0 || errno == EINTR ? 0 : errno;
}

byte_sink destination_sink(destination& target) {
  return byte_sink{write_to_descriptor, cut_descriptor, close_destination_of, &target};
}

}  // namespace asciify::cli
