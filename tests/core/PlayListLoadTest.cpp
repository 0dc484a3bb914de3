#include "FakePlatform.h"
#include "platform/InOutError.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

#include <functional>

namespace sf {
namespace {

using testing::FakePlatform;

std::string MessageOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const ESFException &error) {
    return error.what();
  }
  return "(no ESFException)";
}

std::vector<std::string> TracksOf(const TPlayList &list) {
  std::vector<std::string> tracks;
  for (std::int32_t i = 0; i < list.Count(); ++i)
    tracks.push_back(list.TrackPath(i));
  return tracks;
}

TEST(PlayListConstruction, ClassifiesByExtensionInAnyCase) {
  FakePlatform fake;
  for (const char *path : {"mix.m3u", "LIST.M3U", "C:\\表\\mix.m3u"}) {
    const TPlayList list(fake, path);
    EXPECT_EQ(list.Kind(), PlayListKind::M3u) << path;
    EXPECT_EQ(list.FileName(), path);
  }
  for (const char *path : {"C:\\Lists\\mix.PLST", "a.Plst"})
    EXPECT_EQ(TPlayList(fake, path).Kind(), PlayListKind::Plst) << path;
  for (const char *path : {"mix.m3u8", "C:\\Lists\\Beyoncé.M3U8"})
    EXPECT_EQ(TPlayList(fake, path).Kind(), PlayListKind::M3u8) << path;

  const TPlayList list(fake, "..\\x.m3u");
  EXPECT_EQ(list.FileName(), "..\\x.m3u");
  EXPECT_TRUE(fake.Journal().empty()) << "construction reads nothing";
}

TEST(PlayListConstruction, RefusesOtherExtensionsNamingThemUpperCased) {
  FakePlatform fake;
  EXPECT_EQ(MessageOf([&] { TPlayList(fake, "x.txt"); }), "拡張子.TXTが不正です");
  EXPECT_EQ(MessageOf([&] { TPlayList(fake, "mix.m3u9"); }), "拡張子.M3U9が不正です");
  EXPECT_EQ(MessageOf([&] { TPlayList(fake, ""); }), "拡張子が不正です");
  EXPECT_EQ(MessageOf([&] { TPlayList(fake, "C:\\dir.m3u\\mix"); }), "拡張子が不正です");
  EXPECT_EQ(MessageOf([&] { TPlayList(fake, "C:\\表.m3u\\表"); }), "拡張子が不正です");
  EXPECT_EQ(MessageOf([&] { TPlayList(fake, "notes.ｔｘｔ"); }), "拡張子.ＴＸＴが不正です");
}

class M3uTest : public ::testing::Test {
protected:
  std::vector<std::string> Load(const std::string &content, std::size_t chunkSize = 4096) {
    fake.AddFile("C:\\Lists\\mix.m3u", content);
    fake.SetChunkSize(chunkSize);
    TPlayList list(fake, "C:\\Lists\\mix.m3u");
    list.Load();
    return TracksOf(list);
  }

  FakePlatform fake;
};

TEST_F(M3uTest, TakesEveryNonBlankLineWithoutIndentOrLineEnd) {
  const std::string content = "  C:\\a.mp3\r\n\r\n\t\tD:\\b.wma\n\n\n..\\c d  \\c.mp3\r\nlast.mp3";
  const std::vector<std::string> expected = {"C:\\a.mp3", "D:\\b.wma", "..\\c d  \\c.mp3", "last.mp3"};
  EXPECT_EQ(Load(content), expected);
  // The same when the file arrives a byte at a time.
  EXPECT_EQ(Load(content, 1), expected);
}

TEST_F(M3uTest, SkipsExtendedM3uDirectivesOnlyAndDropsLoneCarriageReturns) {
  EXPECT_EQ(Load("#EXTM3U\r\n#EXTINF:240,Song\r\n  #extgrp:x\n#EXT\n#EX.mp3\n#1 Hit.mp3\r\na\rb.mp3\r"),
            (std::vector<std::string>{"#EX.mp3", "#1 Hit.mp3", "ab.mp3"}));
}

TEST_F(M3uTest, StopsAtCtrlZAtTheStartOfALine) {
  EXPECT_EQ(Load("a.mp3\r\n  \x1A"
                 "b.mp3\r\n"),
            (std::vector<std::string>{"a.mp3"}));
  // Within a line it is part of the name, which no file can have.
  EXPECT_EQ(MessageOf([&] { Load("a\x1A.mp3\n"); }), "1番目の曲のファイル名が不正です");
}

