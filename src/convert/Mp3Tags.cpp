#include "convert/Mp3Tags.h"

#include "convert/CoverJpeg.h"
#include "platform/PathParts.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4tag.h>
#include <taglib/oggflacfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/xiphcomment.h>

#include <windows.h>

#include <charconv>
#include <exception>
#include <initializer_list>
#include <tuple>
#include <utility>
#include <vector>

namespace sf {
namespace {

using TagLib::ByteVector;
using TagLib::String;

// What an MP3 keeps of its track.
struct TrackTags {
  String title, artist, album, albumArtist, genre, composer;
  unsigned track = 0, trackCount = 0, disc = 0, discCount = 0;
  String year;      // four digits, or empty
  ByteVector cover; // the picture as the track holds it
};

// Several values of one key (Vorbis comments allow them) in one text, "/" between them as ID3v2.3
// separates several artists.
String Joined(const TagLib::PropertyMap &properties, const char *key) {
  const auto found = properties.find(key);
  return found == properties.end() ? String() : found->second.toString("/");
}

// "3" or "3/12" (ID3, MP4 and RIFF keep the count after the number) as the number and the count;
// Vorbis comments keep the count apart, under either of two keys. A count below the number is none.
std::pair<unsigned, unsigned> NumberAndCount(const TagLib::PropertyMap &properties, const char *key,
                                             std::initializer_list<const char *> countKeys) {
  // from_chars leaves the number as it was where the text starts with none.
  const auto readNumber = [](const std::string &text, unsigned &number) {
    return std::from_chars(text.data(), text.data() + text.size(), number).ptr - text.data();
  };
  unsigned number = 0, count = 0;
  const std::string text = Joined(properties, key).stripWhiteSpace().to8Bit();
  const auto numberEnds = static_cast<std::size_t>(readNumber(text, number));
  if (numberEnds < text.size() && text[numberEnds] == '/')
    readNumber(text.substr(numberEnds + 1), count);
  for (const char *countKey : countKeys) {
    if (count == 0)
      readNumber(Joined(properties, countKey).stripWhiteSpace().to8Bit(), count);
  }
  return {number, count < number ? 0 : count};
}

// The year of a date ("2021", "2021-05-01"), which is all ID3v2.3's TYER and ID3v1 hold.
String YearOf(const String &date) {
  const String year = date.stripWhiteSpace().substr(0, 4);
  if (year.size() != 4)
    return {};
  for (const wchar_t digit : year) {
    if (digit < L'0' || digit > L'9')
      return {};
  }
  return year;
}

// The track's front cover, else its first picture: FLAC's picture blocks (in Ogg too), the pictures
// of Vorbis comments (Vorbis, Opus and FLAC in Ogg), MP4's covers, which have no kind, and the ID3v2
// tags of WAV and AIFF.
ByteVector CoverOf(TagLib::File &file) {
  std::vector<std::pair<bool, ByteVector>> pictures; // front cover or not, and the picture
  const auto add = [&](bool front, const ByteVector &picture) {
    if (!picture.isEmpty())
      pictures.emplace_back(front, picture);
  };
  const auto addFlacPicture = [&](const TagLib::FLAC::Picture &picture) {
    add(picture.type() == TagLib::FLAC::Picture::FrontCover, picture.data());
  };
  if (auto *flac = dynamic_cast<TagLib::FLAC::File *>(&file)) {
    for (const auto *picture : flac->pictureList())
      addFlacPicture(*picture);
  }
  if (auto *oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File *>(&file)) {
    // TagLib reads only the comments of FLAC in Ogg: each packet after the first is one metadata
    // block, its type in the low bits of its first byte, the last one flagged in the high bit.
    constexpr char kPictureBlock = 6;
    constexpr std::size_t kBlockHeader = 4;
    for (unsigned index = 1;; ++index) {
      const ByteVector block = oggFlac->packet(index);
      if (block.size() < kBlockHeader)
        break;
      if ((block[0] & 0x7F) == kPictureBlock)
        addFlacPicture(TagLib::FLAC::Picture(block.mid(kBlockHeader)));
      if ((block[0] & 0x80) != 0)
        break;
    }
  }
  if (auto *xiph = dynamic_cast<TagLib::Ogg::XiphComment *>(file.tag())) {
    for (const auto *picture : xiph->pictureList())
      addFlacPicture(*picture);
  } else if (const auto *mp4 = dynamic_cast<const TagLib::MP4::Tag *>(file.tag())) {
    for (const auto &cover : mp4->item("covr").toCoverArtList())
      add(false, cover.data());
  } else if (const auto *id3 = dynamic_cast<const TagLib::ID3v2::Tag *>(file.tag())) {
    for (const auto *frame : id3->frameList("APIC")) {
      if (const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame))
        add(picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover, picture->picture());
    }
  }
  for (const auto &[front, picture] : pictures) {
    if (front)
      return picture;
  }
  return pictures.empty() ? ByteVector() : pictures.front().second;
}

// What TagLib reads of the track; nothing of a file it cannot open or does not know.
TrackTags ReadTags(const std::string &source) {
  TrackTags tags;
  try {
    // TagLib knows the format by the extension (".m4b" included), else by the content.
    const TagLib::FileRef file(SystemPath(source).c_str(), false);
    if (file.isNull())
      return tags;
    const TagLib::PropertyMap properties = file.file()->properties();
    tags.title = Joined(properties, "TITLE");
    tags.artist = Joined(properties, "ARTIST");
    tags.album = Joined(properties, "ALBUM");
    tags.albumArtist = Joined(properties, "ALBUMARTIST");
    tags.genre = Joined(properties, "GENRE");
    tags.composer = Joined(properties, "COMPOSER");
    tags.year = YearOf(Joined(properties, "DATE"));
    std::tie(tags.track, tags.trackCount) = NumberAndCount(properties, "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"});
    std::tie(tags.disc, tags.discCount) = NumberAndCount(properties, "DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"});
    tags.cover = CoverOf(*file.file());
  } catch (const std::exception &) {
    // A file whose tags claim more memory than there is: the MP3 has what was read before.
  }
  return tags;
}

