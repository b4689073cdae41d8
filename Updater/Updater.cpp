#include "Updater/Updater.h"

#include "CommonUtils.h"
#include "Http/HttpChannels.h"
#include "Runtime/Log.h"
#include "Runtime/TextUtils.h"
#include "Updater/InstallManifest.h"
#include "Updater/PackageChecksum.h"
#include "Updater/UpdaterConfig.h"

namespace {

const wchar_t kSourceFile[] = L".\\Updater\\Updater";
const wchar_t kPackageFileName[] = L"kvinstaller.exe";
const wchar_t kTemporarySuffix[] = L".yw";
const wchar_t kFailureMessage[] = L"安装失败";
// The code of a finished package that could not take its final name.
constexpr int kCodeReplaceFailed = -1;
// The code of a complete download whose digest differs from the manifest's "Md5".
constexpr int kCodeChecksumMismatch = 2008;

// Helper windows created by this process; each gets its own class named after the count.
LONG g_helperWindowCount = 0;
WCHAR g_helperClassName[64];

}  // namespace

CUpdater::CUpdater(std::wstring workFolder, IGameEventListener* listener)
    : workFolder_(std::move(workFolder)), listener_(listener), manifestUrls_(ManifestUrls()) {}

CUpdater::~CUpdater() { Stop(); }

BOOL CUpdater::Start() {
  CreateHelperWindow();
  if (!CreateDir(workFolder_)) return FALSE;
  FetchManifest();
  return TRUE;
}

DWORD CUpdater::CreateHelperWindow() {
  ++g_helperWindowCount;
  wsprintfW(g_helperClassName, L"_UPDATE_MODULE_HELPER_WINDOW_KAVRO%d", g_helperWindowCount);
  helperClassName_ = g_helperClassName;

  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = HelperWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = helperClassName_.c_str();
  if (!RegisterClassW(&windowClass)) {
    DWORD error = GetLastError();
    ConsoleLogger::Instance().LogAt(LogLevel_Error, 652, kSourceFile, L"[UM]regclass %d", error);
    FileLogger::Instance().LogAt(LogLevel_Error, 653, kSourceFile, L"[UM]rcls %d:%d", 1, error);
    return error;
  }
  helperWindow_ = CreateWindowExW(0, helperClassName_.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
  if (!helperWindow_) {
    DWORD error = GetLastError();
    UnregisterClassW(helperClassName_.c_str(), instance);
    ConsoleLogger::Instance().LogAt(LogLevel_Error, 661, kSourceFile, L"[UM]unregclass %d", error);
    FileLogger::Instance().LogAt(LogLevel_Error, 662, kSourceFile, L"[UM]urcls %d:%d", 1, error);
    return error;
  }
  // The pointer-sized slot: a 32-bit one would cut the address on 64-bit systems.
  SetWindowLongPtrW(helperWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return 0;
}

void CUpdater::FetchManifest() {
  // Each URL is tried once; a repeated Start has no further server to ask.
  if (nextManifestUrl_ >= static_cast<int>(manifestUrls_.size())) return;
  const std::wstring& url = manifestUrls_[nextManifestUrl_];
  ++nextManifestUrl_;
  if (manifestCommand_.IsRunning()) return;
  manifestCommand_.SetUrl(url);
  manifestCommand_.SetCallback(OnManifestHttpDone, reinterpret_cast<UINT_PTR>(helperWindow_));
  Submit(&manifestCommand_, CommandManager());
}

std::wstring CUpdater::TemporaryPath() const { return packagePath_ + kTemporarySuffix; }

BOOL CUpdater::StartPackageDownload(const std::wstring& folder) {
  packagePath_ = folder;
  if (!CreateDir(packagePath_)) return FALSE;
  packagePath_ += L"\\";
  packagePath_ += kPackageFileName;
  downloading_ = TRUE;
  INT64 expectedSize = PackageSizeFromText(packageSizeText_);
  packageDownload_.StartDownload(packageUrl_, TemporaryPath(), static_cast<uint64_t>(expectedSize),
                                 reinterpret_cast<UINT_PTR>(helperWindow_), OnPackageHttpDone,
                                 OnPackageHttpProgress);
  return TRUE;
}

void CUpdater::RetryPackageDownload() {
  if (packageDownload_.IsRunning()) return;
  downloading_ = TRUE;
  Submit(&packageDownload_, DownloadManager());
}

BOOL CUpdater::IsDownloadRunning() const { return packageDownload_.IsRunning() ? TRUE : FALSE; }

void CUpdater::Stop() {
  manifestCommand_.Stop();
  packageDownload_.Stop();
  manifestText_.clear();
  downloading_ = FALSE;
  if (helperWindow_) {
    DestroyWindow(helperWindow_);
    helperWindow_ = nullptr;
    UnregisterClassW(helperClassName_.c_str(), GetModuleHandleW(nullptr));
  }
}

CUpdater* CUpdater::FromHelperWindow(UINT_PTR userData) {
  HWND window = reinterpret_cast<HWND>(userData);
  if (!window || !IsWindow(window)) return nullptr;
  return reinterpret_cast<CUpdater*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void CUpdater::PostToHelper(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (PostMessageW(window, message, wParam, lParam)) return;
  DWORD error = GetLastError();
  ConsoleLogger::Instance().LogAt(LogLevel_Error, 84, kSourceFile, L"[UM] post_message failed:%u", error);
  FileLogger::Instance().LogAt(LogLevel_Error, 85, kSourceFile, L"[UM] post message failed:%u", error);
}

void CUpdater::OnManifestHttpDone(UINT_PTR userData, const std::string& response, ErrType errType, int code) {
  CUpdater* updater = FromHelperWindow(userData);
  if (!updater) return;
  updater->manifestText_ = Utf8ToWide(response);
  PostToHelper(updater->helperWindow_, kMsgManifestDone, static_cast<WPARAM>(errType), static_cast<LPARAM>(code));
}

void CUpdater::OnPackageHttpProgress(UINT_PTR userData, uint64_t total, uint64_t complete, uint32_t speed) {
  CUpdater* updater = FromHelperWindow(userData);
  if (!updater) return;
  ProtoValue& process = updater->progressRecord_[L"process"];
  process[L"total"] = ProtoValue(static_cast<INT64>(total));
  process[L"complete"] = ProtoValue(static_cast<INT64>(complete));
  process[L"speed"] = ProtoValue(static_cast<INT64>(speed));
  PostToHelper(updater->helperWindow_, kMsgPackageProgress, 0, 0);
}

void CUpdater::OnPackageHttpDone(UINT_PTR userData, ErrType errType, int code) {
  CUpdater* updater = FromHelperWindow(userData);
  if (!updater) return;
  PostToHelper(updater->helperWindow_, kMsgPackageDone, static_cast<WPARAM>(errType), static_cast<LPARAM>(code));
}

LRESULT CALLBACK CUpdater::HelperWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER || (message >= 2027 && message <= 2031)) return 0;
  if (message < kMsgManifestDone || message > kMsgPackageDone) return DefWindowProcW(window, message, wParam, lParam);
  CUpdater* updater = reinterpret_cast<CUpdater*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!updater) return 0;
  // The code travels as a signed 32-bit value in the pointer-sized parameter.
  const ErrType errType = static_cast<ErrType>(static_cast<int>(wParam));
  const int code = static_cast<int>(lParam);
  switch (message) {
    case kMsgManifestDone:
      updater->OnManifestDone(errType, code);
      break;
    case kMsgPackageProgress:
      updater->OnPackageProgress();
      break;
    default:
      updater->OnPackageDone(errType, code);
      break;
  }
  return 0;
}

