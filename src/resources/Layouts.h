#pragma once

#include <span>

// The windows' layouts as data: positions and sizes in pixels at 96 dpi (scaled to the monitor's
// DPI when the windows are built), captions, fonts, colours and tab order. Built by the window
// layer; read by tests.
namespace sf::layouts {

struct Font {
  const char *face;
  int pixels; // character height
  bool bold = false;
};

// A drop-down list shows one of its items and cannot be typed into; its closed height follows its
// font, so `height` only reserves its place in the layout.
enum class Kind { Label, CheckBox, Button, Edit, ProgressBar, Panel, FolderTree, DropDownList };

// Looks beyond the kind's own.
enum Look : unsigned {
  kPlain = 0,
  kAqua = 1 << 0,          // aqua text on the window's background
  kCentred = 1 << 1,       // label text centred
  kDefaultButton = 1 << 2, // Enter presses it unless another button has the focus
  kBevelled = 1 << 3,      // panel, drawn on the window: raised inner and lowered outer bevel
};

struct Control {
  Kind kind;
  int id;
  const char *name;
  int x, y, width, height;
  const char *text;
  const Font *font; // the window's font when null
  unsigned look;
  int tabOrder; // -1: not a tab stop
  // A drop-down list's items, in order; the first is chosen at first.
  std::span<const char *const> items{};
};

enum class Background { Black, ButtonFace };

struct Window {
  const char *name;
  const char *caption;
  int width, height; // the client area when `clientSize`, else the whole window
  bool clientSize;
  bool resizable;
  Background background;
  Font font;
  std::span<const Control> controls;
};

inline constexpr Font kGothic12{"ＭＳ ゴシック", 12};
inline constexpr Font kPGothic13{"ＭＳ Ｐゴシック", 13};
inline constexpr Font kPGothic15{"ＭＳ Ｐゴシック", 15};
inline constexpr Font kPGothic19Bold{"ＭＳ Ｐゴシック", 19, true};

// Control identifiers. Copy and Cancel answer to the dialog keys: Enter asks the window for its
// default button, Esc sends IDCANCEL.
enum Id : int {
  kIdOk = 1,
  kIdCancel = 2,
  kPLNameLabel = 100,
  kAddCheck,
  kReverseCheck,
  kCopyLabel,
  kCopyProgress,
  kAboutFrame,
  kProductName,
  kVersion,
  kCopyright,
  kToDirCaption,
  kToDirEdit,
  kRefButton,
  kStopCheck,
  kFolderTree,
  kCancelRunButton,
  kNumberCheck,
  kSkipCheck,
  kPlayListCheck,
  kConvertCheck,
  kQualityCaption,
  kQualityList,
};

inline constexpr Control kMainControls[] = {
    {Kind::Button, kIdOk, "CopyButton", 57, 72, 89, 25, "Copy", nullptr, kDefaultButton, 0},
    {Kind::Button, kIdCancel, "CancelButton", 169, 72, 89, 25, "Cancel", nullptr, kPlain, 1},
    {Kind::CheckBox, kAddCheck, "AddCheck", 8, 40, 65, 17, "追加", &kPGothic13, kAqua, 2},
    {Kind::CheckBox, kReverseCheck, "ReverseCheck", 104, 32, 73, 33, "逆順", &kPGothic13, kAqua, 3},
    {Kind::Label, kPLNameLabel, "PLNameLabel", 8, 16, 200, 12, "(未登録)", &kGothic12, kAqua, -1},
};
inline constexpr Window kMain{
    "FrmSFMain", "Songferry", 324, 158, false, true, Background::Black, {"ＭＳ Ｐゴシック", 16}, kMainControls};

inline constexpr Control kCopyingControls[] = {
    {Kind::Label, kCopyLabel, "CopyLabel", 8, 8, 353, 12, "CopyLabel", nullptr, kAqua | kCentred, -1},
    {Kind::ProgressBar, kCopyProgress, "CopyProgress", 8, 40, 353, 17, "", nullptr, kPlain, -1},
    {Kind::Button, kCancelRunButton, "CancelRunButton", 149, 64, 75, 25, "中止", nullptr, kPlain, 0},
};
inline constexpr Window kCopying{"CopyingForm",           "ファイルのコピー中", 374, 95, false, true, Background::Black,
                                 {"ＭＳ Ｐゴシック", 12}, kCopyingControls};

// The labels stand inside the bevelled frame, whose corner is at 8, 8; a label of size 0 takes its text's size.
// The version is the build's (CMakeLists.txt).
inline constexpr Control kAboutControls[] = {
    {Kind::Button, kIdOk, "OKButton", 111, 140, 75, 25, "OK", nullptr, kDefaultButton, 0},
    {Kind::Label, kProductName, "ProductName", 94 + 8, 16 + 8, 0, 0, "Songferry", &kPGothic19Bold, kAqua, -1},
    {Kind::Label, kVersion, "Version", 120 + 8, 40 + 8, 0, 0, "Ver" SONGFERRY_VERSION, &kPGothic15, kAqua, -1},
    {Kind::Label, kCopyright, "Copyright", 65 + 8, 80 + 8, 0, 0, "(C) 2026 Songferry developers", &kPGothic13, kAqua,
     -1},
    {Kind::Panel, kAboutFrame, "AboutFrame", 8, 8, 281, 121, "", nullptr, kBevelled, -1},
};
inline constexpr Window kAbout{"SFAbout",         "Songferryについて",     298,           179, true, false,
                               Background::Black, {"ＭＳ Ｐゴシック", 12}, kAboutControls};

// The MP3 qualities of converted tracks, in the order of the settings file's ConvertQuality.
inline constexpr const char *kQualityItems[] = {
    "標準 (VBR 約190kbps)",
    "互換性重視 (CBR 192kbps・44.1kHz)",
    "高音質 (CBR 320kbps)",
};

inline constexpr Control kOptionControls[] = {
    {Kind::Button, kIdOk, "OKBtn", 67, 204, 75, 25, "OK", nullptr, kDefaultButton, 0},
    {Kind::Button, kIdCancel, "CancelBtn", 147, 204, 75, 25, "Cancel", nullptr, kPlain, 1},
    {Kind::Edit, kToDirEdit, "ToDirEdit", 72, 16, 137, 20, "ToDirEdit", nullptr, kPlain, 2},
    {Kind::Button, kRefButton, "RefButton", 224, 16, 65, 25, "参照", nullptr, kPlain, 3},
    {Kind::CheckBox, kStopCheck, "StopCheck", 8, 48, 137, 25, "コピー後すぐに終了", nullptr, kPlain, 4},
    {Kind::CheckBox, kNumberCheck, "NumberCheck", 8, 72, 137, 25, "曲番号を付ける", nullptr, kPlain, 5},
    {Kind::CheckBox, kSkipCheck, "SkipCheck", 8, 96, 200, 25, "変更のない曲はコピーしない", nullptr, kPlain, 6},
    {Kind::CheckBox, kPlayListCheck, "PlayListCheck", 8, 120, 200, 25, "コピー先にプレイリストを作る", nullptr, kPlain,
     7},
    {Kind::CheckBox, kConvertCheck, "ConvertCheck", 8, 144, 280, 25, "MP3/WMA以外の曲はMP3に変換する", nullptr, kPlain,
     8},
    {Kind::DropDownList, kQualityList, "QualityList", 72, 170, 217, 20, "", nullptr, kPlain, 9, kQualityItems},
    {Kind::Label, kToDirCaption, "ToDirCaption", 8, 24, 50, 12, "コピー先：", nullptr, kPlain, -1},
    {Kind::Label, kQualityCaption, "QualityCaption", 24, 174, 40, 12, "音質：", nullptr, kPlain, -1},
};
inline constexpr Window kOption{
    "SFOptionDlg",           "Songferry環境設定", 301, 243, true, false, Background::ButtonFace,
    {"ＭＳ Ｐゴシック", 12}, kOptionControls};

inline constexpr Control kToDirControls[] = {
    {Kind::Button, kIdOk, "OKBtn", 51, 148, 75, 25, "OK", nullptr, kDefaultButton, 0},
    {Kind::Button, kIdCancel, "CancelBtn", 131, 148, 75, 25, "Cancel", nullptr, kPlain, 1},
    {Kind::FolderTree, kFolderTree, "FolderTree", 16, 8, 225, 121, "", nullptr, kPlain, 2},
};
inline constexpr Window kToDir{
    "ToDirDlg",    "コピー先の選択", 257, 190, true, false, Background::ButtonFace, {"ＭＳ Ｐゴシック", 12},
    kToDirControls};

// The main menu: a popup lists its items after it, up to the next popup or top-level command.
enum class MenuKind { Popup, Item, TopCommand };

enum MenuId : int {
  kMenuOpen = 200,
  kMenuExit,
  kMenuCopy,
  kMenuOptions,
  kMenuAbout,
  kMenuHelp,
};

struct MenuEntry {
  MenuKind kind;
  int id;
  const char *name;
  const char *caption;
};

inline constexpr MenuEntry kMainMenu[] = {
    {MenuKind::Popup, 0, "FileMenu", "ファイル(&F)"},
    {MenuKind::Item, kMenuOpen, "MenuOpen", "開く(&O)"},
    {MenuKind::Item, kMenuExit, "MenuExit", "終了(&X)"},
    {MenuKind::TopCommand, kMenuCopy, "MenuCopy", "コピー(&C)"},
    {MenuKind::Popup, 0, "OptionsMenu", "オプション(&O)"},
    {MenuKind::Item, kMenuOptions, "MenuOptions", "環境設定(&O)"},
    {MenuKind::Popup, 0, "HelpMenu", "ヘルプ(&H)"},
    {MenuKind::Item, kMenuAbout, "MenuAbout", "About(&A)"},
    {MenuKind::Item, kMenuHelp, "MenuHelp", "Help(&H)"},
};

} // namespace sf::layouts
