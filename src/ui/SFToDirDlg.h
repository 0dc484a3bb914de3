#pragma once

#include "ui/Window.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <optional>
#include <string>
#include <vector>

namespace sf::ui {

// Picks the destination folder from a tree of the shell's folders, rooted at the desktop. The tree
// is built when the dialog first opens, lists a folder's subfolders when its branch is first
// expanded, and keeps its branches and selection between openings. Listing a folder keeps the thread
// (the network, a sleeping drive may take long), so the tree never opens more than one level at a
// time.
class TToDirDlg final : public TWindow {
public:
  explicit TToDirDlg(HWND owner);

  // The path of the folder selected in the tree ("E:\" for a drive root); empty when none is
  // selected or it is no folder on a drive.
  std::string SelectedFolderPath() const;

protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OkConfirmed() override;
  void ModalShowing() override;

private:
  // The shell's functions, taken from the system folder when the dialog first opens.
  struct Shell {
    decltype(SHGetDesktopFolder) *getDesktopFolder;
    decltype(SHGetSpecialFolderLocation) *getSpecialFolderLocation;
    decltype(SHGetFileInfoW) *getFileInfo;
    decltype(SHBindToParent) *bindToParent;
    decltype(ILCombine) *combine;
    decltype(StrRetToStrW) *strRetToStr;
  };
  struct Folder {
    Pidl absolute; // relative to the desktop
    bool listed = false;
  };

  HWND Tree() const { return Control(layouts::kFolderTree); }
  // The selected folder, relative to the desktop; null when none is.
  const ITEMIDLIST *SelectedFolder() const;
  // Whether the folder has a path: This PC, libraries, the network, a zip file or a player connected
  // as a portable device, without a drive letter, have none.
  bool IsDriveFolder(const ITEMIDLIST *absolute) const;
  std::size_t FolderIndexOf(HTREEITEM item) const;
  HTREEITEM AddFolder(HTREEITEM parent, Pidl absolute);
  // Fills in the subfolders of `item` the first time its branch opens.
  void ListSubfolders(HTREEITEM item);
  void FolderTreeRightClick();
  std::wstring NameOf(const ITEMIDLIST *absolute, SHGDNF flags) const;
  static std::optional<Shell> LoadShell();

  std::optional<Shell> shell_;
  ComPtr<IShellFolder> desktop_;
  std::vector<Folder> folders_; // tree items hold their index here
};

// Whether a folder of these attributes gets an expand button: one with subfolders, but no zip or cab
// file (a stream the shell shows as a folder), whose listing unpacks it on the window's thread.
bool OffersSubfolders(SFGAOF attributes);

} // namespace sf::ui
