// COM and OLE initialisation and the common controls. The program uses no COM objects;
// what remains observable is the per-thread initialisation count and its results: S_OK
// for the first initialisation on a thread, S_FALSE while it is already initialised.
#include <commctrl.h>
#include <ole2.h>
#include <windows.h>

namespace {

thread_local int comInitCount = 0;
thread_local int oleInitCount = 0;

}  // namespace

HRESULT CoInitialize(LPVOID) { return comInitCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
  if (comInitCount > 0) --comInitCount;
}

// OLE initialises COM on the thread as well; the result tells whether COM already was.
HRESULT OleInitialize(LPVOID reserved) {
  ++oleInitCount;
  return CoInitialize(reserved);
}

void OleUninitialize() {
  if (oleInitCount == 0) return;
  --oleInitCount;
  CoUninitialize();
}

// The classes of the common controls the program uses are registered where they are
// implemented, on first use; the call only checks its argument.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* initControls) {
  return initControls && initControls->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
