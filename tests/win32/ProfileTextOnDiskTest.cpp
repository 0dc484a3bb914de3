// The portable profile reader and writer against the system's own functions, under code page 932.
#include "ScratchFolder.h"
#include "platform/Utf8.h"
#include "platform/win32/Utf16.h"
#include "settings/ProfileText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::ScratchFolder;

// Bytes as C escapes, long runs of one byte shortened.
std::string Shown(std::string_view bytes) {
  std::string shown;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const char c = bytes[at];
    std::size_t run = 1;
    while (at + run < bytes.size() && bytes[at + run] == c)
      ++run;
    if (run > 8) {
      shown += Shown(bytes.substr(at, 1)) + "{" + std::to_string(run) + "}";
      at += run - 1;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      shown += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    }
  }
  return shown;
}

// The test's texts are written in UTF-8: as Shift-JIS bytes, with bytes that are no UTF-8 (lone lead
// bytes and the like, written as escapes) passed on as they are.
std::string ShiftJis(std::string_view text) {
  std::string bytes;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > 1 && at + length <= text.size() && IsValidUtf8(text.substr(at, length))) {
      bytes += ToCodePage(kShiftJis, text.substr(at, length));
      at += length;
    } else {
      bytes += text[at++];
    }
  }
  return bytes;
}

struct Query {
  std::string section;
  std::string key;
  std::string defaultValue = "def";
  std::size_t bufferSize = 2048;
};

std::vector<Query> ShiftJis(const std::vector<Query> &queries) {
  std::vector<Query> converted;
  for (const auto &q : queries)
    converted.push_back({ShiftJis(q.section), ShiftJis(q.key), ShiftJis(q.defaultValue), q.bufferSize});
  return converted;
}

bool IsLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The longest run of whole Shift-JIS characters from the start of `text` within `size` bytes; with
// `size` npos, the text less a lead byte left at its end.
std::string WholeCharacters(std::string_view text, std::size_t size = std::string_view::npos) {
  std::size_t length = 0;
  for (std::size_t next = 0; length < text.size(); length = next) {
    next = length + (IsLeadByte(text[length]) && length + 1 < text.size() && text[length + 1] != '\0' ? 2 : 1);
    if (next > size || (IsLeadByte(text[length]) && next == length + 1 && next == text.size()))
      break;
  }
  return std::string(text.substr(0, length));
}

std::wstring WideFromShiftJis(std::string_view bytes) { return Widen(FromCodePage(kShiftJis, bytes)); }

// The system's functions are the reference: under code page 932 its ANSI ones on the Shift-JIS
// file. Under another code page those would read the file with that page; there the file is given
// in UTF-16 to its wide functions, which hold the grammar, and the ANSI layer is done here as the
// system does it under 932: arguments less a lead byte left at their end, the value converted back
// and cut to whole characters.
class ProfileTextOnDisk : public ::testing::Test {
protected:
  // Each file gets a new name: the system keeps the profiles it has read in a cache.
  std::string NewFile(const std::string &content) {
    const std::string name = std::to_string(++files_) + ".ini";
    if (wide_) {
      const std::wstring text = L"\xFEFF" + WideFromShiftJis(content);
      scratch.Write(name, std::string(reinterpret_cast<const char *>(text.data()), text.size() * sizeof(wchar_t)));
    } else {
      scratch.Write(name, content);
    }
    return scratch / name;
  }

  std::string SystemRead(const std::string &path, const Query &q) const {
    if (wide_) {
      std::wstring buffer(q.bufferSize + 1, L'\0');
      GetPrivateProfileStringW(Argument(q.section).c_str(), Argument(q.key).c_str(), Argument(q.defaultValue).c_str(),
                               buffer.data(), static_cast<DWORD>(q.bufferSize), Widen(path).c_str());
      return WholeCharacters(ToCodePage(kShiftJis, Narrow(buffer.c_str())), q.bufferSize - 1);
    }
    std::string buffer(q.bufferSize + 1, '\0');
    GetPrivateProfileStringA(q.section.c_str(), q.key.c_str(), q.defaultValue.c_str(), buffer.data(),
                             static_cast<DWORD>(q.bufferSize), path.c_str());
    // The text up to its NUL: cut inside a double-byte character, the length returned counts a
    // byte that was left out.
    return buffer.c_str();
  }