void CUpdater::OnManifestDone(ErrType errType, int code) {
  manifestCommand_.Stop();
  if (errType != kErrOk) {
    if (nextManifestUrl_ < static_cast<int>(manifestUrls_.size())) {
      FetchManifest();
      return;
    }
    listener_->OnManifestResult(errType, code, L"");
    return;
  }
  StoreManifest(workFolder_, manifestText_);
  TInstallManifest manifest = ReadManifest(workFolder_);
  packageUrl_ = manifest.url;
  packageSizeText_ = manifest.sizeText;
  packageMd5_ = manifest.md5;
  StartPackageDownload(workFolder_);
  listener_->OnManifestResult(kErrOk, code, manifest.version);
}

void CUpdater::OnPackageProgress() {
  if (!downloading_) return;
  if (progressRecord_.Has(L"process")) {
    const ProtoValue& process = progressRecord_.Get(L"process");
    INT64 speed = static_cast<INT64>(static_cast<DWORD>(process.Get(L"speed").integer()));
    listener_->OnPackageProgress(process.Get(L"total").integer(), process.Get(L"complete").integer(), speed);
  }
  progressRecord_.Clear();
}

void CUpdater::OnPackageDone(ErrType errType, int code) {
  if (!downloading_) return;
  packageDownload_.Stop();
  downloading_ = FALSE;
  std::wstring message;
  const std::wstring temporary = TemporaryPath();
  if (errType == kErrOk && PackageFailsMd5(temporary, packageMd5_)) {
    // Not the published package (typically a partial file of an older version resumed
    // against a newer one): it is dropped, so that the next attempt starts afresh.
    DeleteFileRetry(temporary);
    errType = kErrUser;
    code = kCodeChecksumMismatch;
    message = kFailureMessage;
  } else if (errType == kErrOk) {
    if (!DeleteFileRetry(packagePath_) || !MoveFileRetry(temporary, packagePath_)) {
      errType = kErrUser;
      code = kCodeReplaceFailed;
    }
  } else {
    // A partial file is kept so that the next attempt resumes from it.
    if (GetFileSize64(temporary) <= 0) DeleteFileRetry(temporary);
    message = kFailureMessage;
  }
  listener_->OnPackageResult(errType, code, message);
}
