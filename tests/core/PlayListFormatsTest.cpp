#include "FakePlatform.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"
#include "playlist/TrackUri.h"

#include <gtest/gtest.h>

#include <variant>

namespace sf {
namespace {

using testing::FakePlatform;
using Lines = std::vector<std::string>;
using Element = Platform::XmlElement;
// The tracks a playlist loads as, or the message it is refused with.
using Outcome = std::variant<Lines, std::string>;

Outcome Load(FakePlatform &fake, const std::string &path) {
  try {
    TPlayList list(fake, path);
    list.Load();
    Lines tracks;
    for (std::int32_t i = 0; i < list.Count(); ++i)
      tracks.push_back(list.TrackPath(i));
    return tracks;
  } catch (const ESFException &error) {
    return std::string(error.what());
  }
}

// A path of 3,015 characters in folders of 250.
std::string LongPath() {
  std::string path = "C:";
  for (int i = 0; i < 12; ++i)
    path += "\\" + std::string(250, 'a');
  return path;
}

std::string Invalid(int number) { return std::to_string(number) + "番目の曲のファイル名が不正です"; }

TEST(PlayListFormats, TakesTheNewExtensionsInAnyCase) {
  FakePlatform fake;
  EXPECT_EQ(TPlayList(fake, "mix.PLS").Kind(), PlayListKind::Pls);
  EXPECT_EQ(TPlayList(fake, "C:\\表\\mix.Wpl").Kind(), PlayListKind::Wpl);
  EXPECT_EQ(TPlayList(fake, "mix.xspf").Kind(), PlayListKind::Xspf);
  EXPECT_THROW(TPlayList(fake, "mix.xsp"), ESFException);
}

TEST(TrackUri, TurnsFileUrisIntoPathsAndRefusesTheRest) {
  const auto P = TrackSyntax::PathOrUri, R = TrackSyntax::UriReference;
  const std::optional<std::string> refused;
  const struct {
    const char *written;
    TrackSyntax syntax;
    std::optional<std::string> path;
  } cases[] = {
      {"file:///C:/Music/a%20b.mp3", P, "C:\\Music\\a b.mp3"},
      {"file:/C:/Music/a%20b.mp3", P, "C:\\Music\\a b.mp3"},
      {"FILE://LocalHost/C:/Music/a.mp3", P, "C:\\Music\\a.mp3"},
      {"file://server/share/x.mp3", P, "\\\\server\\share\\x.mp3"},
      {"file:////server/share/x.mp3", P, "\\\\server\\share\\x.mp3"},
      {"file:///C:/%E9%9F%B3%E6%A5%BD/%F0%9F%8E%B5.mp3", P, "C:\\音楽\\🎵.mp3"},
      {"file:///C:/表/a%3F%23.mp3?x=1#t", P, "C:\\表\\a?#.mp3"},
      {"file:///C:/a.mp3#%ZZ", P, "C:\\a.mp3"},
      {"C:\\Music\\a%20b.mp3", P, "C:\\Music\\a%20b.mp3"},
      {"..\\Music\\#1 Hit.mp3", P, "..\\Music\\#1 Hit.mp3"},
      {"../Music/a%20b.mp3#x", R, "..\\Music\\a b.mp3"},
      {"//server/share/x.mp3", R, "\\\\server\\share\\x.mp3"},
      {"http://example.com/a.mp3", P, refused},
      {"https://example.com/a.mp3", R, refused},
      {"mms://host/a", P, refused},
      {"rtsp://host/a", P, refused},
      {"file:///C:/a%C0%AF.mp3", P, refused}, // no UTF-8
      {"file:///C:/a%00.mp3", P, refused},
      {"file:///C:/a%0A.mp3", P, refused},
      {"file:///C:/a%2.mp3", P, refused},
      {"file:///Music/a.mp3", P, refused}, // no drive
      {"file:C:/a.mp3", P, refused},
      {"file://user@host/a.mp3", P, refused},
      {"file://", P, refused},
      {"a%FF.mp3", R, refused},
      {"", P, refused},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TrackPathOf(c.written, c.syntax), c.path) << c.written;
}

TEST(PlayListFormats, M3uLinesAsFileUrisCountOnlyTracks) {
  FakePlatform fake;
  fake.AddFile("C:\\L\\a.m3u8", "#EXTM3U\nfile:///D:/%E8%A1%A8.mp3\n#EXTINF:1,x\nhttp://radio/stream\n");
  EXPECT_EQ(Load(fake, "C:\\L\\a.m3u8"), Outcome(Invalid(2)));
  fake.AddFile("C:\\L\\b.m3u", testing::ShiftJisBytes("#EXTM3U\nfile:///D:/表/a%20b.mp3\n#2 Hit.mp3\n"));
  EXPECT_EQ(Load(fake, "C:\\L\\b.m3u"), Outcome(Lines{"D:\\表\\a b.mp3", "#2 Hit.mp3"}));
}

TEST(PlayListFormats, PlsTakesFileKeysInNumberOrder) {
  const struct {
    std::string file;
    Outcome outcome;
  } cases[] = {
      {"[playlist]\r\nNumberOfEntries=3\r\nFile3=c.mp3\r\nTitle1=A\r\nFile1=C:\\a.mp3\r\nLength1=-1\r\n"
       "File10=j.mp3\r\nfile2=\"b c.mp3\"\r\nFILE2=dup.mp3\r\nFile01=x.mp3\r\nFileX=y.mp3\r\nVersion=2\r\n",
       Lines{"C:\\a.mp3", "b c.mp3", "c.mp3", "j.mp3"}},
      {"[other]\nFile1=o.mp3\n[ PlayList ]\nFile1=file:///C:/M/a%20b.mp3\n[playlist]\nFile2=no.mp3\n",
       Lines{"C:\\M\\a b.mp3"}},
      {"\xEF\xBB\xBF[playlist]\nFile1=\xE8\xA1\xA8\\\xF0\x9F\x8E\xB5.mp3\n", Lines{"表\\🎵.mp3"}},
      {"[playlist]\nFile1=ア=ソ.mp3\r\nFile2=曲\n", Lines{"ア=ソ.mp3", "曲"}}, // UTF-8 without a mark
      {testing::ShiftJisBytes("[playlist]\nFile1=表\\ソ.mp3\n"), Lines{"表\\ソ.mp3"}},
      {"[playlist]\nFile1=" + LongPath() + "\n", Lines{LongPath().substr(0, 2047)}},
      {"[playlist]\nFile1=a.mp3\nFile2=http://radio/x\n", Invalid(2)},
      {"[playlist]\nFile1=\n", Invalid(1)},
      {"\xEF\xBB\xBF[playlist]\nFile1=\x95\x5c.mp3\n", "PlayListが不正です"},
      {"File1=a.mp3\n", "PlayListが不正です"},
      {"[playlist]\nNumberOfEntries=0\nTitle1=x\n", "PlayListに曲がありません"},
  };
  for (const auto &c : cases) {
    FakePlatform fake;
    fake.AddFile("C:\\Lists\\mix.pls", c.file);
    EXPECT_EQ(Load(fake, "C:\\Lists\\mix.pls"), c.outcome) << c.file.substr(0, 60);
  }
}

Element E(int depth, std::string name, std::vector<std::pair<std::string, std::string>> attributes = {},
          std::string text = {}, std::string nameSpace = {}) {
  return {depth, std::move(name), std::move(nameSpace), std::move(attributes), std::move(text)};
}

TEST(PlayListFormats, WplTakesTheMediaOfTheSequences) {
  const std::vector<Element> player = {E(0, "smil"),
                                       E(1, "head"),
                                       E(2, "meta", {{"name", "Generator"}}),
                                       E(2, "title", {}, "mix"),
                                       E(1, "body"),
                                       E(2, "seq"),
                                       E(3, "media", {{"src", "..\\Music\\a.mp3"}, {"tid", "{1}"}}),
                                       E(4, "media", {{"src", "nested.mp3"}}),
                                       E(3, "media", {{"tid", "{2}"}, {"src", "file:///C:/M/b%20c.wma"}}),
                                       E(2, "media", {{"src", "notinseq.mp3"}}),
                                       E(2, "seq"),
                                       E(3, "media", {{"src", "C:\\表.mp3"}}),
                                       E(1, "seq"),
                                       E(2, "media", {{"src", "notinbody.mp3"}})};
  const struct {
    std::vector<Element> elements;
    Outcome outcome;
  } cases[] = {
      {player, Lines{"..\\Music\\a.mp3", "C:\\M\\b c.wma", "C:\\表.mp3"}},
      {{E(0, "smil"), E(1, "body"), E(2, "seq"), E(3, "media", {{"src", "mms://x/y"}})}, Invalid(1)},
      {{E(0, "smil"), E(1, "body"), E(2, "seq"), E(3, "media")}, Invalid(1)},
      {{E(0, "smil"), E(1, "body"), E(2, "seq")}, "PlayListに曲がありません"},
      {{E(0, "playlist"), E(1, "body"), E(2, "seq"), E(3, "media", {{"src", "a.mp3"}})}, "PlayListが不正です"},
      {{}, "PlayListが不正です"},
  };
  for (const auto &c : cases) {
    FakePlatform fake;
    fake.AddXmlFile("C:\\Lists\\mix.wpl", c.elements);
    EXPECT_EQ(Load(fake, "C:\\Lists\\mix.wpl"), c.outcome);
  }
  FakePlatform fake;
  fake.AddFile("C:\\Lists\\bad.wpl", "<smil>");
  EXPECT_EQ(Load(fake, "C:\\Lists\\bad.wpl"), Outcome("PlayListが不正です")) << "no XML the system reads";
}

TEST(PlayListFormats, XspfTakesTheFirstLocationOfEachTrack) {
  const std::string ns = "http://xspf.org/ns/0/";
  const auto X = [&](int depth, std::string name, std::string text = {}) {
    return E(depth, std::move(name), {}, std::move(text), ns);
  };
  const struct {
    std::vector<Element> elements;
    Outcome outcome;
  } cases[] = {
      {{X(0, "playlist"), X(1, "title", "mix"), X(1, "trackList"), X(2, "track"), X(3, "title", "A"),
        X(3, "location", " \n a%20b.mp3\n"), X(3, "location", "second.mp3"), X(2, "track"),
        E(3, "location", {}, "other-namespace.mp3", "urn:x"), X(3, "location", "file:///C:/%E9%9F%B3/b.mp3"),
        X(2, "track"), X(3, "extension"), X(4, "location", "nested.mp3"), X(3, "location", "sub/%F0%9F%8E%B5.mp3")},
       Lines{"a b.mp3", "C:\\音\\b.mp3", "sub\\🎵.mp3"}},
      {{X(0, "playlist"), X(1, "trackList"), X(2, "track"), X(3, "location", "a.mp3"), X(2, "track"),
        X(3, "title", "no location")},
       Invalid(2)},
      {{X(0, "playlist"), X(1, "trackList"), X(2, "track"), X(3, "location", "http://x/a.mp3")}, Invalid(1)},
      {{X(0, "playlist"), X(1, "trackList")}, "PlayListに曲がありません"},
      {{E(0, "playlist"), E(1, "trackList"), E(2, "track"), E(3, "location", {}, "a.mp3")}, "PlayListが不正です"},
      {{X(0, "smil")}, "PlayListが不正です"},
  };
  for (const auto &c : cases) {
    FakePlatform fake;
    fake.AddXmlFile("C:\\Lists\\mix.xspf", c.elements);
    EXPECT_EQ(Load(fake, "C:\\Lists\\mix.xspf"), c.outcome);
  }
}

TEST(PlayListFormats, CopiesAWplAsAnM3uAndStopsPastTheLimit) {
  FakePlatform fake;
  fake.AddFolder("E:\\Player");
  std::vector<Element> elements = {E(0, "smil"), E(1, "body"), E(2, "seq")};
  for (const char *name : {"a.mp3", "b.wma", "c.mp3"}) {
    fake.AddFile(std::string("C:\\Music\\") + name, "music");
    elements.push_back(E(3, "media", {{"src", std::string("..\\Music\\") + name}}));
  }
  fake.AddXmlFile("C:\\Lists\\mix.wpl", elements);
  TPlayList list(fake, "C:\\Lists\\mix.wpl");
  list.Load();
  testing::RecordingProgress progress(fake.Journal());
  list.CopyTracks(progress, "E:\\Player", false, false);
  EXPECT_EQ(fake.Journal().end()[-2], "Info mix.wplより3曲をコピーしました");
  EXPECT_EQ(fake.FilesIn("E:\\Player").size(), 3u);

  elements.resize(3);
  elements.insert(elements.end(), kMaxTracks + 1, E(3, "media", {{"src", "a.mp3"}}));
  elements.push_back(E(3, "media", {{"src", "http://x"}}));
  fake.AddXmlFile("C:\\Lists\\long.wpl", elements);
  EXPECT_EQ(Load(fake, "C:\\Lists\\long.wpl"), Outcome("PlayListの曲数が多すぎます(最大101曲)"));
}

} // namespace
} // namespace sf