  std::string SystemWrite(const std::string &path, const std::string &section, const std::string &key,
                          const std::string &value) const {
    if (wide_) {
      EXPECT_TRUE(WritePrivateProfileStringW(Argument(section).c_str(), Argument(key).c_str(), Argument(value).c_str(),
                                             Widen(path).c_str()));
      WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(path).c_str());
      const std::string bytes = ReadWholeFile(path);
      const std::wstring text(reinterpret_cast<const wchar_t *>(bytes.data()), bytes.size() / sizeof(wchar_t));
      return ToCodePage(kShiftJis, Narrow(text.substr(text.rfind(L'\xFEFF', 0) == 0 ? 1 : 0)));
    }
    EXPECT_TRUE(WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return ReadWholeFile(path);
  }

  static std::wstring Argument(const std::string &bytes) { return WideFromShiftJis(WholeCharacters(bytes)); }

  // Compares every query on `content`; returns the number compared.
  int CompareReads(const std::string &utf8Content, const std::vector<Query> &utf8Queries) {
    const std::string content = ShiftJis(utf8Content);
    const std::string path = NewFile(content);
    int failuresInFile = 0;
    for (const Query &q : ShiftJis(utf8Queries)) {
      const std::string expected = SystemRead(path, q);
      const std::string actual = ReadProfileText(content, q.section, q.key, q.defaultValue, q.bufferSize);
      if (actual != expected && ++failures_ <= 40 && ++failuresInFile <= 4)
        ADD_FAILURE() << "file \"" << Shown(content) << "\"\n[" << Shown(q.section) << "] " << Shown(q.key)
                      << " default \"" << Shown(q.defaultValue) << "\" size " << q.bufferSize << "\nsystem \""
                      << Shown(expected) << "\"\nours   \"" << Shown(actual) << "\"";
    }
    return static_cast<int>(utf8Queries.size());
  }

  // Writes with the system and with WriteProfileText; returns both results.
  std::pair<std::string, std::string> BothWrite(const std::string &utf8Content, const std::string &utf8Section,
                                                const std::string &utf8Key, const std::string &utf8Value) {
    const std::string content = ShiftJis(utf8Content), section = ShiftJis(utf8Section), key = ShiftJis(utf8Key),
                      value = ShiftJis(utf8Value);
    const std::string path = NewFile(content);
    return {SystemWrite(path, section, key, value), WriteProfileText(content, section, key, value)};
  }

  // The system reads both files alike.
  void CompareSystemReads(const std::string &expected, const std::string &actual,
                          const std::vector<Query> &utf8Queries) {
    const std::string expectedPath = NewFile(expected);
    const std::string actualPath = NewFile(actual);
    int failuresInFile = 0;
    for (const Query &q : ShiftJis(utf8Queries))
      if (SystemRead(expectedPath, q) != SystemRead(actualPath, q) && ++failures_ <= 40 && ++failuresInFile <= 4)
        ADD_FAILURE() << "system's file \"" << Shown(expected) << "\"\nour file \"" << Shown(actual) << "\"\n["
                      << Shown(q.section) << "] " << Shown(q.key) << " reads apart";
  }

  ScratchFolder scratch;
  const bool wide_ = GetACP() != kShiftJis;
  int files_ = 0;
  int failures_ = 0;
};

const std::vector<std::string> kNames = {
    "Songferry", "songferry", "SONGFERRY", " Songferry ", "ToDir", "todir", "DefaultDir", "playlist", "TRACKS", "1",
    "2",         "表",        "ソ",        "表ソ",        "Ａｂ",  "ａＢ",  "Ωω",         "ωΩ",       "Жж",     "жЖ",
    "",          "S",         "s",         "key",         "KEY",   "a b",   "x\tx",       "；",       ";c",
};

