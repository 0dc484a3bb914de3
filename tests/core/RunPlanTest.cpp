#include "playlist/RunPlan.h"
#include "platform/PathParts.h"
#include "playlist/PlayListFile.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <gtest/gtest.h>

#include <map>

// The run's decisions as tables: the facts of the tracks and the destination in, the plan or the
// refusal out. No file system takes part: the facts are the table's.
namespace sf {
namespace {

constexpr std::uint64_t kDay = 864'000'000'000; // in FILETIME's 100 ns
constexpr std::uint64_t kMiB = 1024 * 1024;

// A track or a file of the destination. Flags: R read-only, H hidden, S system, D a folder, C a cloud
// file, U a cloud file that cannot be fetched, ? a file that cannot be asked who it is, M missing.
struct Row {
  std::string name;
  std::uint64_t size = kMiB;
  std::uint64_t time = kDay;
  std::string flags{};
  std::string identity{}; // default: that of a file of its own
  bool Has(char flag) const { return flags.find(flag) != std::string::npos; }
};

struct Facts {
  std::vector<Row> tracks{};      // names as the playlist writes them, in C:\Music
  std::vector<Row> destination{}; // E:\Player
  std::string fileSystem = "NTFS";
  std::optional<Platform::DiskSpace> space = Platform::DiskSpace{1024 * kMiB, 4096};
  bool listable = true;
  std::map<std::string, std::string> contents{};
  std::map<std::string, ConvertedMark> marks{}; // what the destination's MP3s say they were made from
};

// The facts of a table, counting the questions that cost the system most.
class TableFacts final : public RunFacts {
public:
  explicit TableFacts(Facts facts) : facts_(std::move(facts)) {
    if (!facts_.listable)
      return;
    listing_.emplace();
    entries_.emplace();
    for (const auto &file : facts_.destination) {
      listing_->push_back(file.name);
      entries_->push_back({file.name, file.Has('D'), file.Has('H'), file.Has('S')});
    }
  }

  std::string UpperCase(std::string_view text) const override { return UpperAscii(text); }
  // As the system does, drops a name's trailing dots and blanks.
  std::string FullPath(const std::string &path) override { return path.substr(0, path.find_last_not_of(". ") + 1); }
  std::int32_t TrackCount() const override { return static_cast<std::int32_t>(facts_.tracks.size()); }
  Platform::FileFacts Track(std::int32_t track) override { return FactsOf(facts_.tracks[track]); }
  bool TrackReadable(std::int32_t track) override { return !facts_.tracks[track].Has('U'); }
  std::string TrackIdentity(std::int32_t track) override {
    ++identities;
    return IdentityOf(facts_.tracks[track], "C:");
  }
  std::string FileSystem() override { return facts_.fileSystem; }
  const std::optional<std::vector<std::string>> &Names() override { return listing_; }
  const std::optional<std::vector<Platform::FolderEntry>> &Entries() override { return entries_; }
  std::vector<std::string> FilesMatching(std::string_view extension) override {
    // As the system's pattern does, through 8.3 names: "*.mp3" also matches "x.mp3x".
    std::vector<std::string> names;
    for (const auto &file : facts_.destination) {
      if (!file.Has('D') && !file.Has('H') && !file.Has('S') &&
          UpperAscii(ExtensionPart(file.name)).rfind(UpperAscii("." + std::string(extension)), 0) == 0)
        names.push_back(file.name);
    }
    return names;
  }
  Platform::FileFacts File(const std::string &name) override {
    ++files;
    const auto *file = Find(name);
    return file ? FactsOf(*file) : Platform::FileFacts{};
  }
  std::string Identity(const std::string &name) override {
    ++identities;
    const auto *file = Find(name);
    return file ? IdentityOf(*file, "E:") : std::string();
  }
  std::optional<std::string> Contents(const std::string &name) override {
    const auto bytes = facts_.contents.find(name);
    return bytes == facts_.contents.end() ? std::string() : bytes->second;
  }
  std::optional<ConvertedMark> Mark(const std::string &name) override {
    const auto mark = facts_.marks.find(name);
    return mark == facts_.marks.end() ? std::nullopt : std::optional(mark->second);
  }
  std::optional<Platform::DiskSpace> Space() override { return facts_.space; }