TEST_F(M3uTest, ReadsShiftJisUnlessAByteOrderMarkSaysUtf8) {
  EXPECT_EQ(Load(testing::ShiftJisBytes("C:\\表\\ソ.mp3\r\n")), (std::vector<std::string>{"C:\\表\\ソ.mp3"}));
  // The mark is found even when the file arrives a byte at a time; directives are skipped as ever.
  const std::string utf8 = "\xEF\xBB\xBF#EXTM3U\r\nBeyoncé - Halo.mp3\r\n#1 Hit.mp3\r\n";
  for (const std::size_t chunk : {1, 2, 4096})
    EXPECT_EQ(Load(utf8, chunk), (std::vector<std::string>{"Beyoncé - Halo.mp3", "#1 Hit.mp3"}));
  // Part of a mark is no mark.
  for (const std::string partial : {"\xEF\xBB\r\na.mp3", "\xEF", "\xEF\xBB"})
    EXPECT_EQ(Load(partial, 1), Load(partial)) << "not " + fake.FromShiftJis(partial);
  EXPECT_EQ(Load("\xEF\xBB\r\na.mp3", 1), (std::vector<std::string>{fake.FromShiftJis("\xEF\xBB"), "a.mp3"}));
}

TEST_F(M3uTest, LoadsAnEmptyFileWithNoTracks) {
  EXPECT_TRUE(Load("").empty());
  EXPECT_TRUE(Load(" \r\n\t\r\n").empty());
}

TEST_F(M3uTest, TakesLinesOfAnyLength) {
  const std::string longLine = "C:\\" + std::string(100000, 'x') + "\\a.mp3";
  EXPECT_EQ(Load(longLine + "\n"), (std::vector<std::string>{longLine}));
}

TEST_F(M3uTest, HoldsAtMost101Tracks) {
  std::string content;
  for (int i = 0; i < 101; ++i)
    content += std::to_string(i) + ".mp3\r\n";
  EXPECT_EQ(Load(content).size(), 101u);
  EXPECT_EQ(MessageOf([&] { Load(content + "\r\n\r\nextra.mp3"); }), "PlayListの曲数が多すぎます(最大101曲)");
  // A binary file has line ends all over it: it is refused without being read to the end.
  std::string binary(1 << 20, '\xFF');
  for (std::size_t i = 0; i < binary.size(); i += 97)
    binary[i] = '\n';
  EXPECT_EQ(MessageOf([&] { Load(binary); }), "PlayListの曲数が多すぎます(最大101曲)");
}

TEST_F(M3uTest, ReportsAnUnreadableFileAsAnInOutError) {
  fake.AddFolder("C:\\Lists");
  TPlayList missing(fake, "C:\\Lists\\gone.m3u");
  try {
    missing.Load();
    FAIL();
  } catch (const EInOutError &error) {
    EXPECT_EQ(error.ErrorCode(), 2);
    EXPECT_STREQ(error.what(), "ファイルが見つかりません");
  }
  // Another program holds it open: a code the messages do not name.
  fake.AddFile("C:\\Lists\\locked.m3u", "a.mp3");
  fake.Fail("Read", "C:\\Lists\\locked.m3u", 32);
  TPlayList locked(fake, "C:\\Lists\\locked.m3u");
  try {
    locked.Load();
    FAIL();
  } catch (const EInOutError &error) {
    EXPECT_EQ(error.ErrorCode(), 32);
    EXPECT_STREQ(error.what(), "I/O エラー (32)");
  }
}

class M3u8Test : public ::testing::Test {
protected:
  std::vector<std::string> Load(const std::string &content) {
    fake.AddFile("C:\\Lists\\mix.m3u8", content);
    TPlayList list(fake, "C:\\Lists\\mix.m3u8");
    list.Load();
    return TracksOf(list);
  }

  FakePlatform fake;
};

TEST_F(M3u8Test, ReadsUtf8WithOrWithoutAMarkAndEveryHashLineIsAComment) {
  const std::string tracks = "#EXTM3U\n#EXTINF:240,Beyoncé - Halo\n  Beyoncé - Halo.mp3\r\n#a comment\n\n"
                             "한국어.mp3\n🎵.wma\n..\\表\\ソ.mp3\n";
  const std::vector<std::string> expected{"Beyoncé - Halo.mp3", "한국어.mp3", "🎵.wma", "..\\表\\ソ.mp3"};
  EXPECT_EQ(Load(tracks), expected);
  EXPECT_EQ(Load("\xEF\xBB\xBF" + tracks), expected);
  std::string many = "#EXTM3U\n";
  for (int i = 0; i < 101; ++i)
    many += "#EXTINF:1,x\n" + std::to_string(i) + ".mp3\n";
  EXPECT_EQ(Load(many).size(), 101u) << "comments do not count";
}

TEST_F(M3u8Test, RefusesMalformedUtf8) {
  for (const char *bad : {"a\xFF.mp3\n", "Beyonc\xE9.mp3\n", "#EXTINF:1,\xC0\xAF\n", "\xED\xA0\x80.mp3", "a\xE3\x81"})
    EXPECT_EQ(MessageOf([&] { Load(bad); }), "PlayListが不正です") << bad;
}