TEST_F(ProfileTextOnDisk, ReadsHandPickedFilesAsTheSystemDoes) {
  std::string kanji;
  for (int i = 0; i < 1500; ++i)
    kanji += "表";
  const std::vector<std::string> files = {
      "",
      "[Songferry]\r\nToDir=E:\\\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=0\r\nStopAfterCopy=1\r\n",
      "[songferry]\nTODIR = D:\\表\\ソ\\  \nDefaultDir=\t\"C:\\My Music\\a.mp3\",240\n",
      "[playlist]\r\nTRACKS = 2\r\n1=\"C:\\My Music\\a.mp3\",240\r\n2='D:\\ソ.mp3'\r\n",
      "[S]\rkey=v\rKEY=w\r",
      "[S]\rkey=v\r\nother=w\nthird=x\rfourth=y",
      "[S]\nkey=v\rother=w\r\n[T]\r\rkey=z\n\rthird=x",
      "key=before\r\n[S]\r\nkey=first\r\nkey=second\r\n[s]\r\nkey=third\r\nother=only here\r\n",
      "[ S ]\r\nkey=spaced section\r\n[S]\r\nkey=plain\r\n",
      "[S] trailing\r\nkey=1\r\n[a]b]\r\nkey=2\r\n[noclose\r\nkey=3\r\n",
      "[表]\r\n表=ソ\r\nソ=表\r\n[ソ]\r\nkey=表\\\r\n",
      "[S]\r\n;key=comment\r\nkey\r\n key = \"\" \r\n",
      "[S]\r\nkey=\"\r\na b=\"x\"y\"\r\nx\tx='q'\r\n",
      "[S]\r\n　key　=　v　\r\n\x1A\x1Ckey\x1F=\x1Dw\r\n",
      "[Ａｂ]\r\nΩω=greek\r\nЖж=cyrillic\r\n",
      "[Ａｂ]\r\nkey=fullwidth\r\n",
      "[S]\r\nΩω=greek\r\n",
      "[S]\r\nЖж=cyrillic\r\n",
      "[S]\r\n\x1Akey=1A\r\n",
      "[S]\r\n\x1Ckey=1C\r\n",
      "[S]\r\nkey\x1F=1F\r\n",
      "[S]\r\n　key=3000\r\n",
      "[S]\r\nkey=\x0B\x0Cvt\r\n",
      "[S]\r\nkey=" + std::string(3000, 'v') + "\r\n",
      "[S]\r\nkey=" + kanji + "\r\n",
      "[S]\r\nkey=a" + kanji + "\r\n",
      "[S]\r\nkey=a=b=c\r\n=v\r\nk ey=v\r\n",
      "\r\n\r\n[S]\r\n\r\nkey=last line without end",
      "[表]\r\nソ=C:\\ソ\\表\\\r\n[\x81\x5D]\r\nー=1\r\n[\x81]\r\nー=2\r\n[S]\r\n=empty name\r\n",
      "k=before any section\n[ Songferry ]\r  ToDir  =  \"C:\\My Music\\a.mp3\",240  \r\n; comment=1\r\nBare\n"
      "ToDir=second\r\nQuoted='E:\\'\r\n[songferry]\r\nOther=in the second section\r\n",
  };
  std::vector<Query> queries;
  for (const char *section : {"S", "s", " S ", "songferry", "playlist", "表", "ソ", "ａＢ", "missing"})
    for (const char *key :
         {"key", "KEY", " key ", "ToDir", "todir", "defaultdir", "TRACKS", "1",     "2",      "表",     "ソ",
          "ωΩ",  "жЖ",  ";key",  "a b",   "x\tx",  "k ey",       "other",  "third", "fourth", "missing"})
      queries.push_back({section, key});
  for (const char *section : {"", " ", "\x81\x5D", "\x81", "S"})
    for (const char *key : {"", " ", "ー", "k", "; comment", "Bare", "Quoted"})
      queries.push_back({section, key});
  for (const char *defaultValue : {"", " ", "  ", "a  ", "a\t", "\"quoted\"", "'q'", "\"", "表 "})
    queries.push_back({"S", "missing", defaultValue});
  for (const std::size_t size : {1, 2, 3, 4, 5, 1000, 1001, 2048})
    queries.push_back({"S", "key", "default", size});
  for (const std::size_t size : {1, 2, 3, 4})
    queries.push_back({"S", "missing", "\"表\"", size});
  int compared = 0;
  for (const std::string &file : files)
    compared += CompareReads(file, queries);
  std::printf("compared %d reads\n", compared);
}

