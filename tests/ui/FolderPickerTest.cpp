#include "FakePlatform.h"
#include "WindowTestFixture.h"
#include "platform/win32/Utf16.h"
#include "ui/SFOptDlg.h"
#include "ui/SFToDirDlg.h"

#include <commctrl.h>
#include <shlobj.h>

namespace sf {
namespace {

using testing::ItemText;
using testing::SetItemText;
using testing::WindowAnswerer;

class FolderPickerTest : public testing::WindowTest {
protected:
  HWND Tree() { return Main().OptionDlg().ToDirDlg().Control(layouts::kFolderTree); }

  std::string OpenPicker(int command) { return ShowAnswered(Main().OptionDlg().ToDirDlg(), command); }

  // The items under `item` as they stand; Children opens its branch first.
  std::vector<HTREEITEM> Listed(HTREEITEM item) {
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = TreeView_GetChild(Tree(), item); child; child = TreeView_GetNextSibling(Tree(), child))
      children.push_back(child);
    return children;
  }
  std::vector<HTREEITEM> Children(HTREEITEM item) {
    TreeView_Expand(Tree(), item, TVE_EXPAND);
    return Listed(item);
  }

  std::string PathOf(HTREEITEM item) {
    TreeView_SelectItem(Tree(), item);
    return Main().OptionDlg().ToDirDlg().SelectedFolderPath();
  }

  // The computer: the folder under the desktop that holds the drive C:.
  HTREEITEM Computer() {
    for (const HTREEITEM candidate : Children(TreeView_GetRoot(Tree()))) {
      for (const HTREEITEM drive : Children(candidate)) {
        if (PathOf(drive) == "C:\\")
          return candidate;
      }
    }
    return nullptr;
  }

  HTREEITEM ChildAt(HTREEITEM parent, const std::string &path) {
    for (const HTREEITEM child : Children(parent)) {
      if (PathOf(child) == path)
        return child;
    }
    return nullptr;
  }

  HTREEITEM Drive(const std::string &root) { return ChildAt(Computer(), root); }

  bool IsExpanded(HTREEITEM item) { return TreeView_GetItemState(Tree(), item, TVIS_EXPANDED) & TVIS_EXPANDED; }

  bool ShowsExpandButton(HTREEITEM item) {
    TVITEMW tvItem{};
    tvItem.mask = TVIF_CHILDREN;
    tvItem.hItem = item;
    TreeView_GetItem(Tree(), &tvItem);
    return tvItem.cChildren != 0;
  }

  // Folders on drive Y:, removed again at the end.
  void MakeFolders(std::initializer_list<std::string> paths) {
    for (const auto &path : paths) {
      CreateDirectoryW(Widen(path).c_str(), nullptr);
      made.insert(made.begin(), path);
    }
  }
  void TearDown() override {
    for (const auto &path : made)
      RemoveDirectoryW(Widen(path).c_str());
    WindowTest::TearDown();
  }

