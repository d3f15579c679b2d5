// The run's files, written so that none is ever lost or half written.
//
// Every file goes first to a temporary of its own in the output folder
// (".<name>.<pid>.tmp", created exclusively), each write, sync and close
// checked; when the whole run has succeeded, commit() renames them over
// their final names. On any failure the run's temporaries are removed, so
// the folder keeps exactly what it held before: an earlier run's files stay
// as they were, and nothing of this run remains. With
// removeTemporariesOnSignal() installed, an interrupt (SIGINT, SIGTERM,
// SIGHUP) removes them too before the program dies of it.
//
// Errors name the file (its final name) and the system's reason:
// "out/bbox.txt: cannot write: No space left on device".
#ifndef QPLACE_OUTPUT_FILES_H
#define QPLACE_OUTPUT_FILES_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qplace {

// Creates `dir` with its missing parents (as mkdir -p; new folders get
// 0777 less the umask), then proves that files can be made in it: a probe
// file is created, written, synced and removed. False, with `error` naming
// the folder (or the parent that failed) and the reason, otherwise. Each
// folder it creates is added to `made`, when given, outermost first (those
// of a failed call too). Costs a few system calls per path component.
bool prepareFolder(const std::string& dir, std::string& error, std::vector<std::string>* made = nullptr);

// Removes the folders of `made` that are empty, innermost first: what
// prepareFolder created for a run that then wrote nothing into them. A
// folder that holds anything stays (rmdir), and errors are ignored. Another
// run that shares such a folder, taken away under it, makes it again:
// prepareFolder and the files of OutputFiles do, once.
void removeEmptyFolders(const std::vector<std::string>& made);

class OutputFiles {
public:
  explicit OutputFiles(std::string dir);
  ~OutputFiles();  // removes the temporaries unless committed
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // The final path of `name` (dir + "/" + name).
  std::string path(const std::string& name) const;
  const std::string& dir() const { return dir_; }

  // The temporary path of `name` while it has one (written or reserved,
  // not yet committed); empty otherwise.
  std::string temporary(const std::string& name) const;

  // Writes `text` as the temporary of `name` (replacing an earlier one of
  // this run). False, with `error` set and no temporary left for `name`,
  // when a create, write, sync or close fails.
  bool write(const std::string& name, const std::string& text, std::string& error);

  // Creates an empty temporary for `name` that a writer opening the path
  // itself is to fill (the placement's lines, the PNG), and returns its
  // path; empty (with `error` set) when it cannot be made.
  std::string reserve(const std::string& name, std::string& error);
  // Takes over the temporary reserved for `name` once filled: it must be a
  // regular file, non-empty unless `mayBeEmpty` (a report of nothing), and
  // is synced. False (error set, temporary removed) otherwise.
  bool adopt(const std::string& name, std::string& error, bool mayBeEmpty = false);
  // Gives `name` up: its temporary is removed, and commit leaves its final
  // name alone.
  void drop(const std::string& name);

  // Renames every temporary over its final name, in the order they were
  // made, and syncs the folder. A final name held by a folder is found
  // before any rename (error set, temporaries removed, nothing replaced).
  // Should a rename still fail, `error` is set and every file of this run
  // is removed: the temporaries left and the files already renamed (whose
  // earlier versions those renames had replaced).
  bool commit(std::string& error);

  // Removes every temporary of this run. Called by the destructor.
  void discard();

private:
  struct Entry {
    std::string name, temp;
    bool ready = false;  // written, or adopted
    int slot = -1;       // in the signal-time list of temporaries
  };
  Entry* find(const std::string& name);
  const Entry* find(const std::string& name) const;
  Entry* create(const std::string& name, int& fd, std::string& error);
  void remove(Entry& e);

  std::string dir_;
  std::vector<Entry> entries_;
  bool committed_ = false;
};

// Files at paths of their own (--write-json, --report-json), each written
// as a temporary in its own folder and renamed into place by commit. A file
// whose folder is that of `folder` (the run's output folder, when given)
// joins it, to be committed with it; it may not take the name of a file
// the folder holds already.
class OutputPaths {
public:
  explicit OutputPaths(OutputFiles* folder) : folder_(folder) {}

  // Writes `text` as the temporary of `path` (see OutputFiles::write);
  // false with `error` set when that fails, or when `path` names a folder
  // or one of the output folder's files.
  bool write(const std::string& path, const std::string& text, std::string& error);
  // Commits the files outside the output folder, folder by folder (that
  // folder's own commit is its owner's). On a failure every file of these
  // folders already renamed is removed, as OutputFiles::commit does.
  bool commit(std::string& error);
  // Removes the files that commit put in place outside the output folder:
  // for when the folder's own commit fails after it.
  void removeCommitted();
  // The final paths written, in order.
  const std::vector<std::string>& paths() const { return paths_; }

private:
  OutputFiles* folder_;
  std::vector<std::unique_ptr<OutputFiles>> others_;
  std::vector<std::string> paths_;
  std::vector<int> owners_;  // per path: its folder in others_, -1 for the output folder
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporaries of every live
// OutputFiles before the program ends of the signal as it would have.
// Signals already ignored stay ignored. Call once, early in main.
void removeTemporariesOnSignal();

// Runs `writeTo(path)` with `path` naming a file in memory (a memfd, reached
// through /proc/self/fd) and returns in `content` what was written there:
// for a call that opens and writes a file by itself and reports no error.
// The caller judges the content (empty: the call wrote nothing, or could
// not open the path). False (error set) when no such file can be made.
bool captureFile(const std::function<void(const std::string& path)>& writeTo, std::string& content,
                 std::string& error);

}  // namespace qplace

#endif
