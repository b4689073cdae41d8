// Shell: special folders, the folder picker, creating directory trees.
#pragma once

#include "windef.h"
#include "objbase.h"

// Item lists name shell items; ours name file-system folders only.
typedef struct _SHITEMID {
  USHORT cb;
  BYTE abID[1];
} SHITEMID;

typedef struct _ITEMIDLIST {
  SHITEMID mkid;
} ITEMIDLIST, *LPITEMIDLIST, *PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;

// Item lists the shell hands out are freed with CoTaskMemFree.
void CoTaskMemFree(LPVOID memory);

#define CSIDL_COMMON_APPDATA 0x0023

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, PIDLIST_ABSOLUTE* item);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE item, LPWSTR path);
int SHCreateDirectoryExW(HWND window, LPCWSTR path, const SECURITY_ATTRIBUTES* security);

// The folder picker.
typedef int(CALLBACK* BFFCALLBACK)(HWND window, UINT message, LPARAM param, LPARAM data);

typedef struct _browseinfoW {
  HWND hwndOwner;
  PCIDLIST_ABSOLUTE pidlRoot;
  LPWSTR pszDisplayName;
  LPCWSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
} BROWSEINFOW, *LPBROWSEINFOW;

#define BIF_RETURNONLYFSDIRS 0x00000001
#define BIF_EDITBOX 0x00000010
#define BIF_NEWDIALOGSTYLE 0x00000040

// Notifications to the callback, and messages it may send to the dialog.
#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_SETSELECTIONW (0x0400 + 103)
#define BFFM_SETSTATUSTEXTW (0x0400 + 104)

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info);