  const Facts &Table() const { return facts_; }

  int files = 0, identities = 0;

private:
  const Row *Find(const std::string &name) const {
    for (const auto &file : facts_.destination) {
      if (UpperAscii(file.name) == UpperAscii(name))
        return &file;
    }
    return nullptr;
  }
  static Platform::FileFacts FactsOf(const Row &row) {
    if (row.Has('M') || row.Has('D'))
      return {};
    return {true, row.size, row.time, row.Has('R'), row.Has('H'), row.Has('S'), row.Has('C') || row.Has('U')};
  }
  static std::string IdentityOf(const Row &row, const std::string &drive) {
    return row.Has('?') ? std::string() : !row.identity.empty() ? row.identity : drive + UpperAscii(row.name);
  }

  Facts facts_;
  std::optional<std::vector<std::string>> listing_;
  std::optional<std::vector<Platform::FolderEntry>> entries_;
};

// The plan in a line: "clear X Y | rename A>B | copy N (left, lies there, outside order, later
// namesake) ... | list NAME: COPIES | write over", or the refusal's message.
std::string Decided(TableFacts &table, const RunOptions &options, bool sizesKnown = true) {
  RunInput input{"C:\\Lists\\mix.m3u", "E:\\Player", {}, {}};
  for (const auto &track : table.Table().tracks) {
    input.tracks.push_back(track.name);
    input.sources.push_back(PathFrom("C:\\Music", track.name));
  }
  input.converted = ConvertedMarks(input, options, table);
  std::string line;
  try {
    const RunPlan plan = PlanRun(input, options, table, sizesKnown);
    const auto part = [&](const std::string &text) { line += (line.empty() ? "" : " | ") + text; };
    std::string words;
    for (const auto &file : plan.deletions)
      words += " " + file.name;
    if (!words.empty())
      part("clear" + words);
    for (const auto &[from, to] : plan.renames)
      part("rename " + from + ">" + to);
    words.clear();
    for (const auto &step : plan.steps) {
      words += (words.empty() ? "" : ", ") + step.name;
      for (const auto &[flag, text] :
           {std::pair{step.left, " left"}, std::pair{step.liesThere, " lies there"},
            std::pair{step.outsideOrder, " outside order"}, std::pair{step.laterNamesake, " later namesake"}})
        words += flag ? text : "";
    }
    part("copy " + words);
    if (plan.playList) {
      words.clear();
      for (const auto &copy : plan.playList->copies)
        words += " " + copy;
      part("list " + plan.playList->name + ":" + words);
    }
    if (plan.keepsEntryOrder && !plan.mayHold)
      part("write over");
  } catch (const ESFException &refusal) {
    line = refusal.what();
  }
  return line;
}

std::string Decided(const Facts &facts, const RunOptions &options, bool sizesKnown = true) {
  TableFacts table(facts);
  return Decided(table, options, sizesKnown);
}

struct Case {
  const char *rule;
  Facts facts;
  RunOptions options;
  std::string plan;
};

void ExpectPlans(const std::vector<Case> &cases) {
  for (const auto &row : cases)
    EXPECT_EQ(Decided(row.facts, row.options), row.plan) << row.rule;
}

const RunOptions kPlain{}, kAdd{true}, kReverse{false, true}, kNumbers{false, false, true},
    kAddNumbers{true, false, true}, kSkip{false, false, false, true}, kSkipNumbers{false, false, true, true},
    kAddSkipNumbers{true, false, true, true}, kPlayList{false, false, false, false, true},
    kAddPlayList{true, false, false, false, true};

TEST(RunPlan, ClearsTheDestinationsWmaAndMp3FilesButNeverATrackNorWhatItCannotAsk) {
  ExpectPlans({
      {"wma and mp3 go, other files and folders stay",
       {{{"a.mp3"}}, {{"old.MP3"}, {"old.wma"}, {"notes.txt"}, {"x.mp3x"}, {"dir.mp3", 0, 0, "D"}}},
       kPlain,
       "clear old.wma old.MP3 | copy a.mp3"},
      {"a track lying in the destination under another name stays",
       {{{"a.mp3"}}, {{"other.mp3", kMiB, kDay, "", "C:A.MP3"}}},
       kPlain,
       "copy a.mp3"},
      {"a file of a track's identity but another size is no track",
       {{{"a.mp3"}}, {{"other.mp3", 2 * kMiB, kDay, "", "C:A.MP3"}}},
       kPlain,
       "clear other.mp3 | copy a.mp3"},
      {"a file that cannot be asked who it is stays",
       {{{"a.mp3"}}, {{"odd.mp3", kMiB, kDay, "?"}}},
       kPlain,
       "copy a.mp3"},
      {"hidden and system files are not listed for clearing",
       {{{"a.mp3"}}, {{"h.mp3", kMiB, kDay, "H"}, {"s.wma", kMiB, kDay, "S"}}},
       kPlain,
       "copy a.mp3"},
      {"add mode clears nothing", {{{"a.mp3"}}, {{"old.mp3"}}}, kAdd, "copy a.mp3"},
      {"a copy left as it was is not cleared",
       {{{"a.mp3"}}, {{"a.mp3"}, {"b.mp3"}}},
       kSkip,
       "clear b.mp3 | copy a.mp3 left"},
  });
}

TEST(RunPlan, NumbersTheCopiesInCopyOrderAndInAddModeAfterTheProgramsOwnHighestNumber) {
  ExpectPlans({
      {"numbers follow the copy order", {{{"a.mp3"}, {"b.mp3"}}}, kNumbers, "copy 001 a.mp3, 002 b.mp3"},
      {"backwards", {{{"a.mp3"}, {"b.mp3"}}}, {false, true, true}, "copy 001 b.mp3, 002 a.mp3"},
      {"only three digits and a blank are the program's own, and only on files",
       {{{"a.mp3"}},
        {{"012 x.mp3"},
         {"1999 Party.mp3"},
         {"99 y.mp3"},
         {"500x.mp3"},
         {"9a9 z.mp3"},
         {"800"},
         {"700 dir", 0, 0, "D"}}},
       kAddNumbers,
       "copy 013 a.mp3"},
      {"no number passes 999", {{{"a.mp3"}, {"b.mp3"}}, {{"998 x.mp3"}}}, kAddNumbers, messages::kNumberBeyond999},
      {"numbers may end at 999",
       {{{"a.mp3"}, {"b.mp3"}, {"c.mp3"}}, {{"996 x.mp3"}}},
       kAddNumbers,
       "copy 997 a.mp3, 998 b.mp3, 999 c.mp3"},
      {"one more passes it",
       {{{"a.mp3"}, {"b.mp3"}, {"c.mp3"}, {"d.mp3"}}, {{"996 x.mp3"}}},
       kAddNumbers,
       messages::kNumberBeyond999},
      {"add mode must read the names its numbers go on after",
       {{{"a.mp3"}}, {}, "NTFS", Facts{}.space, false},
       kAddNumbers,
       FormatText(messages::kDestinationUnreadable, "E:\\Player")},
      {"without add mode an unreadable folder starts at 001",
       {{{"a.mp3"}}, {}, "NTFS", Facts{}.space, false},
       kNumbers,
       "copy 001 a.mp3"},
  });
}

TEST(RunPlan, LeavesUnchangedCopiesAndRenumbersThemByRenames) {
  const std::uint64_t hour = kDay / 24, second = 10'000'000;
  ExpectPlans({
      {"same name, size and time: left",
       {{{"a.mp3"}, {"b.mp3"}}, {{"a.mp3"}, {"b.mp3", 2 * kMiB}}},
       kSkip,
       "clear b.mp3 | copy a.mp3 left, b.mp3"},
      {"two seconds either way", {{{"a.mp3"}}, {{"a.mp3", kMiB, kDay + 2 * second}}}, kSkip, "copy a.mp3 left"},
      {"an hour apart only on FAT", {{{"a.mp3"}}, {{"a.mp3", kMiB, kDay + hour}}}, kSkip, "clear a.mp3 | copy a.mp3"},
      {"an hour apart on FAT", {{{"a.mp3"}}, {{"a.mp3", kMiB, kDay + hour}}, "FAT32"}, kSkip, "copy a.mp3 left"},
      {"a read-only copy cannot be replaced later: not left",
       {{{"a.mp3"}}, {{"a.mp3", kMiB, kDay, "R"}}},
       kSkip,
       FormatText(messages::kTargetProtected, "E:\\Player\\a.mp3")},
      {"a copy under another number takes this run's by a rename",
       {{{"a.mp3"}, {"b.mp3"}}, {{"002 a.mp3"}, {"001 b.mp3"}}},
       kSkipNumbers,
       "rename 002 a.mp3>001 a.mp3 | rename 001 b.mp3>002 b.mp3 | copy 001 a.mp3 left, 002 b.mp3 left"},
      {"the blank after the number belongs to it",
       {{{"a.mp3"}}, {{"001-a.mp3"}}},
       kSkipNumbers,
       "clear 001-a.mp3 | copy 001 a.mp3"},
      {"in add mode a copy left keeps its name and takes no number",
       {{{"a.mp3"}, {"b.mp3"}}, {{"005 a.mp3"}}},
       kAddSkipNumbers,
       "copy 005 a.mp3 left outside order, 006 b.mp3"},
  });
}

TEST(RunPlan, RefusesWhatWouldDestroyAFileBeforeAnythingChanges) {
  ExpectPlans({
      {"a missing track",
       {{{"a.mp3"}, {"b.mp3", kMiB, kDay, "M"}}},
       kPlain,
       FormatText(messages::kTrackMissing, "b.mp3")},
      {"a cloud track that cannot be fetched",
       {{{"a.mp3", kMiB, kDay, "U"}}},
       kPlain,
       FormatText(messages::kTrackNotHere, "a.mp3")},
      {"a cloud track that can", {{{"a.mp3", kMiB, kDay, "C"}}}, kPlain, "copy a.mp3"},
      {"a read-only, hidden or system target of the user's",
       {{{"a.mp3"}, {"b.txt"}}, {{"b.txt", kMiB, kDay, "H"}}},
       kPlain,
       FormatText(messages::kTargetProtected, "E:\\Player\\b.txt")},
      {"a read-only target that is the track itself is its own copy",
       {{{"a.mp3", kMiB, kDay, "", "E:A.MP3"}}, {{"a.mp3", kMiB, kDay, "R"}}},
       kPlain,
       "copy a.mp3 lies there"},
      {"a track lying there under another track's name",
       {{{"a.mp3"}, {"sub\\b.mp3", kMiB, kDay, "", "E:B.MP3"}, {"b.mp3"}}, {{"b.mp3"}}},
       kPlain,
       FormatText(messages::kNamesakeInDestination, "b.mp3", "E:\\Player\\b.mp3")},
      {"a name the system would change", {{{"a.mp3"}, {"b.mp3 "}}}, kPlain, FormatText(messages::kTrackNameInvalid, 2)},
      {"tracks of one name: the last copy stays",
       {{{"x\\a.mp3"}, {"y\\a.mp3"}}},
       kPlain,
       "copy a.mp3 later namesake, a.mp3"},
  });
}

TEST(RunPlan, CountsTheRoomWithWhatTheClearingAndTheReplacingFree) {
  const Platform::DiskSpace tight{kMiB, 4096};
  ExpectPlans({
      {"too little room",
       {{{"a.mp3", 3 * kMiB}}, {}, "NTFS", Platform::DiskSpace{kMiB + 1, 4096}},
       kPlain,
       FormatText(messages::kNoRoom, "3.0", "1.0")},
      {"the clearing frees room",
       {{{"a.mp3", 3 * kMiB}}, {{"old.mp3", 2 * kMiB}}, "NTFS", tight},
       kPlain,
       "clear old.mp3 | copy a.mp3"},
      {"a read-only file frees nothing",
       {{{"a.mp3", 3 * kMiB}}, {{"old.mp3", 2 * kMiB, kDay, "R"}}, "NTFS", tight},
       kPlain,
       FormatText(messages::kNoRoom, "3.0", "1.0")},
      {"a replaced target frees its room",
       {{{"a.mp3", 2 * kMiB}}, {{"a.mp3", kMiB}}, "NTFS", tight},
       kAdd,
       "copy a.mp3"},
      {"a copy left needs none",
       {{{"a.mp3", 3 * kMiB}}, {{"a.mp3", 3 * kMiB}}, "NTFS", Platform::DiskSpace{0, 4096}},
       kSkip,
       "copy a.mp3 left"},
      {"a system that cannot tell is not refused",
       {{{"a.mp3", 3 * kMiB}}, {}, "NTFS", std::nullopt},
       kPlain,
       "copy a.mp3"},
      {"on FAT, the run's record, holding folder and a grown folder take room too",
       {{{"a.mp3", kMiB}}, {{"a.mp3", kMiB / 2}}, "FAT32", Platform::DiskSpace{kMiB / 2, 4096}},
       kAdd,
       "コピー先の空き容量が足りません(必要1.1MB、空き1.0MB)"},
      {"on FAT, without room for both, a replaced file is written over",
       {{{"a.mp3", kMiB}}, {{"a.mp3", kMiB / 2}}, "FAT32", Platform::DiskSpace{kMiB / 2 + 16 * 1024, 4096}},
       kAdd,
       "copy a.mp3 | write over"},
      {"with room, it may wait aside",
       {{{"a.mp3", kMiB}}, {{"a.mp3", kMiB / 2}}, "FAT32", Platform::DiskSpace{2 * kMiB, 4096}},
       kAdd,
       "copy a.mp3"},
  });
}

TEST(RunPlan, ListsTheCopiesInAPlayListFileThatIsTheProgramsOwn) {
  const std::string own = PlayListFileBytes({"old.mp3", "a.mp3"});
  ExpectPlans({
      {"plain ASCII names: .m3u", {{{"a.mp3"}, {"b.mp3"}}}, kPlayList, "copy a.mp3, b.mp3 | list mix.m3u: a.mp3 b.mp3"},
      {"other names: .m3u8",
       {{{"a.mp3"}, {"\xE6\xAD\x8C.mp3"}}},
       kPlayList,
       "copy a.mp3, \xE6\xAD\x8C.mp3 | list mix.m3u8: a.mp3 \xE6\xAD\x8C.mp3"},
      {"a file of the user's under its name stays, and the run is refused",
       {{{"a.mp3"}}, {{"mix.m3u"}}, "NTFS", Facts{}.space, true, {{"mix.m3u", "#EXTM3U\r\na.mp3\r\n"}}},
       kPlayList,
       FormatText(messages::kPlayListFileNotOwn, "E:\\Player\\mix.m3u")},
      {"the program's own file, read-only, is refused too",
       {{{"a.mp3"}}, {{"mix.m3u", kMiB, kDay, "R"}}, "NTFS", Facts{}.space, true, {{"mix.m3u", own}}},
       kPlayList,
       FormatText(messages::kPlayListFileNotOwn, "E:\\Player\\mix.m3u")},
      {"in add mode the earlier copies still there come first",
       {{{"a.mp3"}}, {{"mix.m3u"}, {"old.mp3"}}, "NTFS", Facts{}.space, true, {{"mix.m3u", own}}},
       kAddPlayList,
       "copy a.mp3 | list mix.m3u: old.mp3 a.mp3"},
      {"and those gone are dropped",
       {{{"b.mp3"}}, {{"mix.m3u"}, {"a.mp3"}}, "NTFS", Facts{}.space, true, {{"mix.m3u", own}}},
       kAddPlayList,
       "copy b.mp3 | list mix.m3u: a.mp3 b.mp3"},
  });
}

TEST(RunPlan, AnUnchangedResyncAsksNoIdentityAndNothingOfCopiesItLeaves) {
  Facts facts;
  for (const char *name : {"a.mp3", "b.mp3", "c.mp3"}) {
    facts.tracks.push_back({name});
    facts.destination.push_back({name});
  }
  TableFacts asked(facts);
  EXPECT_EQ(Decided(asked, kSkip), "copy a.mp3 left, b.mp3 left, c.mp3 left");
  EXPECT_EQ(asked.identities, 0);
  EXPECT_EQ(asked.files, 3); // each entry once, as the matching reads them
}

} // namespace
} // namespace sf

