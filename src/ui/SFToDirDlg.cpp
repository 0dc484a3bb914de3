#include "ui/SFToDirDlg.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"
#include "ui/MessageBoxes.h"
#include "ui/SystemDlls.h"

#include <shellapi.h>

#include <algorithm>

namespace sf::ui {
namespace {

constexpr int kIndent = 19;

// "*" on the number pad would open every branch below the item and so walk the whole shell
// namespace, every drive and the network: here it opens one level, as "+" does.
LRESULT CALLBACK TreeKeys(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == WM_KEYDOWN && wParam == VK_MULTIPLY) {
    if (const HTREEITEM item = TreeView_GetSelection(tree))
      TreeView_Expand(tree, item, TVE_EXPAND);
    return 0;
  }
  if (message == WM_NCDESTROY)
    RemoveWindowSubclass(tree, TreeKeys, id);
  return DefSubclassProc(tree, message, wParam, lParam);
}

} // namespace

bool OffersSubfolders(SFGAOF attributes) { return (attributes & SFGAO_HASSUBFOLDER) && !(attributes & SFGAO_STREAM); }

TToDirDlg::TToDirDlg(HWND owner) : TWindow(layouts::kToDir, owner, Modality::Modal) {
  SetWindowSubclass(Tree(), TreeKeys, 0, 0);
  TreeView_SetIndent(Tree(), ScaleForDpi(kIndent, DpiOf(Handle())));
}

std::optional<TToDirDlg::Shell> TToDirDlg::LoadShell() {
  // The tree keeps the shell's image list and its folder objects: the DLLs stay.
  const HMODULE shell32 = KeepSystemDll(L"shell32.dll"), shlwapi = KeepSystemDll(L"shlwapi.dll");
  const Shell shell{
      FindFunction<decltype(SHGetDesktopFolder)>(shell32, "SHGetDesktopFolder"),
      FindFunction<decltype(SHGetSpecialFolderLocation)>(shell32, "SHGetSpecialFolderLocation"),
      FindFunction<decltype(SHGetFileInfoW)>(shell32, "SHGetFileInfoW"),
      FindFunction<decltype(SHBindToParent)>(shell32, "SHBindToParent"),
      FindFunction<decltype(ILCombine)>(shell32, "ILCombine"),
      FindFunction<decltype(StrRetToStrW)>(shlwapi, "StrRetToStrW"),
  };
  if (!shell.getDesktopFolder || !shell.getSpecialFolderLocation || !shell.getFileInfo || !shell.bindToParent ||
      !shell.combine || !shell.strRetToStr)
    return std::nullopt;
  return shell;
}