String NumberText(unsigned number, unsigned count) {
  if (number == 0)
    return {};
  return count == 0 ? String::number(static_cast<int>(number))
                    : String::number(static_cast<int>(number)) + "/" + String::number(static_cast<int>(count));
}

// A frame that renders itself as ID3v2.3 has it (sizes in plain bytes). TagLib keeps a frame's version
// in its header, which only the frame and the tag may reach.
template <typename Frame> class Version3 final : public Frame {
public:
  using Frame::Frame;
  void AppendTo(ByteVector &frames) {
    this->header()->setVersion(3);
    frames.append(this->render());
  }
};

// Text in UTF-16 with a byte-order mark: several units fail on UTF-8 frames.
void AppendText(ByteVector &frames, const char *id, const String &text) {
  if (text.isEmpty())
    return;
  Version3<TagLib::ID3v2::TextIdentificationFrame> frame(id, String::UTF16);
  frame.setText(text);
  frame.AppendTo(frames);
}

// ID3v2.3, which units that fail on ID3v2.4 read. The frames are rendered one by one rather than by
// TagLib's tag, which turns a date and a genre into Latin-1 frames of its own making for ID3v2.3. The
// mark comes first, so that a reader of the file's first bytes finds it before the picture.
ByteVector Id3v2Tag(const TrackTags &tags, const ConvertedMark &mark) {
  ByteVector frames;
  Version3<TagLib::ID3v2::UserTextIdentificationFrame> markFrame(String::UTF16);
  markFrame.setDescription(String(std::string(kMarkDescription)));
  markFrame.setText(String(MarkText(mark)));
  markFrame.AppendTo(frames);
  AppendText(frames, "TIT2", tags.title);
  AppendText(frames, "TPE1", tags.artist);
  AppendText(frames, "TALB", tags.album);
  AppendText(frames, "TPE2", tags.albumArtist);
  AppendText(frames, "TRCK", NumberText(tags.track, tags.trackCount));
  AppendText(frames, "TPOS", NumberText(tags.disc, tags.discCount));
  AppendText(frames, "TYER", tags.year);
  AppendText(frames, "TCON", tags.genre);
  AppendText(frames, "TCOM", tags.composer);
  if (!tags.cover.isEmpty()) {
    const std::string jpeg = CoverJpeg(std::string_view(tags.cover.data(), tags.cover.size()));
    if (!jpeg.empty()) {
      Version3<TagLib::ID3v2::AttachedPictureFrame> cover;
      cover.setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
      cover.setMimeType("image/jpeg");
      cover.setPicture(ByteVector(jpeg.data(), static_cast<unsigned>(jpeg.size())));
      cover.AppendTo(frames);
    }
  }
  TagLib::ID3v2::Header header;
  header.setMajorVersion(3);
  header.setTagSize(frames.size());
  return header.render() + frames;
}