class PlstTest : public ::testing::Test {
protected:
  void Entry(const std::string &key, const std::string &value) {
    fake.SetProfileValue("C:\\Lists\\mix.plst", "PlayList", key, value);
  }
  std::vector<std::string> Load() {
    TPlayList list(fake, "C:\\Lists\\mix.plst");
    list.Load();
    return TracksOf(list);
  }

  FakePlatform fake;
};

TEST_F(PlstTest, TakesThePathOfEachEntry) {
  Entry("Tracks", "4");
  Entry("1", "\"C:\\My Music\\a.mp3\",240");
  Entry("2", "D:\\b.wma,180");
  Entry("3", "' C:\\表 \\ソ.mp3'"); // the profile reader drops the quotes, the entry keeps its blanks
  Entry("4", "\"x\",\"y\",1");
  Entry("5", "not read");
  EXPECT_EQ(Load(), (std::vector<std::string>{"C:\\My Music\\a.mp3", "D:\\b.wma", " C:\\表 \\ソ.mp3", "x"}));
}

TEST_F(PlstTest, ReadsTheTrackCountAsANumber) {
  Entry("Tracks", "0x2");
  Entry("1", "a.mp3");
  Entry("2", "b.mp3");
  EXPECT_EQ(Load().size(), 2u);
}

TEST_F(PlstTest, RefusesAPlayListWithoutTracks) {
  EXPECT_EQ(MessageOf([&] { Load(); }), "PlayListに曲がありません");
  for (const char *tracks : {"0", "-1", "two", ""}) {
    Entry("Tracks", tracks);
    EXPECT_EQ(MessageOf([&] { Load(); }), "PlayListに曲がありません") << tracks;
  }
}

TEST_F(PlstTest, RefusesAMissingOrEmptyEntry) {
  Entry("Tracks", "3");
  Entry("1", "a.mp3");
  Entry("3", "c.mp3");
  EXPECT_EQ(MessageOf([&] { Load(); }), "PlayListが不正です");
  Entry("2", "");
  EXPECT_EQ(MessageOf([&] { Load(); }), "PlayListが不正です");
}

TEST_F(PlstTest, RefusesAnOpenQuoteNamingTheEntry) {
  Entry("Tracks", "2");
  Entry("1", "a.mp3");
  Entry("2", "\"C:\\a.mp3,240");
  EXPECT_EQ(MessageOf([&] { Load(); }), "2番目の曲のファイル名が不正です");
}

TEST_F(PlstTest, HoldsAtMost101Tracks) {
  for (int i = 1; i <= 102; ++i)
    Entry(std::to_string(i), "t.mp3");
  Entry("Tracks", "101");
  EXPECT_EQ(Load().size(), 101u);
  Entry("Tracks", "102");
  EXPECT_EQ(MessageOf([&] { Load(); }), "PlayListの曲数が多すぎます(最大101曲)");
  Entry("Tracks", "$7FFFFFFF");
  EXPECT_EQ(MessageOf([&] { Load(); }), "PlayListの曲数が多すぎます(最大101曲)");
}

TEST(PlstEntry, FindsTheClosingQuoteOnlyBeforeAComma) {
  FakePlatform fake;
  EXPECT_EQ(ParsePlstEntry("\"a\"b\",1", 1), "a\"b");
  EXPECT_EQ(ParsePlstEntry("\",240", 1), "");
  EXPECT_EQ(ParsePlstEntry("a,b,c", 1), "a");
  EXPECT_EQ(ParsePlstEntry("表,ソ", 1), "表");
  EXPECT_EQ(MessageOf([&] { ParsePlstEntry("\"a\"", 7); }), "7番目の曲のファイル名が不正です");
  EXPECT_EQ(MessageOf([&] { ParsePlstEntry("\"", 1); }), "1番目の曲のファイル名が不正です");
}

TEST_F(PlstTest, TakesFileUrisAndRefusesOtherSchemesAsEveryFormatDoes) {
  Entry("Tracks", "2");
  Entry("1", "file:///C:/Music/a%20b.mp3,240");
  Entry("2", "D:\\b.wma");
  EXPECT_EQ(Load(), (std::vector<std::string>{"C:\\Music\\a b.mp3", "D:\\b.wma"}));
  Entry("1", "http://x/a.mp3");
  EXPECT_EQ(MessageOf([&] { Load(); }), "1番目の曲のファイル名が不正です");
}

TEST(PlayListSize, AFileLargerThanAnyPlayListIsRefusedUnread) {
  FakePlatform fake;
  fake.AddFile("C:\\Lists\\big.m3u", std::string(16 * 1024 * 1024 + 1, '\n'));
  TPlayList list(fake, "C:\\Lists\\big.m3u");
  EXPECT_EQ(MessageOf([&] { list.Load(); }), "PlayListが不正です");
  for (const auto &call : fake.Journal())
    EXPECT_NE(call.rfind("Read", 0), 0u) << call;
}

} // namespace
} // namespace sf