void TToDirDlg::ModalShowing() {
  if (desktop_)
    return;
  // A system without the shell shows an empty tree, as one whose desktop cannot be asked.
  if (!shell_)
    shell_ = LoadShell();
  IShellFolder *desktop = nullptr;
  if (!shell_ || FAILED(shell_->getDesktopFolder(&desktop)))
    return;
  desktop_.reset(desktop);
  SHFILEINFOW info{};
  const auto images = reinterpret_cast<HIMAGELIST>(
      shell_->getFileInfo(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  // The shell's own image list; a tree view never destroys the lists it is given.
  TreeView_SetImageList(Tree(), images, TVSIL_NORMAL);
  ITEMIDLIST *desktopList = nullptr;
  if (FAILED(shell_->getSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktopList)))
    return;
  const HTREEITEM root = AddFolder(TVI_ROOT, Pidl(desktopList));
  TreeView_Expand(Tree(), root, TVE_EXPAND);
  TreeView_SelectItem(Tree(), root);
}

HTREEITEM TToDirDlg::AddFolder(HTREEITEM parent, Pidl absolute) {
  SHFILEINFOW info{}, open{};
  shell_->getFileInfo(reinterpret_cast<LPCWSTR>(absolute.get()), 0, &info, sizeof info,
                      SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  shell_->getFileInfo(reinterpret_cast<LPCWSTR>(absolute.get()), 0, &open, sizeof open,
                      SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
  // The root always has subfolders.
  SFGAOF attributes = SFGAO_HASSUBFOLDER;
  if (parent != TVI_ROOT) {
    IShellFolder *owner = nullptr;
    PCUITEMID_CHILD last = nullptr;
    if (SUCCEEDED(shell_->bindToParent(absolute.get(), IID_IShellFolder, reinterpret_cast<void **>(&owner), &last))) {
      const ComPtr<IShellFolder> ownerFolder(owner);
      attributes = SFGAO_HASSUBFOLDER | SFGAO_STREAM;
      if (FAILED(ownerFolder->GetAttributesOf(1, &last, &attributes)))
        attributes = 0;
    } else {
      attributes = 0;
    }
  }
  std::wstring name = NameOf(absolute.get(), SHGDN_NORMAL);
  folders_.push_back({std::move(absolute)});

  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  insert.item.pszText = name.data();
  insert.item.lParam = static_cast<LPARAM>(folders_.size() - 1);
  insert.item.iImage = info.iIcon;
  insert.item.iSelectedImage = open.iIcon;
  insert.item.cChildren = OffersSubfolders(attributes) ? 1 : 0;
  return reinterpret_cast<HTREEITEM>(SendMessageW(Tree(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::size_t TToDirDlg::FolderIndexOf(HTREEITEM item) const {
  TVITEMW tvItem{};
  tvItem.mask = TVIF_PARAM;
  tvItem.hItem = item;
  SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem));
  return static_cast<std::size_t>(tvItem.lParam);
}

void TToDirDlg::ListSubfolders(HTREEITEM item) {
  Folder &parent = folders_[FolderIndexOf(item)];
  if (parent.listed)
    return;
  parent.listed = true;
  const WaitCursor wait;

  // A folder that cannot be listed (a drive that is not ready, a network folder out of reach)
  // simply shows no subfolders.
  ComPtr<IShellFolder> folder;
  const ITEMIDLIST *absolute = parent.absolute.get();
  if (absolute->mkid.cb == 0) {
    desktop_->AddRef();
    folder.reset(desktop_.get());
  } else {
    IShellFolder *bound = nullptr;
    if (SUCCEEDED(desktop_->BindToObject(absolute, nullptr, IID_IShellFolder, reinterpret_cast<void **>(&bound))))
      folder.reset(bound);
  }
  IEnumIDList *enumeration = nullptr;
  std::vector<Pidl> children;
  if (folder && folder->EnumObjects(Handle(), SHCONTF_FOLDERS, &enumeration) == S_OK && enumeration) {
    const ComPtr<IEnumIDList> owned(enumeration);
    ITEMIDLIST *child = nullptr;
    while (owned->Next(1, &child, nullptr) == S_OK)
      children.emplace_back(child);
  }
  std::sort(children.begin(), children.end(), [&](const Pidl &a, const Pidl &b) {
    return static_cast<short>(HRESULT_CODE(folder->CompareIDs(0, a.get(), b.get()))) < 0;
  });
  // Adding items may move `folders_`: `parent` is not used after this point.
  for (const auto &child : children)
    AddFolder(item, Pidl(shell_->combine(absolute, child.get())));
  if (children.empty()) {
    TVITEMW tvItem{};
    tvItem.hItem = item;
    tvItem.mask = TVIF_CHILDREN;
    tvItem.cChildren = 0;
    SendMessageW(Tree(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvItem));
  }
}

std::wstring TToDirDlg::NameOf(const ITEMIDLIST *absolute, SHGDNF flags) const {
  STRRET name{};
  wchar_t *text = nullptr;
  if (FAILED(desktop_->GetDisplayNameOf(absolute, flags, &name)) || FAILED(shell_->strRetToStr(&name, absolute, &text)))
    return {};
  const TaskMemText owned(text);
  return owned.get();
}

const ITEMIDLIST *TToDirDlg::SelectedFolder() const {
  const HTREEITEM selected = TreeView_GetSelection(Tree());
  return selected && desktop_ ? folders_[FolderIndexOf(selected)].absolute.get() : nullptr;
}

bool TToDirDlg::IsDriveFolder(const ITEMIDLIST *absolute) const {
  constexpr SFGAOF kAsked = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;
  SHFILEINFOW info{};
  info.dwAttributes = kAsked;
  return shell_->getFileInfo(reinterpret_cast<LPCWSTR>(absolute), 0, &info, sizeof info,
                             SHGFI_PIDL | SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED) &&
         (info.dwAttributes & kAsked) == (SFGAO_FOLDER | SFGAO_FILESYSTEM);
}

std::string TToDirDlg::SelectedFolderPath() const {
  const ITEMIDLIST *selected = SelectedFolder();
  return selected && IsDriveFolder(selected) ? Narrow(NameOf(selected, SHGDN_FORPARSING)) : std::string();
}

void TToDirDlg::FolderTreeRightClick() {
  TVHITTESTINFO hit{};
  GetCursorPos(&hit.pt);
  ScreenToClient(Tree(), &hit.pt);
  if (const HTREEITEM item = TreeView_HitTest(Tree(), &hit))
    TreeView_SelectItem(Tree(), item);
}

LRESULT TToDirDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    const auto *header = reinterpret_cast<const NMHDR *>(lParam);
    if (header->idFrom == layouts::kFolderTree) {
      if (header->code == TVN_ITEMEXPANDINGA || header->code == TVN_ITEMEXPANDINGW) {
        const auto *change = reinterpret_cast<const NMTREEVIEWW *>(lParam);
        if (change->action & TVE_EXPAND)
          ListSubfolders(change->itemNew.hItem);
        return FALSE;
      }
      if (header->code == NM_RCLICK) {
        FolderTreeRightClick();
        return TRUE;
      }
    }
  }
  if (message == WM_DPICHANGED)
    TreeView_SetIndent(Tree(), ScaleForDpi(kIndent, HIWORD(wParam)));
  return TWindow::HandleMessage(message, wParam, lParam);
}

bool TToDirDlg::OkConfirmed() {
  // Only a folder on a drive can take copies; the others stay browsable, to reach the drives.
  if (const ITEMIDLIST *selected = SelectedFolder(); selected && !IsDriveFolder(selected)) {
    ShowError(messages::kNotADriveFolder, Handle());
    return false;
  }
  // A folder the settings file cannot name is refused here, where it was picked.
  return ConfirmDestinationFitsSettings(SelectedFolderPath(), Handle());
}

} // namespace sf::ui
