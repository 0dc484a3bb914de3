#pragma once

#include "platform/Platform.h"
#include "playlist/Placement.h"
#include "playlist/TrackUri.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// What a copy run tells the user while it works: the progress window's operations, and the
// information box at the end.
class TCopyProgress {
public:
  virtual ~TCopyProgress() = default;

  virtual void SetMaximum(std::int32_t maximum) = 0;
  virtual void Show() = 0;
  virtual void SetFileLabel(const std::string &text) = 0;
  virtual void SetPosition(std::int32_t position) = 0;
  // Paints the window at once: the run keeps the thread and never returns to the event loop.
  virtual void Repaint() = 0;
  virtual void Close() = 0;
  // Called often during the copies, within one long track too: answers what the system sends to
  // the program's windows, so that a long run never looks hung. Cheap when nothing is due.
  virtual void KeepResponsive() = 0;
  virtual void ShowInfo(const std::string &text) = 0;
  // Whether the user has asked, since Show, for the run to stop; known from KeepResponsive's looks
  // at the queue.
  virtual bool CancelRequested() const = 0;
};

inline constexpr std::int32_t kMaxTracks = 101;

// The kinds of playlist file, by extension.
enum class PlayListKind {
  Plst, // a profile file
  M3u,  // Shift-JIS, or UTF-8 after a byte-order mark
  M3u8, // UTF-8
  Pls,  // a profile file in UTF-8 or Shift-JIS
  Wpl,  // Windows Media Player's XML
  Xspf, // XML Shareable Playlist Format
};

// The extensions of the files a run clears from the destination unless in add mode.
inline constexpr std::array<std::string_view, 2> kClearedExtensions = {"wma", "mp3"};

// The tracks of one playlist file (".m3u", ".m3u8", ".pls", ".plst", ".wpl" or ".xspf") and the run
// that copies them into a folder.
class TPlayList {
public:
  // Throws ESFException "拡張子<EXT>が不正です" unless the path ends in ".m3u", ".m3u8", ".pls",
  // ".plst", ".wpl" or ".xspf" (any case).
  TPlayList(Platform &platform, std::string path);

  void Load();
  void LoadPlst();
  void LoadM3u();

  // Clears the destination folder `toDir`'s "wma" and "mp3" files unless `addMode`, then copies
  // every track into it, flat, in playlist order or backwards, and reports the count with ShowInfo.
  // Relative tracks and a relative `toDir` lie below the playlist's folder. With `numberTracks`
  // each copy is named "NNN name", numbered in copy order from 001, in add mode after the highest
  // number in the destination. With `skipUnchanged` a track whose copy in the destination has its
  // name (any number), size and last-write time is left as it is (see MatchCopies). With
  // `writePlayList` the run leaves a playlist file of its copies in the destination, in the order
  // they were copied (see PlayListFile.h). False when the user cancelled the run: that too ends with
  // ShowInfo.
  bool CopyTracks(TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
                  bool numberTracks = false, bool skipUnchanged = false, bool writePlayList = false);

  PlayListKind Kind() const { return kind_; }
  const std::string &FileName() const { return fileName_; }
  // The tracks loaded, as the playlist names them.
  std::int32_t Count() const { return count_; }
  const std::string &TrackPath(std::int32_t track) const { return trackPaths_[static_cast<std::size_t>(track)]; }

private:
  struct ClearedFile {
    std::string path;
    Platform::FileFacts facts;
    std::string identity;
  };
  // The identities of the tracks, asked of the system only when a file of the destination must be
  // told apart from them: on some systems that costs more than the rest of a track's checks.
  class TrackIdentities {
  public:
    // The queue is looked at through `look` after each question.
    TrackIdentities(Platform &platform, const std::array<std::string, kMaxTracks> &paths,
                    const std::array<Platform::FileFacts, kMaxTracks> &facts, std::int32_t count,
                    std::function<void()> look)
        : platform_(platform), paths_(paths), facts_(facts), count_(count), look_(std::move(look)) {}
    // Whether `identity`, of a file with `facts`, is that of track `track`, or of any track; never for
    // an empty one. One file has one size and time: a track of others needs no question.
    bool Is(std::int32_t track, const std::string &identity, const Platform::FileFacts &facts);
    bool AnyIs(const std::string &identity, const Platform::FileFacts &facts);
    // Asks for every track's identity now, before anything changes.
    void TakeAll();