  std::vector<std::string> made;
};

TEST_F(FolderPickerTest, ConfirmedAtOnceGivesTheDesktopsPath) {
  EXPECT_EQ(Main().OptionDlg().ToDirDlg().SelectedFolderPath(), "") << "nothing is selected before the tree is built";
  EXPECT_EQ(OpenPicker(IDOK), "コピー先の選択");
  wchar_t desktop[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  EXPECT_EQ(Main().OptionDlg().ToDirDlg().SelectedFolderPath(), Narrow(desktop));
  const HTREEITEM root = TreeView_GetRoot(Tree());
  EXPECT_EQ(TreeView_GetSelection(Tree()), root);
  EXPECT_EQ(TreeView_GetNextSibling(Tree(), root), nullptr) << "the desktop is the one root";
  EXPECT_EQ(TreeView_GetIndent(Tree()), 19u);
}

TEST_F(FolderPickerTest, TheBrowseButtonFillsInThePickedFolderOnlyOnOk) {
  SetItemText(Main().OptionDlg().Handle(), layouts::kToDirEdit, "typed");
  {
    WindowAnswerer cancel("ToDirDlg", IDCANCEL);
    SendMessageA(Main().OptionDlg().Handle(), WM_COMMAND, layouts::kRefButton, 0);
  }
  EXPECT_EQ(Main().OptionDlg().Text(layouts::kToDirEdit), "typed");
  {
    WindowAnswerer ok("ToDirDlg", IDOK);
    SendMessageA(Main().OptionDlg().Handle(), WM_COMMAND, layouts::kRefButton, 0);
  }
  EXPECT_EQ(Main().OptionDlg().Text(layouts::kToDirEdit), Main().OptionDlg().ToDirDlg().SelectedFolderPath());
  EXPECT_NE(Main().OptionDlg().Text(layouts::kToDirEdit), "typed");
}

TEST_F(FolderPickerTest, AFolderPickedInCancelledOptionsIsForgotten) {
  Main().Option().ToDir = "E:\\Old";
  std::string picked;
  {
    WindowAnswerer cancel("SFOptionDlg", IDCANCEL, [&](HWND options) {
      PostMessageA(options, WM_COMMAND, layouts::kRefButton, 0);
      HWND picker = nullptr;
      testing::WaitUntil([&] { return (picker = FindWindowA("ToDirDlg", nullptr)) && IsWindowVisible(picker); });
      PostMessageA(picker, WM_COMMAND, IDOK, 0);
      testing::WaitUntil([&] { return !IsWindowVisible(picker); });
      picked = testing::ItemText(options, layouts::kToDirEdit);
    });
    Command(layouts::kMenuOptions);
  }
  EXPECT_EQ(picked, Main().OptionDlg().ToDirDlg().SelectedFolderPath());
  EXPECT_NE(picked, "E:\\Old");
  EXPECT_EQ(Main().Option().ToDir, "E:\\Old");
}

TEST_F(FolderPickerTest, TheComputerListsTheDrivesButIsNoDestination) {
  OpenPicker(IDOK);
  const HTREEITEM computer = Computer();
  ASSERT_NE(computer, nullptr);
  EXPECT_NE(Drive("Y:\\"), nullptr);
  EXPECT_EQ(PathOf(computer), "") << "it has no path";
  HWND owner = nullptr;
  bool stayedOpen = false;
  WindowAnswerer error("#32770", IDOK, [&](HWND box) { owner = GetWindow(box, GW_OWNER); });
  {
    WindowAnswerer picker("ToDirDlg", IDCANCEL, [&](HWND dialog) {
      SendMessageW(dialog, WM_COMMAND, IDOK, 0);
      stayedOpen = IsWindowVisible(dialog);
    });
    Main().OptionDlg().ToDirDlg().ShowModal();
  }
  EXPECT_EQ(error.Seen().caption, "エラー");
  EXPECT_EQ(error.Seen().text, "コピー先にはドライブ上のフォルダーを選んでください");
  EXPECT_EQ(owner, Main().OptionDlg().ToDirDlg().Handle());
  EXPECT_TRUE(stayedOpen);
}

TEST_F(FolderPickerTest, ADriveRootIsPickedAsItsRootAndCopiedInto) {
  OpenPicker(IDOK);
  const HTREEITEM drive = Drive("Y:\\");
  ASSERT_NE(drive, nullptr);
  Main().Option().ToDir = PathOf(drive);
  EXPECT_EQ(Main().Option().ToDir, "Y:\\");

  scratch.Write("Music\\ソ.mp3", "so");
  scratch.Write("Lists\\y.m3u", testing::ShiftJisBytes("..\\Music\\ソ.mp3\r\n"));
  Main().ChoosePlayList(scratch / "Lists\\y.m3u");
  Main().Option().StopAfterCopy = false;
  Main().Option().AddMode = true;
  DeleteFileW(L"Y:\\ソ.mp3");
  {
    WindowAnswerer info;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(info.Seen().text, "y.m3uより1曲をコピーしました");
  }
  EXPECT_EQ(testing::ReadWholeFile("Y:\\\\ソ.mp3"), "so");
  DeleteFileW(L"Y:\\ソ.mp3");
}

TEST_F(FolderPickerTest, KeepsItsBranchesAndSelectionBetweenOpenings) {
  OpenPicker(IDOK);
  const HTREEITEM computer = Computer();
  const HTREEITEM drive = Drive("C:\\");
  TreeView_SelectItem(Tree(), drive);
  OpenPicker(IDCANCEL);
  OpenPicker(IDOK);
  EXPECT_EQ(TreeView_GetSelection(Tree()), drive);
  EXPECT_TRUE(IsExpanded(computer));
  EXPECT_EQ(Main().OptionDlg().ToDirDlg().SelectedFolderPath(), "C:\\");
}

TEST_F(FolderPickerTest, AnEmptiedDestinationMakesTheNextCopyFail) {
  {
    WindowAnswerer ok("SFOptionDlg", IDOK, [](HWND dialog) { SetItemText(dialog, layouts::kToDirEdit, ""); });
    SendMessageA(Main().Handle(), WM_COMMAND, layouts::kMenuOptions, 0);
  }
  EXPECT_EQ(Main().Option().ToDir, "");
  scratch.Write("Lists\\a.m3u", "");
  Main().ChoosePlayList(scratch / "Lists\\a.m3u");
  WindowAnswerer error;
  Click(Main().Handle(), layouts::kIdOk);
  EXPECT_EQ(error.Seen().text, "コピー先フォルダが未指定です。オプション-環境設定で設定してください。");
}

TEST_F(FolderPickerTest, NumpadStarOpensOneLevelOnly) {
  MakeFolders({"Y:\\表", "Y:\\表\\ソ", "Y:\\表\\ソ\\深い"});
  OpenPicker(IDOK);
  const HTREEITEM drive = Drive("Y:\\");
  ASSERT_NE(drive, nullptr);
  TreeView_SelectItem(Tree(), drive);
  SendMessageA(Tree(), WM_KEYDOWN, VK_MULTIPLY, 0);
  EXPECT_TRUE(IsExpanded(drive));
  HTREEITEM folder = nullptr;
  for (const HTREEITEM child : Listed(drive)) {
    if (PathOf(child) == "Y:\\表")
      folder = child;
  }
  ASSERT_NE(folder, nullptr);
  EXPECT_FALSE(IsExpanded(folder));
  EXPECT_EQ(TreeView_GetChild(Tree(), folder), nullptr) << "its subfolders are not even listed";
  EXPECT_TRUE(ShowsExpandButton(folder));
}

TEST_F(FolderPickerTest, ListingAFolderShowsTheWaitCursorAndPutsItBack) {
  MakeFolders({"Y:\\表", "Y:\\表\\ソ"});
  OpenPicker(IDOK);
  const HTREEITEM folder = ChildAt(Drive("Y:\\"), "Y:\\表");
  ASSERT_NE(folder, nullptr);
  const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  int inserted = 0, insertedWaiting = 0;
  {
    const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
      if (sent.hwnd == Tree() && (sent.message == TVM_INSERTITEMW || sent.message == TVM_INSERTITEMA)) {
        ++inserted;
        insertedWaiting += GetCursor() == wait;
      }
    });
    TreeView_Expand(Tree(), folder, TVE_EXPAND);
  }
  EXPECT_EQ(inserted, 1);
  EXPECT_EQ(insertedWaiting, inserted);
  EXPECT_NE(GetCursor(), wait);
}