TEST_F(ProfileTextOnDisk, ReadsStrayLeadBytesAndNulsAsTheSystemDoes) {
  using namespace std::string_literals;
  // A lead byte followed by a byte that cannot be a second byte ("=", "]", a line end, a blank, an
  // unassigned row), and NULs inside names and values.
  const std::vector<std::string> files = {
      "[S]\r\nk\x81=v\r\nkey=after\r\n",
      "[S]\r\nkey=\x81\r\nnext=1\r\n",
      "[S]\r\nkey=\x81\nnext=1\r\n",
      "[S]\r\nkey=\x81\x7Fx\r\nk2=\x81\x20y\r\nk3=\xFC\x3Dz\r\n",
      "[S\x81]\r\nkey=1\r\n[S]\r\nkey=2\r\n",
      "[S]\r\nk\x81 =v\r\nk\x81\x40=w\r\n",
      "[S]\r\nk\0x=v\r\nkey=w\0tail\r\n"s,
      "[S\0x]\r\nkey=v\r\n"s,
      "[S]\r\nk\x85\0x=v\r\nkey\x81\0=w\r\n"s,
      "[so]\rir\0\x85"s,
      "[S]\r\n\0=v\r\nkey=\x81"s,
  };
  std::vector<Query> queries;
  for (const char *section : {"S", "s", "so", "S\x81", "S\x81]"})
    for (const char *key :
         {"k", "key", "k\x81", "k\x81 ", "k\x81\x40", "k\x81=v", "ir", "next", "k2", "k3", "k\x85", "", "missing"})
      queries.push_back({section, key});
  int compared = 0;
  for (const std::string &file : files)
    compared += CompareReads(file, queries);
  // A name that ends in such a lead byte, written back in front of "=".
  for (const auto &[file, section, key] : {std::tuple{"[so]\rir\0\x85"s, "So", "ir"},
                                           {"[S]\r\nkey\x81\0=w\r\n"s, "S", "key\x81\x45"},
                                           {"[S]\r\nk\x81"s, "S", "k\x81\x45"}}) {
    auto [expected, actual] = BothWrite(file, section, key, "");
    CompareSystemReads(expected, actual, queries);
  }
  std::printf("compared %d reads\n", compared);
}

// Random files of the pieces people write by hand and the system writes.
class FileMaker {
public:
  explicit FileMaker(unsigned seed) : random_(seed) {}

  std::string Line() {
    static const std::vector<std::string> kSections = {"[S]",  "[s]",    "[ S ]", "[Songferry]", "[playlist]", "[表]",
                                                       "[ソ]", "[ａＢ]", "[S]x",  "[a]b]",       "[noclose",   "[]"};
    static const std::vector<std::string> kValues = {"",
                                                     "v",
                                                     "E:\\",
                                                     "D:\\表\\ソ\\",
                                                     "\"C:\\My Music\\a.mp3\",240",
                                                     "\"quoted\"",
                                                     "'single'",
                                                     "\"",
                                                     "\"a\"b\"",
                                                     "a=b",
                                                     " spaced  value ",
                                                     "\t\x81\x40wide\x81\x40",
                                                     "; not a comment",
                                                     "ｱｲｳ\x80\xA0\xFD",
                                                     std::string(2100, 'L'),
                                                     std::string(1025, '\x83') + "\x5C"};
    switch (Pick(10)) {
    case 0:
      return Pick(kSections);
    case 1:
      return "";
    case 2:
      return "; comment " + Pick(kNames);
    case 3:
      return Pick(kNames);
    default:
      return Blanks() + Pick(kNames) + Blanks() + "=" + Blanks() + Pick(kValues) + Blanks();
    }
  }

  std::string File() {
    static const std::vector<std::string> kLineEnds = {"\r\n", "\r\n", "\r\n", "\n", "\r", "\r\r\n"};
    std::string file;
    for (std::size_t lines = Pick(12); lines > 0; --lines)
      file += Line() + Pick(kLineEnds);
    if (Pick(4) == 0)
      file += Line();
    return file;
  }

  std::size_t Pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }
  const std::string &Pick(const std::vector<std::string> &from) { return from[Pick(from.size())]; }