// ID3v1's texts in code page 932, for older Japanese units. TagLib's own handler writes Latin-1
// alone, and TagLib cuts a field where its length ends, which can leave the first byte of a
// double-byte character at its end: this one ends a field at a character's boundary.
class ShiftJisId3v1Text final : public TagLib::ID3v1::StringHandler {
public:
  static constexpr unsigned kTextLength = 30; // title, artist, album
  static constexpr unsigned kYearLength = 4;
  static constexpr unsigned kCommentLength = 28; // beside a track number; the program writes none

  TagLib::String parse(const ByteVector &data) const override {
    return String(FromCodePage(kShiftJis, std::string_view(data.data(), data.size())), String::UTF8);
  }
  // As TagLib's handler it would serve title, artist and album; the shorter year and comment TagLib
  // would cut itself, bytewise.
  ByteVector render(const String &text) const override { return Field(text, kTextLength); }

  // `text` in at most `length` bytes, whole characters only, padded with zero bytes.
  ByteVector Field(const String &text, unsigned length) const {
    const std::string bytes = ToCodePage(kShiftJis, text.to8Bit(true));
    std::size_t end = 0;
    while (end < bytes.size()) {
      const std::size_t next = end + (IsDBCSLeadByteEx(kShiftJis, static_cast<BYTE>(bytes[end])) ? 2 : 1);
      if (next > length)
        break;
      end = next;
    }
    return ByteVector(bytes.data(), static_cast<unsigned>(end)).resize(length);
  }
};

// The 128 bytes are put together here: TagLib takes its string handler for every ID3v1 tag of the
// process (setStringHandler), and hands it no field's length.
ByteVector Id3v1Tag(const TrackTags &tags) {
  const ShiftJisId3v1Text text;
  ByteVector tag("TAG");
  tag.append(text.Field(tags.title, ShiftJisId3v1Text::kTextLength));
  tag.append(text.Field(tags.artist, ShiftJisId3v1Text::kTextLength));
  tag.append(text.Field(tags.album, ShiftJisId3v1Text::kTextLength));
  tag.append(text.Field(tags.year, ShiftJisId3v1Text::kYearLength));
  tag.append(ByteVector(ShiftJisId3v1Text::kCommentLength, '\0'));
  tag.append('\0'); // ID3v1.1: a track number follows
  tag.append(static_cast<char>(tags.track <= 255 ? tags.track : 0));
  tag.append(static_cast<char>(TagLib::ID3v1::genreIndex(tags.genre.split("/").front())));
  return tag;
}

std::string Stem(const std::string &path) {
  const std::string name = FileNamePart(path);
  const std::string stem = name.substr(0, name.size() - ExtensionPart(name).size());
  return stem.empty() ? name : stem;
}

std::string AsString(const ByteVector &bytes) { return std::string(bytes.data(), bytes.size()); }

} // namespace

Mp3TagBytes TagsFor(const std::string &source, const ConvertedMark &mark) {
  TrackTags tags = ReadTags(source);
  if (tags.title.isEmpty())
    tags.title = String(Stem(source), String::UTF8);
  return {AsString(Id3v2Tag(tags, mark)), AsString(Id3v1Tag(tags))};
}

} // namespace sf
