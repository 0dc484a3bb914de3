#include "HostTools.h"
#include "ScratchFolder.h"
#include "convert/Mp3Tags.h"
#include "platform/win32/Utf16.h"

#include <gtest/gtest.h>
#include <lame/lame.h>
#include <windows.h>

#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::ScratchFolder;
using testing::WriteWholeFile;
using Facts = std::map<std::string, std::string>;

// Runs `script` with the Unix side's shell in `folder`, where Debian's tools make the media and read
// the MP3s back, and gives its output.
std::string OnHost(const std::string &folder, const std::string &script) {
  const auto result = testing::RunHostShell("set -e; export LC_ALL=C.UTF-8 PATH=/usr/bin:/bin; cd '" +
                                            testing::UnixPath(folder) + "'\n" + script);
  EXPECT_EQ(result.status, 0) << script << result.output;
  return result.output;
}

// A tenth of a second of silence from LAME, for the tags to go around.
std::string SomeAudio() {
  const std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), &lame_close);
  lame_set_num_channels(lame.get(), 1);
  lame_set_write_id3tag_automatic(lame.get(), 0);
  lame_init_params(lame.get());
  std::vector<short> silence(4410);
  std::vector<unsigned char> mp3(16384);
  int size = lame_encode_buffer(lame.get(), silence.data(), silence.data(), static_cast<int>(silence.size()),
                                mp3.data(), static_cast<int>(mp3.size()));
  size += lame_encode_flush(lame.get(), mp3.data() + size, static_cast<int>(mp3.size()) - size);
  return std::string(mp3.begin(), mp3.begin() + size);
}

// A second of a tone, a progressive cover of 1200 × 800 pixels, a small PNG, a file that is no picture.
constexpr char kMedia[] = R"sh(sox -n -r 44100 -c 2 -b 16 tone.wav synth 1 sine 440
convert -size 1200x800 gradient:red-blue -interlace Plane front.jpg
[ "$(identify -format %[interlace] front.jpg)" = JPEG ]
convert -size 300x200 xc:green small.png
printf 'no picture' >broken.jpg
)sh";
// "表" and "ソ" end in 0x5C in Shift-JIS; 33 bytes there, cut after 29 in ID3v1, never after 30.
constexpr char kLongTitle[] = "a表ソ表ソ表ソ表ソ表ソ表ソ表ソ表ソ";
constexpr char kCutTitle[] = "a表ソ表ソ表ソ表ソ表ソ表ソ表ソ";

class Mp3Tags : public ::testing::Test {
protected:
  void SetUp() override {
    if (testing::UnixPath(scratch.Path()).empty())
      GTEST_SKIP() << "Debian's tools are reached through Wine";
    OnHost(scratch.Path(), kMedia);
  }

  // The MP3 of `source` in the scratch folder, as mutagen reads it, with what every such MP3 has:
  // ID3v2.3, its texts in UTF-16, its mark where a look at the file's first bytes finds it.
  Facts Converted(const std::string &source) {
    const ConvertedMark mark{123456789, 133000000000000000, ConvertQuality::Compatible};
    const Mp3TagBytes tags = TagsFor(scratch / source, mark);
    const std::string mp3 = tags.front + SomeAudio() + tags.back;
    WriteWholeFile(scratch / (source + ".mp3"), mp3);
    EXPECT_EQ(FindMark(std::string_view(mp3).substr(0, 512)), mark) << source;
    Facts facts;
    std::istringstream lines(
        OnHost(scratch.Path(), "python3 '" SONGFERRY_TESTS_UNIX_DIR "/read-mp3-tags.py' '" + source + ".mp3'"));
    for (std::string line; std::getline(lines, line);) {
      if (const auto tab = line.find('\t'); tab != std::string::npos)
        facts[line.substr(0, tab)] = line.substr(tab + 1);
    }
    EXPECT_EQ(facts["audio"], "layer 3, 44100 Hz") << source;
    EXPECT_EQ(facts["version"], "2.3") << source;
    EXPECT_EQ(facts["TXXX:Songferry"], MarkText(mark)) << source;
    for (const auto &[key, value] : facts) {
      if (key.ends_with(".encoding")) {
        EXPECT_EQ(value, "1") << source << " " << key;
      }
    }
    return facts;
  }

  ScratchFolder scratch;
};