private:
  std::string Blanks() {
    static const std::vector<std::string> kBlanks = {"", "", "", " ", "  ", "\t", "\x81\x40"};
    return Pick(kBlanks);
  }

  std::mt19937 random_;
};

std::vector<Query> AllQueries() {
  std::vector<Query> queries;
  for (const char *section : {"S", "Songferry", "playlist", "表", "ソ", "ａｂ", "]", "missing"})
    for (const std::string &key : kNames)
      queries.push_back({section, key});
  return queries;
}

TEST_F(ProfileTextOnDisk, ReadsGeneratedFilesAsTheSystemDoes) {
  FileMaker maker(1);
  const std::vector<Query> queries = AllQueries();
  int compared = 0;
  for (int i = 0; i < 150; ++i)
    compared += CompareReads(maker.File(), queries);
  std::printf("compared %d reads\n", compared);
}

TEST_F(ProfileTextOnDisk, WritesTheSettingsAsTheSystemDoes) {
  const std::vector<std::string> keys = {"ToDir", "DefaultDir", "AddMode", "Reverse", "StopAfterCopy"};
  const std::vector<std::string> values = {"", ".", "E:\\", "D:\\表\\ソ\\", "0", "1", "C:\\My Music\\"};
  FileMaker maker(2);
  std::string system;
  int compared = 0;
  for (int round = 0; round < 3; ++round)
    for (const std::string &key : keys) {
      const std::string value = maker.Pick(values);
      auto [expected, actual] = BothWrite(system, "Songferry", key, value);
      EXPECT_EQ(Shown(actual), Shown(expected))
          << "writing " << key << "=" << Shown(value) << " on \"" << Shown(system) << "\"";
      system = expected;
      ++compared;
    }
  std::printf("compared %d writes\n", compared);
}

TEST_F(ProfileTextOnDisk, WritesPlaylistsAsTheSystemDoes) {
  const std::string playlist = "[playlist]\r\nTRACKS=2\r\n1=\"C:\\My Music\\a.mp3\",240\r\n2=D:\\ソ\\表.mp3\r\n"
                               "[Other]\r\nx=1\r\n";
  const struct {
    const char *section, *key, *value;
  } writes[] = {
      {"playlist", "TRACKS", "3"},
      {"PLAYLIST", "tracks", "4"},
      {"playlist", "3", "E:\\表.mp3,10"},
      {"playlist", "1", "'C:\\a.mp3'"},
      {"Other", "y", "2"},
      {"New", "1", "C:\\ソ.mp3"},
      {"表", "ソ", "表"},
      {" playlist ", " 2 ", "  two"},
      {"playlist", "2", "D:\\ソ\\表.mp3"},
  };
  int compared = 0;
  for (const auto &w : writes) {
    auto [expected, actual] = BothWrite(playlist, w.section, w.key, w.value);
    EXPECT_EQ(Shown(actual), Shown(expected)) << "writing [" << w.section << "] " << w.key << "=" << w.value;
    ++compared;
  }
  std::printf("compared %d writes\n", compared);
}

TEST_F(ProfileTextOnDisk, WritesHandWrittenFilesSoThatTheSystemReadsThemAlike) {
  FileMaker maker(3);
  const std::vector<Query> queries = AllQueries();
  int compared = 0;
  const std::string handWritten = "; settings\n\n[Songferry]\n  ToDir = E:\\   \nAddMode=1\n\n[Other]\r\nx=1";
  for (const auto &[section, key] : std::vector<std::pair<std::string, std::string>>{
           {"songferry", "todir"}, {"Songferry", "Reverse"}, {"Other", "y"}, {"New", "k"}, {" S ", " k "}}) {
    auto [expected, actual] = BothWrite(handWritten, section, key, "  D:\\表\\  ");
    CompareSystemReads(expected, actual, queries);
    ++compared;
  }
  for (int i = 0; i < 60; ++i) {
    const std::string file = maker.File();
    const Query &q = queries[maker.Pick(queries.size())];
    const std::string value = maker.Pick(kNames);
    auto [expected, actual] = BothWrite(file, q.section, q.key, value);
    CompareSystemReads(expected, actual, queries);
    ++compared;
  }
  std::printf("compared %d writes\n", compared);
}

} // namespace
} // namespace sf
