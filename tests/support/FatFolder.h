#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A model of the entry tables of FAT, FAT32 and exFAT folders. Such a folder lists its files and
// subfolders in the order of their 32-byte entries, and where a new entry goes depends on the driver,
// which is what many players and car stereos play in. Wine lists every folder by name, so the fake
// platform keeps a folder of a mounted drive in one of these.
namespace sf::testing {

enum class FatKind {
  Fat16, // FAT12 or FAT16 ("FAT"): the root folder has a fixed number of entries
  Fat32,
  ExFat,
};

// Where a folder puts the entries of a new name. exFAT's driver is not published: any rule there is a
// guess, and Random keeps a test from counting on one.
enum class FatPlacement {
  // As Windows' FAT driver does (its published sample, fastfat): into the never-used end of the
  // folder while it fits there, else into the first free run from the lowest deleted entry; failing
  // that, a fixed root is compacted where that makes room and refuses the name where it does not,
  // and any other folder grows by a cluster.
  Published,
  // As Linux and fusefat do: the first free run from the folder's start, else the folder grows.
  FirstFitFromStart,
  // The start of any free run that fits, drawn at random, else the folder grows.
  Random,
};

struct FatFormat {
  FatKind kind = FatKind::Fat32;
  std::size_t clusterBytes = 4096; // 512 to 65536
  FatPlacement placement = FatPlacement::Published;
  std::uint32_t seed = 0;        // for FatPlacement::Random
  std::size_t rootEntries = 512; // the fixed root of FatKind::Fat16
  // How long Windows' FAT driver remembers a long name that left a folder, for a short name of the
  // same letters made there to take it back (tunnelling; a registry setting); 0 turns it off. Not
  // for exFAT, whose driver is not published.
  double tunnelSeconds = 15;
  // A folder lists its entries by name (upper-cased, byte order), as Wine does on a drive it reports
  // as FAT, while they are still placed as the driver places them.
  bool listsByName = false;
  // A folder lists its newest name first, and a name renamed in place where it was: no new entry
  // ever lands after the others. No system does so; it is the worst a placement can do.
  bool listsNewestFirst = false;
};

// The entries a file or folder of this name takes in a folder: FAT needs one short entry, and a long
// name of 13 UTF-16 units per entry before it unless the name fits the short entry alone; exFAT
// needs a file and a stream entry, and a name entry for every 15 units.
std::size_t EntriesForName(FatKind kind, std::string_view name);

// One folder's entry table.
class FatFolder {
public:
  // Valid until the folder changes: a folder is listed after nearly every call, and its names are
  // not copied for it.
  struct Entry {
    const std::string &key; // as the owner knows it
    const std::string &name;
    std::size_t place; // the index of its last entry (a FAT name's short entry)
  };

  FatFolder(const FatFormat &format, bool root, bool hidden);

  // Gives a new `key` the entries its name needs, at `now` (seconds), or those of a long name it
  // tunnels to; does nothing for one that has them. False when the folder can take no further entry.
  bool Put(const std::string &key, const std::string &name, std::mt19937 &random, double now);
  // Marks the entries of `key` deleted; its long name is remembered for tunnelling.
  void Release(const std::string &key, double now);
  // As the driver renames within a folder: in place when the new name takes as many entries, else
  // into new entries, found while the old ones are still in use, which it then marks deleted. The
  // new name may tunnel; the old one is remembered.
  bool Rename(const std::string &from, const std::string &to, const std::string &name, std::mt19937 &random,
              double now);

  // What is in the folder, in the order it lists it: entry order, unless it lists the newest first.
  std::vector<Entry> InOrder() const;
  std::optional<std::size_t> PlaceOf(const std::string &key) const;
  // The name the entry of `key` got, which tunnelling may have given it; empty for none.
  std::string NameOf(const std::string &key) const;
  // The entries the folder has on the disk, in use, deleted or never used.
  std::size_t EntryCount() const { return taken_.size(); }
  bool Hidden() const { return hidden_; }
  // The clusters the folder takes on the drive; none for a fixed root, which lies outside them.
  std::size_t Clusters() const;

private:
  struct Run {
    std::string name;
    std::size_t first;
    std::size_t count;
    std::uint64_t born; // the runs made in the folder before it, and it; a rename in place keeps it
  };
  // A long name that left the folder, kept by the upper-cased short name it had.
  struct Departed {
    std::string name;
    std::size_t count;
    double when;
  };

  // The name and entry count that `name` gets at `now`: a remembered long name where it tunnels.
  std::pair<std::string, std::size_t> Arriving(const std::string &name, double now) const;
  // Remembers the name of a run leaving the folder, as the driver's tunnel cache does.
  void Depart(const Run &run, double now);

  std::optional<std::size_t> Allocate(std::size_t count, std::mt19937 &random);
  std::optional<std::size_t> FreeRunFrom(std::size_t count, std::size_t from) const;
  // Grows the folder into clusters to hold `entries` entries; false where it cannot grow.
  bool Grow(std::size_t entries);
  // As Linux grows a folder: the new entries start in the free entries that reach its end.
  std::optional<std::size_t> GrowFromFreeEnd(std::size_t count);
  std::size_t Compact();
  void Take(std::size_t first, std::size_t count, bool taken);

  FatFormat format_;
  bool fixedSize_;
  bool hidden_;
  std::vector<bool> taken_;     // in use, by an entry of a name or by ".", ".." and the like
  std::size_t neverUsed_ = 0;   // from here on no entry was ever used
  std::size_t deletedHint_ = 0; // the driver's lowest deleted entry, where it looks for a free run
  std::uint64_t runsMade_ = 0;  // for a run's `born`
  std::map<std::string, Run> runs_;
  std::map<std::string, Departed> departed_; // by upper-cased short name
};

// Every folder of one drive.
class FatVolume {
public:
  // `root` is the drive's root folder as the owner keys it ("E:\").
  FatVolume(const FatFormat &format, const std::string &root);

  // "FAT", "FAT32" or "exFAT", as the system names it.
  std::string FileSystem() const;
  // The folder part of a key is its folder's key, as FolderPart gives it. A new folder gets its own
  // table of one cluster. False, with nothing changed, when the folder can take no further entry.
  // `now` is the time in seconds, for tunnelling.
  bool Add(const std::string &key, const std::string &name, bool folder, bool hidden, double now);
  void Remove(const std::string &key, double now);
  // A file renamed or moved into another folder: in the other folder, new entries come first, then
  // the old ones are marked deleted.
  bool Move(const std::string &from, const std::string &to, const std::string &name, double now);
  // The place of the entry: its folder and index. A file keeps it while it stays; the next file
  // there gets it.
  std::string PlaceOf(const std::string &key) const;
  const FatFolder &Folder(const std::string &key) const { return folders_.at(key); }
  // The name the entry of `key` got in its folder.
  std::string NameOf(const std::string &key) const;
  bool ListsByName() const { return format_.listsByName; }
  // The bytes its folders take of the drive: each grows by whole clusters and never shrinks; a new
  // folder takes its first, and a removed one frees them all.
  std::uint64_t FolderBytes() const;

private:
  FatFormat format_;
  std::mt19937 random_;
  std::map<std::string, FatFolder> folders_;
};

} // namespace sf::testing