TEST_F(Mp3Tags, CarryEveryTagOfFlacAndMp4WithTheFrontCoverAsBaselineJpegAndShiftJisId3v1) {
  OnHost(scratch.Path(), std::string("T='") + kLongTitle + R"sh(' A='ソ表' B='アルバム' C='作曲者'
flac -s --tag="TITLE=$T" --tag="ARTIST=$A" --tag="ALBUM=$B" --tag="ALBUMARTIST=$A" --tag="COMPOSER=$C" \
  --tag=TRACKNUMBER=3 --tag=TRACKTOTAL=12 --tag=DISCNUMBER=1 --tag=DISCTOTAL=2 --tag=DATE=2021-05-01 \
  --tag=GENRE=Jazz --picture='4||||small.png' --picture='3||||front.jpg' -o track.flac tone.wav
ffmpeg -v error -i tone.wav -i front.jpg -map 0 -map 1 -c:a alac -c:v copy -disposition:v attached_pic \
  -metadata title="$T" -metadata artist="$A" -metadata album="$B" -metadata album_artist="$A" -metadata composer="$C" \
  -metadata track=3/12 -metadata disc=1/2 -metadata date=2021 -metadata genre=Jazz track.m4a
)sh");
  for (const char *source : {"track.flac", "track.m4a"}) {
    Facts facts = Converted(source);
    // clang-format off
    const Facts expected{
        {"TIT2", kLongTitle}, {"TPE1", "ソ表"}, {"TALB", "アルバム"}, {"TPE2", "ソ表"}, {"TCOM", "作曲者"},
        {"TRCK", "3/12"}, {"TPOS", "1/2"}, {"TYER", "2021"}, {"TCON", "Jazz"},
        {"v1.title", kCutTitle}, {"v1.artist", "ソ表"}, {"v1.album", "アルバム"}, {"v1.year", "2021"},
        {"v1.track", "3"}, {"v1.genre", "8"},
        {"pictures", "1"}, {"APIC", "type 3, image/jpeg, '', SOF0 500x333"}};
    // clang-format on
    for (const auto &[key, value] : expected)
      EXPECT_EQ(facts[key], value) << source << " " << key;
  }
}

TEST_F(Mp3Tags, ReadTitleArtistAndCoverFromEveryOtherFormat) {
  OnHost(scratch.Path(), R"sh(T='表ソ' A='ソ表'
oggenc -Q -t "$T" -a "$A" -o vorbis.ogg tone.wav
opusenc --quiet --title "$T" --artist "$A" --picture '4||||small.png' tone.wav opus.opus
flac -s --ogg --tag="TITLE=$T" --tag="ARTIST=$A" --picture='3||||front.jpg' -o flac.oga tone.wav
ffmpeg -v error -i tone.wav -i small.png -map 0 -map 1 -c:a aac -c:v copy -disposition:v attached_pic \
  -metadata title="$T" -metadata artist="$A" -f mp4 aac.m4b
ffmpeg -v error -i tone.wav -metadata title="$T" -metadata artist="$A" info.wav
cp tone.wav id3.wav && sox tone.wav id3.aiff
for f in id3.wav id3.aiff; do python3 -c 'import sys, mutagen, mutagen.id3 as id3
f = mutagen.File(sys.argv[1]); f.add_tags()
f.tags.add(id3.TIT2(encoding=3, text=sys.argv[2])); f.tags.add(id3.TPE1(encoding=1, text=sys.argv[3]))
f.tags.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=open("front.jpg", "rb").read())); f.save()
' "$f" "$T" "$A"; done
)sh");
  const std::map<std::string, std::string> covers{
      {"vorbis.ogg", ""}, {"opus.opus", "SOF0 300x200"}, {"flac.oga", "SOF0 500x333"}, {"aac.m4b", "SOF0 300x200"},
      {"info.wav", ""},   {"id3.wav", "SOF0 500x333"},   {"id3.aiff", "SOF0 500x333"}};
  for (const auto &[source, cover] : covers) {
    Facts facts = Converted(source);
    EXPECT_EQ(facts["TIT2"], "表ソ") << source;
    EXPECT_EQ(facts["TPE1"], "ソ表") << source;
    EXPECT_EQ(facts["v1.title"], "表ソ") << source;
    EXPECT_EQ(facts["APIC"], cover.empty() ? "" : "type 3, image/jpeg, '', " + cover) << source;
  }
}

TEST_F(Mp3Tags, LeaveOutWhatCannotBeReadAndNameAnUntitledTrackAfterItsFile) {
  OnHost(scratch.Path(), R"sh(flac -s --tag=ARTIST=ソ表 -o 表ソの曲.flac tone.wav
flac -s --tag=TITLE=t --picture='3|image/jpeg||10x10x24|broken.jpg' -o broken-cover.flac tone.wav
printf 'fLaC no more' >broken.flac
)sh");
  Facts untitled = Converted("表ソの曲.flac");
  EXPECT_EQ(untitled["TIT2"], "表ソの曲");
  EXPECT_EQ(untitled["TPE1"], "ソ表");
  EXPECT_EQ(untitled["v1.title"], "表ソの曲");
  EXPECT_EQ(Converted("broken-cover.flac")["pictures"], "0");
  for (const char *unreadable : {"broken.flac", "missing.flac"}) {
    Facts facts = Converted(unreadable);
    EXPECT_EQ(facts["TIT2"], std::string(unreadable).substr(0, std::string(unreadable).find('.')));
    EXPECT_EQ(facts["pictures"], "0");
  }
}

} // namespace
} // namespace sf