TEST_F(FolderPickerTest, AFolderThatCannotBeListedShowsNoSubfoldersAndThePickerGoesOn) {
  MakeFolders({"Y:\\消えた", "Y:\\消えた\\中"});
  OpenPicker(IDOK);
  const HTREEITEM folder = ChildAt(Drive("Y:\\"), "Y:\\消えた");
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(ShowsExpandButton(folder));
  // Gone between the listing of its drive and its own, as a network folder or a card may go.
  RemoveDirectoryW(L"Y:\\消えた\\中");
  RemoveDirectoryW(L"Y:\\消えた");
  EXPECT_TRUE(Children(folder).empty());
  EXPECT_FALSE(ShowsExpandButton(folder));
  TreeView_SelectItem(Tree(), folder);
  EXPECT_EQ(OpenPicker(IDOK), "コピー先の選択");
  EXPECT_EQ(Main().OptionDlg().ToDirDlg().SelectedFolderPath(), "Y:\\消えた");
}

TEST(FolderPickerButtons, NoneForAZipOrCabFileThatTheShellShowsAsAFolder) {
  // As Windows' shell answers for a folder with subfolders, and for a zip or cab file, which it
  // shows as a folder (Wine's shows no such folder).
  EXPECT_TRUE(ui::OffersSubfolders(SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER));
  EXPECT_FALSE(ui::OffersSubfolders(SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_HASSUBFOLDER | SFGAO_STREAM));
}

} // namespace
} // namespace sf