  private:
    const std::string &Of(std::int32_t track);

    Platform &platform_;
    const std::array<std::string, kMaxTracks> &paths_;
    const std::array<Platform::FileFacts, kMaxTracks> &facts_;
    std::int32_t count_;
    std::function<void()> look_;
    std::array<std::optional<std::string>, kMaxTracks> known_;
  };

  // The names the destination held before the run, so that a target which cannot be there needs
  // no question to the system: on some systems asking for a missing name searches the whole
  // folder. Only plain ASCII names are told apart by their spelling; the system folds other
  // characters by tables of its own and drops a name's trailing dots and spaces.
  class FolderNames {
  public:
    explicit FolderNames(const std::optional<std::vector<std::string>> &listing);
    // False only when no file of the folder can answer to `name`.
    bool MayHold(const std::string &name) const;
    void Add(const std::string &name);

  private:
    bool spellingDecides_ = false;
    std::set<std::string> upperNames_;
  };

  // What lies in the destination under the tracks' names, by the name upper-cased.
  struct Target {
    Platform::FileFacts facts;
    std::string identity; // empty when there is no file or it cannot be asked
  };
  using Targets = std::map<std::string, Target>;

  // How a cancelled run ends: `note` is a line to add to the box, or empty.
  struct RunCancelled {
    std::string note;
  };

  void AddM3uLine(std::string line, bool utf8);
  // Adds the next track as the playlist writes it (UTF-8). Throws ESFException past the 101st track
  // and for a name that is no path of a file (a URI of another scheme, a malformed file URI).
  void AddTrack(std::string_view written, TrackSyntax syntax);
  // Everything a run decides before it changes anything: where each track's copy goes, what the
  // clearing deletes, and the checks that refuse the run.
  struct RunPlan {
    std::string destination;
    std::array<std::string, kMaxTracks> sourcePaths; // the tracks, resolved below the playlist's folder
    std::array<Platform::FileFacts, kMaxTracks> sources;
    std::optional<std::vector<std::string>> listing; // the destination's names before the run
    std::optional<TrackIdentities> tracks;
    std::vector<ClearedFile> deletions;
    std::vector<PlannedTrack> steps; // in copy order
    // By track: the file in the destination that already is its copy, left as it is.
    std::array<std::optional<std::string>, kMaxTracks> leftAs;
    std::int32_t left = 0;
    std::vector<std::pair<std::string, std::string>> renames; // copies left, to be numbered anew
    // The playlist file the run writes into the destination.
    struct PlayListFile {
      std::string name;                  // under which a run that ends well writes it
      std::vector<std::string> copies;   // what it then lists
      std::vector<std::string> earlier;  // add mode: what the program's earlier file lists
      std::vector<std::string> ownNames; // the program's own files there now, under either name
    };
    std::optional<PlayListFile> playList;
    std::string fileSystem;
    bool keepsEntryOrder = false; // the destination lists its entries in their order on the disk
    // On such a destination, a file that the run replaces may wait aside until its replacement is in
    // place: there is room for both.
    bool mayHold = true;
  };

