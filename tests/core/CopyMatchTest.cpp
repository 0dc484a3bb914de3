#include "playlist/CopyMatch.h"
#include "FakePlatform.h"
#include "platform/PathParts.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

using testing::FakePlatform;

// A track (full path) or a file of the destination (name), with its size and its last write in
// seconds from a fixed time.
struct Entry {
  std::string name;
  std::size_t size = 5;
  std::int64_t seconds = 0;
  unsigned attributes = FakePlatform::kNormal;
};

struct Case {
  const char *what;
  const char *fileSystem;
  bool numbered;
  std::vector<Entry> tracks;
  std::vector<Entry> files;
  std::vector<std::optional<std::size_t>> copies;
};

constexpr std::uint64_t kSomeTime = 133'500'000'000'000'000; // 2024, in 100 ns
const Entry kSong{"C:\\Music\\Song.mp3"};
const std::optional<std::size_t> kNone;

TEST(MatchCopies, FindsTheCopyOfATrackByNameSizeTimeAndAttributes) {
  const Case cases[] = {
      {"the same name, size and time", "NTFS", false, {kSong}, {{"Song.mp3"}}, {0}},
      {"names as the system compares them", "NTFS", false, {{"C:\\ｓong.mp3"}}, {{"ＳONG.MP3"}}, {0}},
      {"another name", "NTFS", false, {kSong}, {{"Song2.mp3"}}, {kNone}},
      {"another size", "NTFS", false, {kSong}, {{"Song.mp3", 6}}, {kNone}},
      {"2 s later", "NTFS", false, {kSong}, {{"Song.mp3", 5, 2}}, {0}},
      {"2 s earlier", "NTFS", false, {kSong}, {{"Song.mp3", 5, -2}}, {0}},
      {"3 s later", "NTFS", false, {kSong}, {{"Song.mp3", 5, 3}}, {kNone}},
      {"3 s earlier", "NTFS", false, {kSong}, {{"Song.mp3", 5, -3}}, {kNone}},
      {"an hour and 2 s later on FAT", "FAT", false, {kSong}, {{"Song.mp3", 5, 3602}}, {0}},
      {"an hour and 2 s earlier on FAT32", "FAT32", false, {kSong}, {{"Song.mp3", 5, -3602}}, {0}},
      {"an hour less 2 s earlier on FAT32", "FAT32", false, {kSong}, {{"Song.mp3", 5, -3598}}, {0}},
      {"an hour and 3 s later on FAT", "FAT", false, {kSong}, {{"Song.mp3", 5, 3603}}, {kNone}},
      {"an hour later on exFAT", "exFAT", false, {kSong}, {{"Song.mp3", 5, 3600}}, {kNone}},
      {"read-only, hidden or system",
       "NTFS",
       false,
       {{"C:\\a.mp3"}, {"C:\\b.mp3"}, {"C:\\c.mp3"}},
       {{"a.mp3", 5, 0, FakePlatform::kReadOnly},
        {"b.mp3", 5, 0, FakePlatform::kHidden},
        {"c.mp3", 5, 0, FakePlatform::kSystem}},
       {kNone, kNone, kNone}},
      {"any number of three digits and a blank",
       "NTFS",
       true,
       {kSong},
       {{"Song.mp3"}, {"07 Song.mp3"}, {"0007 Song.mp3"}, {"007 Song.mp3"}},
       {3}},
      {"a number without numbers on", "NTFS", false, {kSong}, {{"001 Song.mp3"}}, {kNone}},
      {"the lowest number of those that match",
       "NTFS",
       true,
       {kSong},
       {{"005 Song.mp3"}, {"001 Song.mp3", 6}, {"002 Song.mp3"}},
       {2}},
      {"one file for two tracks",
       "NTFS",
       true,
       {{"C:\\A\\Song.mp3"}, {"C:\\B\\Song.mp3"}},
       {{"003 Song.mp3"}},
       {0, kNone}},
      {"two files for two tracks",
       "NTFS",
       true,
       {{"C:\\A\\Song.mp3"}, {"C:\\B\\Song.mp3"}},
       {{"009 Song.mp3"}, {"004 Song.mp3"}},
       {1, 0}},
      {"namesakes, the later one's copy there",
       "NTFS",
       false,
       {{"C:\\A\\Song.mp3"}, {"C:\\B\\Song.mp3", 7}},
       {{"Song.mp3", 7}},
       {0, 0}},
      {"namesakes, the earlier one's copy there",
       "NTFS",
       false,
       {{"C:\\A\\Song.mp3"}, {"C:\\B\\Song.mp3", 7}},
       {{"Song.mp3"}},
       {kNone, kNone}},
  };
  for (const auto &row : cases) {
    SCOPED_TRACE(row.what);
    FakePlatform fake;
    fake.SetFileSystem("E:", row.fileSystem);
    const auto add = [&](const std::string &path, const Entry &entry) {
      fake.AddFile(path, std::string(entry.size, 'x'), entry.attributes);
      fake.SetLastWrite(path, kSomeTime + static_cast<std::uint64_t>(entry.seconds * 10'000'000));
      return fake.QueryFile(path);
    };
    std::vector<TrackToMatch> tracks;
    for (const auto &track : row.tracks)
      tracks.push_back({FileNamePart(track.name), add(track.name, track)});
    std::vector<FileInDestination> files;
    for (const auto &file : row.files)
      files.push_back({file.name, add("E:\\Player\\" + file.name, file)});
    EXPECT_EQ(MatchCopies(tracks, files, row.numbered, fake.FileSystemOf("E:\\Player"),
                          [&](std::string_view text) { return fake.UpperCase(text); }),
              row.copies);
  }
}

} // namespace
} // namespace sf
