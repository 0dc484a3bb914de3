#pragma once

#include "platform/Platform.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

// How a run spends its time among the system's calls: a Platform that counts and times every call it
// passes on. Free of the Windows headers, so that its bookkeeping can be checked on any system.
namespace sf::bench {

// What one kind of call took over a stretch of work.
struct CallTally {
  std::int64_t calls = 0;
  double seconds = 0;
};

// Tallies by kind, numbered from 0.
template <std::size_t Kinds> class CallTallies {
public:
  // Runs `work` as a call of `kind`. A call that throws (a cancel from a progress callback, a read
  // error) counts as well: it took its time too.
  template <typename Work> decltype(auto) Time(std::size_t kind, Work &&work) {
    const Timing timing{*this, tallies_[kind], std::chrono::steady_clock::now()};
    return work();
  }
  const CallTally &operator[](std::size_t kind) const { return tallies_[kind]; }
  void Clear() { tallies_ = {}; }
  // Whether a call is under way: what happens now happens within it, and counts in its time.
  bool Busy() const { return open_ > 0; }

private:
  struct Timing {
    Timing(CallTallies &tallies, CallTally &tally, std::chrono::steady_clock::time_point start)
        : tallies(tallies), tally(tally), start(start) {
      ++tallies.open_;
    }
    Timing(const Timing &) = delete;
    Timing &operator=(const Timing &) = delete;
    ~Timing() {
      --tallies.open_;
      ++tally.calls;
      tally.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    CallTallies &tallies;
    CallTally &tally;
    std::chrono::steady_clock::time_point start;
  };
  std::array<CallTally, Kinds> tallies_{};
  int open_ = 0;
};

// The Platform's calls, one kind per member function.
enum class PlatformCall : std::size_t {
  UpperCase,
  FromShiftJis,
  ToShiftJis,
  ReadTextFile,
  ReadWholeFile,
  ReplaceWholeFile,
  FileExists,
  ListFiles,
  ListNames,
  RemoveFile,
  CopyFileOver,
  FullPath,
  QueryFile,
  FileIdentity,
  FreeSpace,
  ListEntries,
  FileSystemOf,
  MakeEmptyFile,
  MakeHiddenFile,
  OpenForWriting,
  AppendToFile,
  CutFile,
  MakeFolder,
  MoveEntry,
  RemoveFolder,
  MarkUsed,
  HoldFile,
  ReadXmlElements,
};
inline constexpr std::size_t kPlatformCalls = static_cast<std::size_t>(PlatformCall::ReadXmlElements) + 1;
inline constexpr std::array<std::string_view, kPlatformCalls> kPlatformCallNames = {
    "UpperCase",      "FromShiftJis",   "ToShiftJis",   "ReadTextFile",    "ReadWholeFile", "ReplaceWholeFile",
    "FileExists",     "ListFiles",      "ListNames",    "RemoveFile",      "CopyFileOver",  "FullPath",
    "QueryFile",      "FileIdentity",   "FreeSpace",    "ListEntries",     "FileSystemOf",  "MakeEmptyFile",
    "MakeHiddenFile", "OpenForWriting", "AppendToFile", "CutFile",         "MakeFolder",    "MoveEntry",
    "RemoveFolder",   "MarkUsed",       "HoldFile",     "ReadXmlElements",
};

// Passes every call on to `system` and tallies it by kind. A callback that the system calls back
// during a call (the progress during a copy or a read) counts within that call's time.
class CallTimingPlatform final : public Platform {
  // Ahead of the calls, which deduce their answers from it; const for the const calls too, as
  // counting them changes nothing the caller sees.
  template <typename Work> decltype(auto) Time(PlatformCall kind, Work &&work) const {
    return tallies_.Time(static_cast<std::size_t>(kind), std::forward<Work>(work));
  }

  // A file kept open for writing, whose writes count as calls of their own.
  class TimedFile final : public WritingFile {
  public:
    TimedFile(const CallTimingPlatform &timing, std::unique_ptr<WritingFile> file)
        : timing_(timing), file_(std::move(file)) {}
    bool Append(std::string_view bytes) override {
      return timing_.Time(PlatformCall::AppendToFile, [&] { return file_->Append(bytes); });
    }
    bool Cut(std::uint64_t size) override {
      return timing_.Time(PlatformCall::CutFile, [&] { return file_->Cut(size); });
    }

  private:
    const CallTimingPlatform &timing_;
    std::unique_ptr<WritingFile> file_;
  };

  // A held file, whose marks of use count as calls of their own.
  class TimedHeldFile final : public HeldFile {
  public:
    TimedHeldFile(const CallTimingPlatform &timing, std::unique_ptr<HeldFile> file)
        : timing_(timing), file_(std::move(file)) {}
    bool MarkUsed() override {
      return timing_.Time(PlatformCall::MarkUsed, [&] { return file_->MarkUsed(); });
    }

  private:
    const CallTimingPlatform &timing_;
    std::unique_ptr<HeldFile> file_;
  };

public:
  explicit CallTimingPlatform(Platform &system) : system_(system) {}

  const CallTally &Tally(PlatformCall kind) const { return tallies_[static_cast<std::size_t>(kind)]; }
  void ClearTallies() { tallies_.Clear(); }
  // Whether one of the calls is under way (and calls back, as a copy calls the progress).
  bool Busy() const { return tallies_.Busy(); }

  std::string UpperCase(std::string_view text) const override {
    return Time(PlatformCall::UpperCase, [&] { return system_.UpperCase(text); });
  }
  std::string FromShiftJis(std::string_view bytes) const override {
    return Time(PlatformCall::FromShiftJis, [&] { return system_.FromShiftJis(bytes); });
  }
  std::string ToShiftJis(std::string_view text) const override {
    return Time(PlatformCall::ToShiftJis, [&] { return system_.ToShiftJis(text); });
  }
  void ReadTextFile(const std::string &path, const ChunkConsumer &consume) override {
    Time(PlatformCall::ReadTextFile, [&] { system_.ReadTextFile(path, consume); });
  }
  std::optional<std::string> ReadWholeFile(const std::string &path) override {
    return Time(PlatformCall::ReadWholeFile, [&] { return system_.ReadWholeFile(path); });
  }
  bool ReplaceWholeFile(const std::string &path, std::string_view bytes) override {
    return Time(PlatformCall::ReplaceWholeFile, [&] { return system_.ReplaceWholeFile(path, bytes); });
  }
  bool FileExists(const std::string &path) override {
    return Time(PlatformCall::FileExists, [&] { return system_.FileExists(path); });
  }
  std::vector<std::string> ListFiles(const std::string &pattern) override {
    return Time(PlatformCall::ListFiles, [&] { return system_.ListFiles(pattern); });
  }
  std::optional<std::vector<std::string>> ListNames(const std::string &folder) override {
    return Time(PlatformCall::ListNames, [&] { return system_.ListNames(folder); });
  }
  bool RemoveFile(const std::string &path) override {
    return Time(PlatformCall::RemoveFile, [&] { return system_.RemoveFile(path); });
  }
  CopyResult CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                          const std::function<void()> &whileCopying) override {
    return Time(PlatformCall::CopyFileOver,
                [&] { return system_.CopyFileOver(source, target, makeNew, whileCopying); });
  }
  std::string FullPath(const std::string &path) override {
    return Time(PlatformCall::FullPath, [&] { return system_.FullPath(path); });
  }
  FileFacts QueryFile(const std::string &path) override {
    return Time(PlatformCall::QueryFile, [&] { return system_.QueryFile(path); });
  }
  std::string FileIdentity(const std::string &path) override {
    return Time(PlatformCall::FileIdentity, [&] { return system_.FileIdentity(path); });
  }
  std::optional<DiskSpace> FreeSpace(const std::string &folder) override {
    return Time(PlatformCall::FreeSpace, [&] { return system_.FreeSpace(folder); });
  }
  std::optional<std::vector<FolderEntry>> ListEntries(const std::string &folder) override {
    return Time(PlatformCall::ListEntries, [&] { return system_.ListEntries(folder); });
  }
  std::string FileSystemOf(const std::string &path) override {
    return Time(PlatformCall::FileSystemOf, [&] { return system_.FileSystemOf(path); });
  }
  MakeResult MakeEmptyFile(const std::string &path) override {
    return Time(PlatformCall::MakeEmptyFile, [&] { return system_.MakeEmptyFile(path); });
  }
  MadeFile MakeHiddenFile(const std::string &path, std::string_view bytes) override {
    auto made = Time(PlatformCall::MakeHiddenFile, [&] { return system_.MakeHiddenFile(path, bytes); });
    if (made.file)
      made.file = std::make_unique<TimedFile>(*this, std::move(made.file));
    return made;
  }
  OpenedFile OpenForWriting(const std::string &path) override {
    auto opened = Time(PlatformCall::OpenForWriting, [&] { return system_.OpenForWriting(path); });
    if (opened.file)
      opened.file = std::make_unique<TimedFile>(*this, std::move(opened.file));
    return opened;
  }
  MakeResult MakeFolder(const std::string &path, bool hidden) override {
    return Time(PlatformCall::MakeFolder, [&] { return system_.MakeFolder(path, hidden); });
  }
  MakeResult MoveEntry(const std::string &from, const std::string &to) override {
    return Time(PlatformCall::MoveEntry, [&] { return system_.MoveEntry(from, to); });
  }
  bool RemoveFolder(const std::string &path) override {
    return Time(PlatformCall::RemoveFolder, [&] { return system_.RemoveFolder(path); });
  }
  std::unique_ptr<HeldFile> HoldFile(const std::string &path) override {
    auto held = Time(PlatformCall::HoldFile, [&] { return system_.HoldFile(path); });
    if (held)
      held = std::make_unique<TimedHeldFile>(*this, std::move(held));
    return held;
  }
  std::optional<std::vector<XmlElement>> ReadXmlElements(const std::string &path) override {
    return Time(PlatformCall::ReadXmlElements, [&] { return system_.ReadXmlElements(path); });
  }

private:
  Platform &system_;
  mutable CallTallies<kPlatformCalls> tallies_;
};

} // namespace sf::bench