  // The run itself; `copied` counts the tracks copied so far.
  void RunCopy(TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse, bool numberTracks,
               bool skipUnchanged, std::int32_t &copied);
  // Gathers the facts and decides the run, into `plan` (which the identities refer to). Throws ESFException for every
  // refusal, before any change but the clearing away of what an interrupted run left.
  void PlanRun(RunPlan &plan, TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
               bool numberTracks, bool skipUnchanged);
  // Finds the tracks whose copies the destination holds already.
  void FindUnchanged(TCopyProgress &progress, RunPlan &plan, const std::array<std::int32_t, kMaxTracks> &order,
                     bool numberTracks, const std::string &fileSystem);
  // Gives the copies left as they were their new numbers; where two names cross, one waits in the
  // holding folder. Throws ESFException when the system refuses a rename.
  void Rename(TCopyProgress &progress, RunPlan &plan, HoldingFolder &holding);
  void WriteCopy(TCopyProgress &progress, RunPlan &plan, const PlannedTrack &step, const std::string &target,
                 const Platform::FileFacts &before, bool madeByRun);
  // Looks at the queue, then stops the run with RunCancelled once the user has cancelled it.
  void LookAtQueue(TCopyProgress &progress);
  void StopIfCancelled(const TCopyProgress &progress);
  // The names the tracks are copied under into `destination`, which holds `listing`, in copy
  // `order`. Throws ESFException when a number would pass 999, when a numbered name grows too long,
  // and in add mode when the destination's names, after which the numbers go on, cannot be read.
  void NameTargets(TCopyProgress &progress, const RunPlan &plan, const std::array<std::int32_t, kMaxTracks> &order,
                   bool addMode, bool numberTracks);
  // Throws ESFException unless the system puts every track's copy directly into the destination under
  // its target name.
  void CheckTargetsInside(const std::string &destination, const std::array<std::int32_t, kMaxTracks> &order);
  // Reads through the tracks whose data is not on the disk (cloud files), so that the system fetches
  // them before anything is deleted. Throws ESFException for one that cannot be read.
  void FetchCloudTracks(TCopyProgress &progress, const std::array<std::string, kMaxTracks> &sourcePaths,
                        const std::array<Platform::FileFacts, kMaxTracks> &sources,
                        const std::array<std::int32_t, kMaxTracks> &order);
  Targets LookUpTargets(TCopyProgress &progress, const RunPlan &plan, const FolderNames &present);
  // Throws ESFException when a track's target is a read-only, hidden or system file that is no track
  // of the run: the system's copy refuses to replace such a file, and the clearing leaves it.
  void CheckTargetsReplaceable(const std::string &destination, const std::array<std::int32_t, kMaxTracks> &order,
                               const Targets &targets, TrackIdentities &tracks);
  // Throws ESFException when a track would overwrite another of the run's tracks that lies in the
  // destination under its name.
  void CheckNamesakes(const std::string &destination, const std::array<std::int32_t, kMaxTracks> &order,
                      const Targets &targets, TrackIdentities &tracks);
  // The files the clearing deletes: never a track, nor a copy left as it was.
  std::vector<ClearedFile> FilesToClear(TCopyProgress &progress, const RunPlan &plan, TrackIdentities &tracks);
  // Decides the playlist file: what it lists, under which name. Throws ESFException where a file
  // of that name is not the program's own, or is read-only, hidden or system.
  void PlanPlayListFile(RunPlan &plan, const std::array<std::int32_t, kMaxTracks> &order, bool addMode);
  // Writes the playlist file listing `copies` (and in add mode the earlier ones still there), unless
  // it holds those bytes already, then removes the program's own file under the other name. After a
  // stop (`stopped`) a file of that name that is not the program's own is left as it is. The
  // message of a failed write, or empty.
  std::string WritePlayListFile(const RunPlan &plan, const std::vector<std::string> &copies, bool stopped);
  // Throws ESFException when the tracks would not fit into the destination once it is cleared.
  void CheckRoom(RunPlan &plan, const std::vector<ClearedFile> &clearing, const Targets &targets);
  // Deletes what a failed copy left of itself; false when a part of it stays.
  bool RemovePartialCopy(const std::string &target, const Platform::FileFacts &before, bool madeByRun,
                         TrackIdentities &tracks);
  bool RemovePartialCopyNow(const std::string &target, const Platform::FileFacts &before, bool madeByRun,
                            TrackIdentities &tracks);

  Platform &system_;
  // What the run asks of the system: the system itself, or while it decides after a stopped run, the
  // destination as the undo of that run will leave it.
  Platform *platform_;
  std::string fileName_;
  PlayListKind kind_;
  std::int32_t count_ = 0;
  std::array<std::string, kMaxTracks> trackPaths_;
  std::array<std::string, kMaxTracks> targetNames_;
  bool stopping_ = false; // the run is stopping for a cancel: looks no longer throw
  bool writePlayList_ = false;
};

// The track path of ".plst" entry number `number`: a path, optionally quoted, optionally followed
// by a comma and further data. Throws ESFException when the entry is empty or its quote is open.
std::string ParsePlstEntry(std::string_view value, std::int32_t number);

} // namespace sf
