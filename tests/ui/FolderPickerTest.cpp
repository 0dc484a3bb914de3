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
  HWND Tree() { return ui::ToDirDlg->Control(layouts::kShellTreeView1); }

  std::string OpenPicker(int command) {
    WindowAnswerer answer("ToDirDlg", command);
    ui::ToDirDlg->ShowModal();
    return answer.Seen().caption;
  }

  std::vector<HTREEITEM> Children(HTREEITEM item) {
    TreeView_Expand(Tree(), item, TVE_EXPAND);
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = TreeView_GetChild(Tree(), item); child; child = TreeView_GetNextSibling(Tree(), child))
      children.push_back(child);
    return children;
  }

  std::string PathOf(HTREEITEM item) {
    TreeView_SelectItem(Tree(), item);
    return ui::ToDirDlg->SelectedFolderPath();
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

  HTREEITEM Drive(const std::string &root) {
    for (const HTREEITEM drive : Children(Computer())) {
      if (PathOf(drive) == root)
        return drive;
    }
    return nullptr;
  }

  bool IsExpanded(HTREEITEM item) { return TreeView_GetItemState(Tree(), item, TVIS_EXPANDED) & TVIS_EXPANDED; }
};

TEST_F(FolderPickerTest, ConfirmedAtOnceGivesTheDesktopsPath) {
  EXPECT_EQ(ui::ToDirDlg->SelectedFolderPath(), "") << "nothing is selected before the tree is built";
  EXPECT_EQ(OpenPicker(IDOK), "コピー先の選択");
  wchar_t desktop[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  EXPECT_EQ(ui::ToDirDlg->SelectedFolderPath(), Narrow(desktop));
  const HTREEITEM root = TreeView_GetRoot(Tree());
  EXPECT_EQ(TreeView_GetSelection(Tree()), root);
  EXPECT_EQ(TreeView_GetNextSibling(Tree(), root), nullptr) << "the desktop is the one root";
  EXPECT_EQ(TreeView_GetIndent(Tree()), 19u);
}

TEST_F(FolderPickerTest, TheBrowseButtonFillsInThePickedFolderOnlyOnOk) {
  SetItemText(ui::SFOptionDlg->Handle(), layouts::kToDirEdit, "typed");
  {
    WindowAnswerer cancel("ToDirDlg", IDCANCEL);
    SendMessageA(ui::SFOptionDlg->Handle(), WM_COMMAND, layouts::kRefButton, 0);
  }
  EXPECT_EQ(ui::SFOptionDlg->Text(layouts::kToDirEdit), "typed");
  {
    WindowAnswerer ok("ToDirDlg", IDOK);
    SendMessageA(ui::SFOptionDlg->Handle(), WM_COMMAND, layouts::kRefButton, 0);
  }
  EXPECT_EQ(ui::SFOptionDlg->Text(layouts::kToDirEdit), ui::ToDirDlg->SelectedFolderPath());
  EXPECT_NE(ui::SFOptionDlg->Text(layouts::kToDirEdit), "typed");
}

TEST_F(FolderPickerTest, AFolderPickedInCancelledOptionsIsForgotten) {
  Main().Option->ToDir = "E:\\Old";
  std::string picked;
  {
    WindowAnswerer cancel("SFOptionDlg", IDCANCEL, [&](HWND options) {
      PostMessageA(options, WM_COMMAND, layouts::kRefButton, 0);
      HWND picker = nullptr;
      for (int tries = 0; tries < 500 && !(picker && IsWindowVisible(picker)); ++tries, Sleep(20))
        picker = FindWindowA("ToDirDlg", nullptr);
      PostMessageA(picker, WM_COMMAND, IDOK, 0);
      for (int tries = 0; tries < 500 && IsWindowVisible(picker); ++tries)
        Sleep(20);
      picked = ItemText(options, layouts::kToDirEdit);
    });
    Command(layouts::kMenuO2);
  }
  EXPECT_EQ(picked, ui::ToDirDlg->SelectedFolderPath());
  EXPECT_NE(picked, "E:\\Old");
  EXPECT_EQ(Main().Option->ToDir, "E:\\Old");
}

TEST_F(FolderPickerTest, TheComputerListsTheDrivesAndNamesItselfByItsDisplayName) {
  OpenPicker(IDOK);
  const HTREEITEM computer = Computer();
  ASSERT_NE(computer, nullptr);
  const auto name = PathOf(computer);
  EXPECT_FALSE(name.empty());
  EXPECT_NE(name.rfind("::{", 0), 0u) << name;
  EXPECT_NE(Drive("Y:\\"), nullptr);
}

TEST_F(FolderPickerTest, ADriveRootIsPickedAsItsRootAndCopiedInto) {
  OpenPicker(IDOK);
  const HTREEITEM drive = Drive("Y:\\");
  ASSERT_NE(drive, nullptr);
  Main().Option->ToDir = PathOf(drive);
  EXPECT_EQ(Main().Option->ToDir, "Y:\\");

  scratch.Write("Music\\ソ.mp3", "so");
  scratch.Write("Lists\\y.m3u", testing::ShiftJisBytes("..\\Music\\ソ.mp3\r\n"));
  Main().PlayListPath = scratch / "Lists\\y.m3u";
  Main().Option->StopAfterCopy = false;
  Main().Option->AddMode = true;
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
  EXPECT_EQ(ui::ToDirDlg->SelectedFolderPath(), "C:\\");
}

TEST_F(FolderPickerTest, AnEmptiedDestinationMakesTheNextCopyFail) {
  {
    WindowAnswerer ok("SFOptionDlg", IDOK, [](HWND dialog) { SetItemText(dialog, layouts::kToDirEdit, ""); });
    SendMessageA(Main().Handle(), WM_COMMAND, layouts::kMenuO2, 0);
  }
  EXPECT_EQ(Main().Option->ToDir, "");
  scratch.Write("Lists\\a.m3u", "");
  Main().PlayListPath = scratch / "Lists\\a.m3u";
  WindowAnswerer error;
  Click(Main().Handle(), layouts::kIdOk);
  EXPECT_EQ(error.Seen().text, "コピー先フォルダが未指定です。オプション-環境設定で設定してください。");
}

} // namespace
} // namespace sf
