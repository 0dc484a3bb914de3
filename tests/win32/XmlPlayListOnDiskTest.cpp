#include "FakePlatform.h"
#include "ScratchFolder.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

namespace sf {
namespace {

using testing::ScratchFolder;
using Names = std::vector<std::string>;

Names TracksOf(const TPlayList &list) {
  Names tracks;
  for (std::int32_t i = 0; i < list.Count(); ++i)
    tracks.push_back(list.TrackPath(i));
  return tracks;
}

// Loads the playlist and copies it into `destination`; the information box's text.
std::string LoadAndCopy(Platform &platform, const std::string &path, const std::string &destination) {
  TPlayList list(platform, path);
  list.Load();
  std::vector<std::string> journal;
  testing::RecordingProgress progress(journal);
  list.CopyTracks(progress, destination, false, false);
  return journal.end()[-2];
}

TEST(XmlPlayListOnDisk, CopiesAWplAsWindowsMediaPlayerWritesIt) {
  const ScratchFolder scratch;
  for (const char *name : {"表.mp3", "ソ & co.wma", "c.mp3"})
    scratch.Write(std::string("Music\\") + name, name);
  scratch.MakeFolder("Player");
  scratch.Write("Lists\\mix.wpl", "<?wpl version=\"1.0\"?>\r\n<smil>\r\n    <head>\r\n"
                                  "        <meta name=\"Generator\" content=\"Microsoft Windows Media Player -- "
                                  "12.0.19041.3636\"/>\r\n        <meta name=\"ItemCount\" content=\"3\"/>\r\n"
                                  "        <title>mix</title>\r\n    </head>\r\n    <body>\r\n        <seq>\r\n"
                                  "            <media src=\"..\\Music\\表.mp3\" tid=\"{5E3F1D5C-1}\"/>\r\n"
                                  "            <media src=\"..\\Music\\ソ &amp; co.wma\" albumTitle=\"A\"/>\r\n"
                                  "            <media src=\"" +
                                      scratch / "Music\\c.mp3" +
                                      "\"/>\r\n        </seq>\r\n    </body>\r\n</smil>\r\n");
  Win32Platform platform;
  EXPECT_EQ(LoadAndCopy(platform, scratch / "Lists\\mix.wpl", scratch / "Player"),
            "Info mix.wplより3曲をコピーしました");
  EXPECT_EQ(scratch.Names("Player"), (Names{"c.mp3", "ソ & co.wma", "表.mp3"}));
}

TEST(XmlPlayListOnDisk, CopiesAnXspfWithRelativeAndAbsoluteFileUrisInUtf8AndUtf16) {
  const ScratchFolder scratch;
  scratch.Write("Lists\\sub\\한국 🎵.mp3", "a");
  scratch.Write("Music\\Beyoncé.mp3", "b");
  scratch.MakeFolder("Player");
  std::string absolute = "file:///" + scratch / "Music\\Beyonc%C3%A9.mp3";
  for (auto &c : absolute)
    c = c == '\\' ? '/' : c;
  const std::string xspf = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><title>mix</title><trackList>\n"
                           "<track><title>A</title><location>sub/%ED%95%9C%EA%B5%AD%20🎵.mp3</location></track>\n"
                           "<track><location><![CDATA[" +
                           absolute + "]]></location><duration>1</duration></track>\n</trackList></playlist>\n";
  scratch.Write("Lists\\mix.xspf", xspf);
  std::string declaredWide = xspf;
  declaredWide.replace(declaredWide.find("UTF-8"), 5, "UTF-16");
  const std::wstring wide = L"\xFEFF" + Widen(declaredWide);
  scratch.Write("Lists\\wide.xspf",
                std::string(reinterpret_cast<const char *>(wide.data()), wide.size() * sizeof(wchar_t)));
  Win32Platform platform;
  TPlayList wideList(platform, scratch / "Lists\\wide.xspf");
  wideList.Load();
  EXPECT_EQ(TracksOf(wideList), (Names{"sub\\한국 🎵.mp3", scratch / "Music\\Beyoncé.mp3"}));
  EXPECT_EQ(LoadAndCopy(platform, scratch / "Lists\\mix.xspf", scratch / "Player"),
            "Info mix.xspfより2曲をコピーしました");
  EXPECT_EQ(scratch.Names("Player"), (Names{"Beyoncé.mp3", "한국 🎵.mp3"}));
}

TEST(XmlPlayListOnDisk, RefusesHostileXmlQuickly) {
  const std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE smil [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
      "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
      "]>\n<smil><body><seq><media src=\"&g;\"/></seq></body></smil>";
  std::string deep = "<smil><body><seq><media src=\"a.mp3\"/>";
  for (int i = 0; i < 20000; ++i)
    deep += "<x>";
  for (int i = 0; i < 20000; ++i)
    deep += "</x>";
  deep += "</seq></body></smil>";
  const std::string wide = "<smil><body><seq><media src=\"" + std::string(5 << 20, 'a') + "\"/></seq></body></smil>";
  const struct {
    const char *what;
    std::string bytes;
  } cases[] = {
      {"DTD with entity expansion", laughs},
      {"nesting 20000 deep", deep},
      {"attribute of 5 MB", wide},
      {"invalid UTF-8", "<smil><body><seq><media src=\"\xC0\xAF.mp3\"/></seq></body></smil>"},
      {"Shift-JIS declared", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><smil><body><seq><media src=\"a\"/>"
                             "</seq></body></smil>"},
      {"mismatched end tag", "<smil><body><seq><media src=\"a.mp3\"/></body></seq></smil>"},
      {"cut within a tag", "<smil><body><seq><media src=\"a.mp3"},
      {"wrong root", "<playlist><body><seq><media src=\"a.mp3\"/></seq></body></playlist>"},
      {"empty file", ""},
  };
  const ScratchFolder scratch;
  Win32Platform platform;
  for (const auto &c : cases) {
    scratch.Write("hostile.wpl", c.bytes);
    TPlayList list(platform, scratch / "hostile.wpl");
    const auto start = std::chrono::steady_clock::now();
    std::string message = "(loaded)";
    try {
      list.Load();
    } catch (const ESFException &error) {
      message = error.what();
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(message, "PlayListが不正です") << c.what;
    std::cout << "  " << c.what << ": refused in " << took.count() << " ms\n";
  }
}

} // namespace
} // namespace sf
