#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

// The texts the program shows, byte for byte, in UTF-8.
namespace sf::messages {

struct CodedText {
  int code;
  const char *text;
};

inline constexpr CodedText kInOutErrors[] = {
    {2, "ファイルが見つかりません"},
    {3, "不正なファイル名です"},
    {4, "オープンしたファイルが多すぎます"},
    {5, "ファイルへのアクセスが拒否されました"},
    {100, "ファイルの末尾以降を読み込みました"},
    {101, "ディスクがいっぱいです"},
    {106, "入力値が数値ではありません"},
};
inline constexpr char kInOutErrorOther[] = "I/O エラー (%d)";

inline constexpr char kBadExtension[] = "拡張子%sが不正です";
inline constexpr char kPlayListEmpty[] = "PlayListに曲がありません";
inline constexpr char kPlayListInvalid[] = "PlayListが不正です";
inline constexpr char kTrackNameInvalid[] = "%d番目の曲のファイル名が不正です";
inline constexpr char kTooManyTracks[] = "PlayListの曲数が多すぎます(最大101曲)";

inline constexpr char kNoDestination[] = "コピー先フォルダが未指定です。オプション-環境設定で設定してください。";
inline constexpr char kTrackMissing[] = "ファイル%sが存在しません";
inline constexpr char kCopyFailed[] = "ファイル%sのコピーに失敗しました";
// The second line after kCopyFailed when the failed copy's part could not be deleted.
inline constexpr char kPartialCopyLeft[] = "途中まで書き込まれたファイル%sが残っています";
inline constexpr char kNamesakeInDestination[] = "ファイル%sはコピー先にある曲%sと同じ名前のためコピーできません";
// Sizes in MB of 1,048,576 bytes with one decimal.
inline constexpr char kNoRoom[] = "コピー先の空き容量が足りません(必要%sMB、空き%sMB)";
inline constexpr char kTargetProtected[] =
    "コピー先のファイル%sは読み取り専用・隠し・システムのいずれかの属性があるため上書きできません";
inline constexpr char kCopied[] = "%sより%d曲をコピーしました";
// The second line after kCopied when the destination's folder could take no placeholder entries.
inline constexpr char kOrderNotKept[] = "曲の並び順をコピー先に保てませんでした";
// The playlist's file name, the tracks copied and the tracks whose copies the destination already held.
inline constexpr char kCopiedSomeUnchanged[] = "%sより%d曲をコピーしました(%d曲はコピー先と同じため省略)";
// The playlist's file name and its tracks, whose copies the destination all held already.
inline constexpr char kAllUnchanged[] = "%sの曲はすべてコピー先と同じです(%d曲)";
// The playlist's file name and the tracks copied whole before the user cancelled.
inline constexpr char kCancelled[] = "コピーを中止しました(%sより%d曲をコピー済み)";
inline constexpr char kNumberBeyond999[] = "曲番号が999を超えるためコピーできません";
// The destination's full path.
inline constexpr char kDestinationUnreadable[] = "コピー先フォルダー%sの中身を読み取れません";
// A cloud file that the system could not fetch; the track as the playlist names it.
inline constexpr char kTrackNotHere[] = "ファイル%sはこのコンピューターにないためコピーできません";
// A file of the user's that a stopped run had moved aside and that could not go back: its name before
// the run, and the full path where it lies.
inline constexpr char kNotRestored[] = "ファイル%sを元に戻せませんでした(%sにあります)";
// The full path of a run's record that is not one this program wrote, or that names anything
// outside the destination: the run changes nothing.
inline constexpr char kRecordRefused[] =
    "コピー先の記録ファイル%sはSongferryが読める記録ではないため、何も変更せずに中止しました";
// The destination's full path, where another instance of the program is copying now.
inline constexpr char kRunningThere[] = "コピー先%sには、ほかのSongferryがコピーしているところです";
// The full path of a file or folder of a stopped run's own that the undo could not remove.
inline constexpr char kOwnFileLeft[] = "Songferryが作ったファイル%sを削除できませんでした";
// The full path of a file under a name that a stopped run was writing, which holds something other
// than the beginning of the run's track: it may be the user's, and stays.
inline constexpr char kAnnouncedNameKept[] =
    "ファイル%sはSongferryが書き込んだものか確かめられないため、そのまま残しました";
// The full path of a record whose undo is complete but which could not be removed.
inline constexpr char kRecordLeft[] = "記録ファイル%sを削除できませんでした";
// The full path of the playlist file the run writes into the destination.
inline constexpr char kPlayListFileUnwritable[] = "プレイリスト%sを書き込めません";
inline constexpr char kPlayListFileNotOwn[] = "コピー先の%sはSongferryが作ったものではないため上書きできません";

// The full path of a track that could not be converted to MP3; the reason follows on the next
// line. The run changes nothing.
inline constexpr char kCannotConvert[] = "ファイル%sを変換できません";
// The progress window while tracks convert: its caption, and its label with the track's file name.
inline constexpr char kConvertingCaption[] = "ファイルの変換中";
inline constexpr char kConvertingTrack[] = "%sを変換しています";

// Why a track could not be converted: the second line under kCannotConvert.
// The track's file could not be opened or read (removed, locked, a drive gone).
inline constexpr char kConvertUnreadable[] = "ファイルを読み込めません";
// The file has the header of a format the program reads, but its data is damaged or cut short.
inline constexpr char kConvertBroken[] = "ファイルが壊れています";
// A codec or a variant the program does not read (Speex in Ogg, compressed AIFF-C, ...).
inline constexpr char kConvertNotSupported[] = "変換できない形式の音声です";
// Media Foundation could not open an MP4, AAC or WAV track: it cannot tell damage from a format it lacks.
inline constexpr char kConvertUnrecognised[] = "ファイルが壊れているか、変換できない形式です";
// The N editions of Windows lack Media Foundation, which the MP4, AAC and WAV tracks need.
inline constexpr char kConvertNeedsMediaFeaturePack[] =
    "Media Foundationがありません(WindowsのNエディションではMedia Feature Packを追加してください)";
// LAME would not take the audio (a sample rate or channel count beyond what it encodes).
inline constexpr char kConvertEncoderRefused[] = "この音声はMP3にできません";
// The folder of converted files on this PC, by its full path, takes no file.
inline constexpr char kCacheUnwritable[] = "変換したファイルをフォルダー%sに保存できません";
// The MP3 could not be written where the run keeps it before the copy.
inline constexpr char kConvertCannotWrite[] = "MP3ファイルを書き込めません";
// One of the program's converter processes ended without a word about its track: it crashed, or
// something outside the program ended it.
inline constexpr char kConverterDied[] = "変換処理が異常終了しました";

inline constexpr char kNotADriveFolder[] = "コピー先にはドライブ上のフォルダーを選んでください";
inline constexpr char kFolderNotShiftJis[] = "コピー先のフォルダー名にShift-JISで表せない文字があります";

// Shown by Windows to a user who logs off or shuts down during a run.
inline constexpr char kRunBlocksSessionEnd[] = "プレイリストのコピー中です";

inline constexpr char kCannotWrite[] = "%s に書き込めません";
inline constexpr char kHelpViewerMissing[] = "ヘルプビューアー(hh.exe)を起動できません";

inline constexpr char kApplicationTitle[] = "Songferry";
inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kInfoCaption[] = "情報";
inline constexpr char kUnknownError[] = "予期しないエラーが発生しました";

inline constexpr char kOpenDialogTitle[] = "プレイリストを開く";
// Description and patterns, each ended by a NUL, as the open dialog takes them.
inline constexpr char kOpenDialogFilter[] =
    "プレイリスト(*.m3u;*.m3u8;*.pls;*.plst;*.wpl;*.xspf)\0*.m3u;*.m3u8;*.pls;*.plst;*.wpl;*.xspf\0";

} // namespace sf::messages

namespace sf {

// Fills the "%s" and "%d" places of one of the formats above. Arguments are copied byte for byte.
template <typename... Args> std::string FormatText(const char *format, const Args &...args) {
  const auto pass = [](const auto &arg) {
    if constexpr (std::is_same_v<std::decay_t<decltype(arg)>, std::string>)
      return arg.c_str();
    else
      return arg;
  };
  const int length = std::snprintf(nullptr, 0, format, pass(args)...);
  std::string text(static_cast<std::size_t>(length), '\0');
  std::snprintf(text.data(), text.size() + 1, format, pass(args)...);
  return text;
}

} // namespace sf
