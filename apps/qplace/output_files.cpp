// Output files under temporary names, renamed into place at the end.
#include "qplace/output_files.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qplace {

namespace {

std::string reason(int err) { return std::strerror(err); }

// Writes all of [data, data + size) to fd, through short writes and
// interrupts; errno tells why when false.
bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

int openExclusive(const std::string& path) {
  int fd;
  do fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// Syncs then closes fd; false with errno set when either fails (the close
// is done either way).
bool syncAndClose(int fd) {
  int err = 0;
  if (::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
  errno = err;
  return err == 0;
}

// ---- the temporaries a signal handler removes
//
// A fixed table the handler can read without locks or allocation: a slot's
// path is written first, then the slot marked in use.
constexpr int kSlots = 32;
constexpr std::size_t kPathMax = 4096;
char g_paths[kSlots][kPathMax];
volatile std::sig_atomic_t g_used[kSlots];

int registerTemp(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  for (int s = 0; s < kSlots; ++s) {
    if (g_used[s] != 0) continue;
    std::memcpy(g_paths[s], path.c_str(), path.size() + 1);
    g_used[s] = 1;
    return s;
  }
  return -1;  // not removed on a signal; still removed on every other path
}

void unregisterTemp(int slot) {
  if (slot >= 0) g_used[slot] = 0;
}

extern "C" void removeTempsAndDie(int sig) {
  for (int s = 0; s < kSlots; ++s)
    if (g_used[s] != 0) ::unlink(g_paths[s]);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

}  // namespace

namespace {

// mkdir -p of dir, each folder it creates added to `made` when given.
bool makeFolder(const std::string& dir, std::string& error, std::vector<std::string>* made) {
  // Each prefix ending before a '/', then the whole path.
  for (std::size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
    const std::string part = dir.substr(0, end);
    const std::string which = part == dir ? "" : " " + part;
    struct stat st;
    if (::stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        error = dir + ": cannot create the folder" + which + ": " + reason(ENOTDIR);
        return false;
      }
    } else if (errno == ENOENT && ::mkdir(part.c_str(), 0777) == 0) {
      if (made != nullptr) made->push_back(part);
    } else if (errno != EEXIST) {  // stat's error other than ENOENT, or mkdir's
      error = dir + ": cannot create the folder" + which + ": " + reason(errno);
      return false;
    }
    if (end == std::string::npos) return true;
  }
}

// Makes, writes, syncs and removes a file in dir: 0, or the errno of the
// step that failed.
int probeFolder(const std::string& dir) {
  const std::string probe = dir + "/.qplace-probe." + std::to_string(::getpid());
  const int fd = openExclusive(probe);
  if (fd < 0) return errno;
  int err = 0;
  if (!writeAll(fd, "\n", 1)) {
    err = errno;
    ::close(fd);
  } else if (!syncAndClose(fd)) {
    err = errno;
  }
  if (::unlink(probe.c_str()) != 0 && err == 0) err = errno;
  return err;
}

}  // namespace

bool prepareFolder(const std::string& dir, std::string& error, std::vector<std::string>* made) {
  if (dir.empty()) {
    error = "an empty folder name";
    return false;
  }
  // Made, then proven; made again once when it is gone by the time of the
  // proof (another run that had made it failed and took it away empty).
  for (int attempt = 0;; ++attempt) {
    if (!makeFolder(dir, error, made)) return false;
    const int err = probeFolder(dir);
    if (err == 0) return true;
    if (err == ENOENT && attempt == 0) continue;
    error = dir + ": cannot write files in the folder: " + reason(err);
    return false;
  }
}

void removeEmptyFolders(const std::vector<std::string>& made) {
  for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
}

OutputFiles::OutputFiles(std::string dir) : dir_(std::move(dir)) {
  while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();  // "out/" names files "out/x"
}

OutputFiles::~OutputFiles() {
  if (!committed_) discard();
}

std::string OutputFiles::path(const std::string& name) const {
  return dir_ == "/" ? dir_ + name : dir_ + "/" + name;
}

OutputFiles::Entry* OutputFiles::find(const std::string& name) {
  for (Entry& e : entries_)
    if (e.name == name) return &e;
  return nullptr;
}

const OutputFiles::Entry* OutputFiles::find(const std::string& name) const {
  for (const Entry& e : entries_)
    if (e.name == name) return &e;
  return nullptr;
}

std::string OutputFiles::temporary(const std::string& name) const {
  const Entry* e = find(name);
  return e != nullptr ? e->temp : "";
}

void OutputFiles::remove(Entry& e) {
  if (!e.temp.empty()) ::unlink(e.temp.c_str());
  unregisterTemp(e.slot);
  e.slot = -1;
  e.temp.clear();
  e.ready = false;
}

OutputFiles::Entry* OutputFiles::create(const std::string& name, int& fd, std::string& error) {
  Entry* e = find(name);
  if (e == nullptr) {
    entries_.push_back(Entry{name, "", false, -1});
    e = &entries_.back();
  }
  remove(*e);
  // A temporary of a killed run with the same process id may linger: take
  // the next free name.
  const std::string stem = dir_ + "/." + name + "." + std::to_string(::getpid());
  bool remade = false;
  for (int k = 0; k < 100; ++k) {
    const std::string temp = stem + (k == 0 ? "" : "-" + std::to_string(k)) + ".tmp";
    fd = openExclusive(temp);
    if (fd < 0 && errno == ENOENT && !remade) {
      // The folder is gone: another run that had made it failed and took
      // it away empty (removeEmptyFolders) while this one ran. Made again,
      // once.
      remade = true;
      std::string ignored;
      if (prepareFolder(dir_, ignored)) fd = openExclusive(temp);
      else errno = ENOENT;
    }
    if (fd >= 0) {
      e->temp = temp;
      e->slot = registerTemp(temp);
      return e;
    }
    if (errno != EEXIST) break;
  }
  error = path(name) + ": cannot create: " + reason(errno);
  return nullptr;
}

bool OutputFiles::write(const std::string& name, const std::string& text, std::string& error) {
  int fd = -1;
  Entry* e = create(name, fd, error);
  if (e == nullptr) return false;
  const bool written = writeAll(fd, text.data(), text.size());
  const int err = errno;
  if (!written) ::close(fd);
  if (!written || !syncAndClose(fd)) {
    error = path(name) + ": cannot write: " + reason(written ? errno : err);
    remove(*e);
    return false;
  }
  e->ready = true;
  return true;
}

std::string OutputFiles::reserve(const std::string& name, std::string& error) {
  int fd = -1;
  Entry* e = create(name, fd, error);
  if (e == nullptr) return "";
  ::close(fd);
  return e->temp;
}

bool OutputFiles::adopt(const std::string& name, std::string& error, bool mayBeEmpty) {
  Entry* e = find(name);
  if (e == nullptr || e->temp.empty()) {
    error = path(name) + ": was never reserved";
    return false;
  }
  const int fd = ::open(e->temp.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  bool ok = fd >= 0 && ::fstat(fd, &st) == 0;
  int err = errno;
  if (ok && (!S_ISREG(st.st_mode) || (st.st_size == 0 && !mayBeEmpty))) {
    error = path(name) + ": was left empty";
    if (fd >= 0) ::close(fd);
    remove(*e);
    return false;
  }
  if (ok) {
    ok = syncAndClose(fd);
    err = errno;
  } else if (fd >= 0) {
    ::close(fd);
  }
  if (!ok) {
    error = path(name) + ": cannot write: " + reason(err);
    remove(*e);
    return false;
  }
  e->ready = true;
  return true;
}

void OutputFiles::drop(const std::string& name) {
  if (Entry* e = find(name)) remove(*e);
}

bool OutputFiles::commit(std::string& error) {
  // A folder where a file is to go would stop the renames half way: look
  // first, while nothing has been replaced.
  for (const Entry& e : entries_) {
    struct stat st;
    if (e.ready && ::lstat(path(e.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      error = path(e.name) + ": cannot put in place: " + reason(EISDIR);
      discard();
      return false;
    }
  }
  std::vector<std::string> renamed;
  for (Entry& e : entries_) {
    if (!e.ready) {
      remove(e);
      continue;
    }
    const std::string final = path(e.name);
    if (::rename(e.temp.c_str(), final.c_str()) != 0) {
      error = final + ": cannot put in place: " + reason(errno);
      for (const std::string& f : renamed) ::unlink(f.c_str());
      discard();
      return false;
    }
    unregisterTemp(e.slot);
    e.slot = -1;
    e.temp.clear();
    renamed.push_back(final);
  }
  committed_ = true;
  // The renames themselves last only once the folder is synced; a folder
  // that cannot be synced (some file systems refuse) leaves them as durable
  // as the system makes them anyway.
  const int fd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

void OutputFiles::discard() {
  for (Entry& e : entries_) remove(e);
}

namespace {

// Whether two paths name one folder.
bool sameFolder(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

bool OutputPaths::write(const std::string& path, const std::string& text, std::string& error) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    error = path + ": names a folder, not a file";
    return false;
  }
  OutputFiles* files = nullptr;
  if (folder_ != nullptr && sameFolder(dir, folder_->dir())) {
    if (!folder_->temporary(name).empty()) {
      error = path + ": is one of the run's own files";
      return false;
    }
    files = folder_;
  }
  for (std::size_t k = 0; files == nullptr && k < others_.size(); ++k)
    if (sameFolder(dir, others_[k]->dir())) files = others_[k].get();
  if (files == nullptr) {
    others_.push_back(std::make_unique<OutputFiles>(dir));
    files = others_.back().get();
  } else if (files != folder_ && !files->temporary(name).empty()) {
    error = path + ": given twice";
    return false;
  }
  if (!files->write(name, text, error)) return false;
  paths_.push_back(files->path(name));
  int owner = -1;
  for (std::size_t k = 0; k < others_.size(); ++k)
    if (others_[k].get() == files) owner = static_cast<int>(k);
  owners_.push_back(owner);
  return true;
}

bool OutputPaths::commit(std::string& error) {
  for (std::size_t k = 0; k < others_.size(); ++k) {
    if (others_[k]->commit(error)) continue;
    // The folders committed before this one lose this run's files again.
    for (std::size_t i = 0; i < paths_.size(); ++i)
      if (owners_[i] >= 0 && owners_[i] < static_cast<int>(k)) ::unlink(paths_[i].c_str());
    for (std::size_t j = k + 1; j < others_.size(); ++j) others_[j]->discard();
    return false;
  }
  return true;
}

void OutputPaths::removeCommitted() {
  for (std::size_t i = 0; i < paths_.size(); ++i)
    if (owners_[i] >= 0) ::unlink(paths_[i].c_str());
}

void removeTemporariesOnSignal() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = removeTempsAndDie;
    sigemptyset(&act.sa_mask);
    ::sigaction(sig, &act, nullptr);
  }
}

bool captureFile(const std::function<void(const std::string& path)>& writeTo, std::string& content,
                 std::string& error) {
  content.clear();
  const int fd = ::memfd_create("qplace-capture", MFD_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot make a file in memory: ") + reason(errno);
    return false;
  }
  writeTo("/proc/self/fd/" + std::to_string(fd));
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0;
  if (ok) {
    content.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < content.size()) {
      const ssize_t n = ::pread(fd, &content[done], content.size() - done, static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
  }
  if (!ok) error = std::string("cannot read back a file in memory: ") + reason(errno);
  ::close(fd);
  return ok;
}

}  // namespace qplace