namespace sf {
namespace {

RunOptions Converting(RunOptions options, ConvertQuality quality = ConvertQuality::Standard) {
  options.convertTo = quality;
  return options;
}

TEST(RunPlan, TracksThePlayerCannotPlayArriveAsMp3sNamedAfterThem) {
  ExpectPlans({
      {"the lossless, AAC, Ogg and uncompressed kinds convert, in any case; MP3, WMA and others do not",
       {{{"a.flac"}, {"b.M4A"}, {"c.mp3"}, {"d.wma"}, {"e.ogg.txt"}, {"f.Opus"}, {"g.aiff"}, {"h.m4b"}, {"i"}}},
       Converting(kPlain),
       "copy a.mp3, b.mp3, c.mp3, d.wma, e.ogg.txt, f.mp3, g.mp3, h.mp3, i"},
      {"without the option a track is copied as it is", {{{"a.flac"}}}, kPlain, "copy a.flac"},
      {"a converted name meeting another track's is a namesake: the later one stays",
       {{{"a.flac"}, {"a.mp3"}}},
       Converting(kPlain),
       "copy a.mp3 later namesake, a.mp3"},
      {"numbered in copy order", {{{"a.wav"}, {"b.mp3"}}}, Converting(kNumbers), "copy 001 a.mp3, 002 b.mp3"},
      {"the playlist file lists the MP3s",
       {{{"a.ogg"}, {"b.wma"}}},
       Converting(kPlayList),
       "copy a.mp3, b.wma | list mix.m3u: a.mp3 b.wma"},
      {"a missing track is refused as it is named",
       {{{"a.flac", kMiB, kDay, "M"}}},
       Converting(kPlain),
       FormatText(messages::kTrackMissing, "a.flac")},
      {"the destination's earlier MP3s clear, the converted name's too",
       {{{"a.flac"}}, {{"a.mp3"}, {"old.mp3"}}},
       Converting(kPlain),
       "clear a.mp3 old.mp3 | copy a.mp3"},
  });
}

TEST(RunPlan, AConvertedCopyIsLeftWhenItSaysItWasMadeFromTheTrackAsItIsAtTheQualityAsked) {
  const ConvertedMark made{kMiB, kDay, ConvertQuality::Standard};
  const auto destination = [](ConvertedMark mark, std::string name = "a.mp3") {
    Facts facts{{{"a.flac"}}, {{name, 3 * kMiB}}};
    facts.marks[name] = mark;
    return facts;
  };
  ExpectPlans({
      {"its mark is the track's", destination(made), Converting(kSkip), "copy a.mp3 left"},
      {"made at another quality", destination(made), Converting(kSkip, ConvertQuality::Compatible),
       "clear a.mp3 | copy a.mp3"},
      {"from another size", destination({2 * kMiB, kDay}), Converting(kSkip), "clear a.mp3 | copy a.mp3"},
      {"from another time", destination({kMiB, 2 * kDay}), Converting(kSkip), "clear a.mp3 | copy a.mp3"},
      {"a file of the track's own size and time that says nothing is no copy",
       {{{"a.flac"}}, {{"a.mp3"}}},
       Converting(kSkip),
       "clear a.mp3 | copy a.mp3"},
      {"numbered: it takes its new number", destination(made, "007 a.mp3"), Converting(kSkipNumbers),
       "rename 007 a.mp3>001 a.mp3 | copy 001 a.mp3 left"},
      {"an MP3 track beside it is still matched by its size and time",
       {{{"a.flac"}, {"b.mp3"}}, {{"b.mp3"}}},
       Converting(kSkip),
       "copy a.mp3, b.mp3 left"},
  });
}

TEST(RunPlan, TheRoomIsCheckedOnlyOnceTheConvertedSizesAreKnown) {
  // Before the conversion the track's own size stands in, and would refuse a run that fits.
  const Facts facts{{{"a.flac", 40 * kMiB}}, {}, "NTFS", Platform::DiskSpace{20 * kMiB, 4096}};
  EXPECT_EQ(Decided(facts, Converting(kPlain), false), "copy a.mp3");
  EXPECT_EQ(Decided(facts, Converting(kPlain), true), FormatText(messages::kNoRoom, "40.0", "20.0"));
}

} // namespace
} // namespace sf
