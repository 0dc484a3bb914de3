#include "playlist/PlayListFile.h"
#include "FakePlatform.h"
#include "platform/PathParts.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

using Names = std::vector<std::string>;

// The digests are 64-bit FNV-1a of the track lines.
TEST(PlayListFile, IsM3uForPlainAsciiElseM3u8WithoutMarkAndEscapesNamesAfterHashesAndBlanks) {
  const struct {
    Names copies;
    const char *name;
    std::string bytes;
  } cases[] = {
      {{"a.mp3", "B c.wma"}, "mix.m3u", "#EXTM3U\r\n#EXT-X-SONGFERRY:8F81AC25071AC154\r\na.mp3\r\nB c.wma\r\n"},
      {{"表.mp3"}, "mix.m3u8", "#EXTM3U\r\n#EXT-X-SONGFERRY:83B4FD05139EDE85\r\n表.mp3\r\n"},
      {{"#1 Hit.mp3", " intro.mp3", "a #2.mp3"},
       "mix.m3u",
       "#EXTM3U\r\n#EXT-X-SONGFERRY:D5755E221D0DCCC1\r\n.\\#1 Hit.mp3\r\n.\\ intro.mp3\r\na #2.mp3\r\n"},
  };
  for (const auto &[copies, name, bytes] : cases) {
    EXPECT_EQ(PlayListFileName("C:\\Lists\\mix.xspf", copies), name);
    EXPECT_EQ(PlayListFileBytes(copies), bytes);
  }
  EXPECT_EQ(PlayListFileName("D:\\表.v2.M3U8", {"tab\t.mp3"}), "表.v2.m3u8");
}

TEST(PlayListFile, OnlyItsOwnUneditedBytesAreOwnAndGiveBackTheirCopies) {
  for (const Names &copies : {Names{}, Names{"a.mp3", "表.mp3", "#1 Hit.mp3", " intro.mp3", "A.MP3"}})
    EXPECT_EQ(OwnPlayListCopies(PlayListFileBytes(copies)), copies);

  const auto own = PlayListFileBytes({"a.mp3", "b.mp3"});
  const auto tracks = own.substr(own.find("a.mp3"));
  for (const std::string &other : {
           own.substr(0, own.size() - 7) + "c.mp3\r\n",             // a track line edited
           own.substr(0, own.size() - 2) + "\n",                    // saved with LF
           "\xEF\xBB\xBF" + own,                                    // saved with a byte-order mark
           "#EXTM3U\r\n" + tracks,                                  // the program's line missing
           own.substr(9),                                           // "#EXTM3U" missing
           PlayListFileBytes({".\\a.mp3"}),                         // a ".\" the program would not write
           std::string("C:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n"), // the playlist copied from
           std::string("\xFF\xFB\x90\0\r\n\0\x01\r\n", 10),         // binary
           // Lines that are no names, under a digest that matches them.
           PlayListFileBytes({"\xFF.mp3"}),
           PlayListFileBytes({"a\rb.mp3"}),
           PlayListFileBytes({""}),
       })
    EXPECT_FALSE(IsOwnPlayListFile(other)) << other;
}

TEST(PlayListFile, AddingListsTheEarlierCopiesStillThereThenThisRunsEachNameOnceAtItsLastPlace) {
  Names asked;
  const auto stillThere = [&](const std::string &name) {
    asked.push_back(name);
    return name != "gone.mp3";
  };
  EXPECT_EQ(CopiesToList({"a.mp3", "gone.mp3", "B.mp3", "c.mp3", "A.MP3"}, {"d.mp3", "b.MP3", "e.mp3", "D.mp3"},
                         stillThere, [](std::string_view text) { return UpperAscii(text); }),
            (Names{"a.mp3", "c.mp3", "b.MP3", "e.mp3", "D.mp3"}));
  EXPECT_EQ(asked, (Names{"a.mp3", "gone.mp3", "c.mp3"})) << "only names this run did not copy";
}

// A ".\" name is a path in the destination; the program's line is no track.
TEST(PlayListFile, TheProgramsOwnReaderReadsTheCopiesBackInOrder) {
  const struct {
    Names copies, read;
  } cases[] = {
      {{"b.mp3", "#1 Hit.mp3", " intro.mp3"}, {"b.mp3", ".\\#1 Hit.mp3", ".\\ intro.mp3"}},
      {{"表.mp3", "#歌.mp3", "a.mp3"}, {"表.mp3", ".\\#歌.mp3", "a.mp3"}},
  };
  for (const auto &[copies, read] : cases) {
    testing::FakePlatform fake;
    const auto path = "E:\\" + PlayListFileName("mix.xspf", copies);
    fake.AddFile(path, PlayListFileBytes(copies));
    TPlayList list(fake, path);
    list.Load();
    Names tracks;
    for (std::int32_t i = 0; i < list.Count(); ++i)
      tracks.push_back(list.TrackPath(i));
    EXPECT_EQ(tracks, read) << path;
  }
}

} // namespace
} // namespace sf
