// The package updater: fetches the install manifest (primary server, then fallback),
// downloads the package it names into the work folder, and reports the manifest result,
// the download progress and the download result to a listener.
//
// Every event of the HTTP layer is turned into a message posted to a hidden
// message-only helper window, so that the updater's state changes and every listener
// call happen later, from the main thread's message loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "Http/HttpCommand.h"
#include "Http/HttpDownloadFile.h"
#include "Runtime/ProtoValue.h"
#include "Updater/GameEventListener.h"

class CUpdater {
 public:
  // Messages posted to the helper window: wParam the error type (0 "ok"), lParam the
  // code; progress carries nothing, its values wait in the progress record.
  static constexpr UINT kMsgManifestDone = 2024;
  static constexpr UINT kMsgPackageProgress = 2025;
  static constexpr UINT kMsgPackageDone = 2026;

  CUpdater(std::wstring workFolder, IGameEventListener* listener);
  ~CUpdater();
  CUpdater(const CUpdater&) = delete;
  CUpdater& operator=(const CUpdater&) = delete;

  // Creates the helper window, makes sure the work folder exists and fetches the
  // manifest. False only when the work folder cannot be created.
  BOOL Start();
  // Submits the download again after a failure; it resumes from the temporary file.
  // Does nothing while the download runs.
  void RetryPackageDownload();
  BOOL IsDownloadRunning() const;
  // Ends all activity; events still under way are dropped.
  void Stop();

  HWND HelperWindow() const { return helperWindow_; }
  const std::wstring& HelperClassName() const { return helperClassName_; }
  // Where the finished package lands: the work folder and "kvinstaller.exe".
  const std::wstring& PackagePath() const { return packagePath_; }
  const std::wstring& PackageUrl() const { return packageUrl_; }
  const std::wstring& PackageMd5() const { return packageMd5_; }

  // The completion and progress functions installed into the HTTP tasks. They run on
  // the main thread, store what they carry and post a message to the helper window
  // named by the user value; without a live updater behind it they drop the event.
  static void OnManifestHttpDone(UINT_PTR userData, const std::string& response, ErrType errType, int code);
  static void OnPackageHttpProgress(UINT_PTR userData, uint64_t total, uint64_t complete, uint32_t speed);
  static void OnPackageHttpDone(UINT_PTR userData, ErrType errType, int code);

 private:
  static LRESULT CALLBACK HelperWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static CUpdater* FromHelperWindow(UINT_PTR userData);
  static void PostToHelper(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  DWORD CreateHelperWindow();
  void FetchManifest();
  BOOL StartPackageDownload(const std::wstring& folder);
  // The package while it downloads: PackagePath() followed by ".yw".
  std::wstring TemporaryPath() const;

  void OnManifestDone(ErrType errType, int code);
  void OnPackageProgress();
  void OnPackageDone(ErrType errType, int code);

  std::wstring workFolder_;
  IGameEventListener* listener_;
  std::vector<std::wstring> manifestUrls_;
  int nextManifestUrl_ = 0;
  CHttpCommand manifestCommand_;
  CHttpDownloadFile packageDownload_;
  HWND helperWindow_ = nullptr;
  std::wstring helperClassName_;
  std::wstring manifestText_;
  ProtoValue progressRecord_;
  BOOL downloading_ = FALSE;
  std::wstring packageUrl_;
  std::wstring packageSizeText_;
  std::wstring packageMd5_;
  std::wstring packagePath_;
};
