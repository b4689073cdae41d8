// Window classes, creation and destruction messages, window data, subclassing,
// properties, registered messages, the module handle and COM initialisation.
#include <gtest/gtest.h>
#include <commctrl.h>
#include <ole2.h>
#include <windows.h>

#include <thread>

#include "WindowRecorder.h"

namespace {

using Ids = std::vector<UINT>;

TEST(Windows, CreationSendsNcCreateThenCreateWithTheParameters) {
  WindowRecorder window;
  ASSERT_NE(window.Handle(), nullptr);
  auto messages = window.Messages();
  ASSERT_EQ(window.MessageIds(), (Ids{WM_NCCREATE, WM_CREATE}));
  auto* create = reinterpret_cast<CREATESTRUCTW*>(messages[1].lParam);
  EXPECT_EQ(create, reinterpret_cast<CREATESTRUCTW*>(messages[0].lParam));
  EXPECT_EQ(GetWindowLongPtrW(window.Handle(), GWLP_USERDATA),
            reinterpret_cast<LONG_PTR>(&window));
  EXPECT_TRUE(IsWindow(window.Handle()));
}

LRESULT CALLBACK Refuse(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* log = reinterpret_cast<Ids*>(
      message == WM_NCCREATE || message == WM_CREATE
          ? reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams
          : reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
  if (message == WM_NCCREATE) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
  log->push_back(message);
  if (message == WM_NCCREATE && log->front() == 1) return FALSE;  // refuse at WM_NCCREATE
  if (message == WM_CREATE) return -1;
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Windows, RefusedCreationReturnsNullAndTearsDown) {
  WNDCLASSW info{};
  info.lpfnWndProc = Refuse;
  info.lpszClassName = L"TestRefusingWindow";
  RegisterClassW(&info);
  struct Case {
    UINT refuseAt;
    Ids expected;
  } cases[] = {
      {1, {1, WM_NCCREATE, WM_NCDESTROY}},
      {2, {2, WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
  };
  for (const auto& item : cases) {
    Ids log{item.refuseAt};
    HWND window = CreateWindowExW(0, L"TestRefusingWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, &log);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(log, item.expected);
  }
  EXPECT_TRUE(UnregisterClassW(L"TestRefusingWindow", nullptr));  // no window is left
}

TEST(Windows, DestroySendsDestroyBeforeChildrenAndNcDestroyAfterThem) {
  WindowRecorder parent;
  WindowRecorder child(parent.Handle(), WS_CHILD);
  WindowRecorder owned(parent.Handle(), WS_POPUP);  // a hidden top-level window it owns
  parent.Clear();
  child.Clear();
  owned.Clear();
  HWND childHandle = child.Handle();
  ASSERT_TRUE(DestroyWindow(parent.Handle()));
  EXPECT_EQ(parent.MessageIds(), (Ids{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(child.MessageIds(), (Ids{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_EQ(owned.MessageIds(), (Ids{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(childHandle));
  EXPECT_FALSE(IsWindow(owned.Handle()));
}

TEST(Windows, DefaultProcedureDestroysOnClose) {
  WindowRecorder window;
  HWND handle = window.Handle();
  SendMessageW(handle, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(handle));
}

TEST(Windows, OnlyTheCreatingThreadDestroys) {
  WindowRecorder window;
  BOOL destroyed = TRUE;
  DWORD error = 0;
  std::thread([&] {
    destroyed = DestroyWindow(window.Handle());
    error = GetLastError();
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(window.Handle()));
}

WNDPROC previousProc = nullptr;
std::vector<UINT> subclassSeen;

LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  subclassSeen.push_back(message);
  if (message == WM_USER + 1) return 77;  // handled here, never reaches the original
  return CallWindowProcW(previousProc, window, message, wParam, lParam);
}

TEST(Windows, SubclassingThroughTheWindowProcedure) {
  WindowRecorder window;
  window.Clear();
  subclassSeen.clear();
  previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
  EXPECT_EQ(previousProc, &WindowRecorder::Proc);
  EXPECT_EQ(SendMessageW(window.Handle(), WM_USER + 1, 0, 0), 77);
  SendMessageW(window.Handle(), WM_USER + 2, 0, 0);
  PostMessageW(window.Handle(), WM_USER + 3, 0, 0);
  PumpPending();
  EXPECT_EQ(subclassSeen, (Ids{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  EXPECT_EQ(window.MessageIds(), (Ids{WM_USER + 2, WM_USER + 3}));
  // Restoring the original procedure ends the subclass.
  SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
  SendMessageW(window.Handle(), WM_USER + 4, 0, 0);
  EXPECT_EQ(subclassSeen.size(), 3u);
}

TEST(Windows, WindowDataAndStyles) {
  WindowRecorder window(HWND_MESSAGE, WS_POPUP | WS_SYSMENU);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window.Handle(), GWL_STYLE)),
            static_cast<DWORD>(WS_POPUP | WS_SYSMENU));
  EXPECT_EQ(SetWindowLongPtrW(window.Handle(), GWLP_USERDATA, 1234),
            reinterpret_cast<LONG_PTR>(&window));
  EXPECT_EQ(GetWindowLongPtrW(window.Handle(), GWLP_USERDATA), 1234);
  SetWindowLongPtrW(window.Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&window));
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrW(window.Handle(), 12345), 0);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(GetWindowLongPtrW(nullptr, GWLP_USERDATA), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Windows, PropertiesByCaseInsensitiveName) {
  WindowRecorder window;
  int value = 0;
  EXPECT_TRUE(SetPropW(window.Handle(), L"WndX", &value));
  EXPECT_EQ(GetPropW(window.Handle(), L"wndx"), &value);
  EXPECT_EQ(GetPropW(window.Handle(), L"Other"), nullptr);
  EXPECT_EQ(RemovePropW(window.Handle(), L"WNDX"), &value);
  EXPECT_EQ(GetPropW(window.Handle(), L"WndX"), nullptr);
  EXPECT_EQ(RemovePropW(window.Handle(), L"WndX"), nullptr);
}

TEST(Windows, ClassRegistrationAndItsErrors) {
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  info.lpfnWndProc = DefWindowProcW;
  info.lpszClassName = L"TestClassErrors";
  info.style = CS_DBLCLKS;
  ATOM atom = RegisterClassExW(&info);
  ASSERT_NE(atom, 0);
  EXPECT_EQ(RegisterClassExW(&info), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

  WNDCLASSEXW found{};
  found.cbSize = sizeof(found);
  EXPECT_EQ(GetClassInfoExW(nullptr, L"testclasserrors", &found), atom);
  EXPECT_EQ(found.style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(found.lpfnWndProc, &DefWindowProcW);

  HWND window = CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(UnregisterClassW(L"TestClassErrors", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassW(L"TestClassErrors", nullptr));
  EXPECT_FALSE(UnregisterClassW(L"TestClassErrors", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

  EXPECT_EQ(CreateWindowExW(0, L"TestClassErrors", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            nullptr, nullptr),
            nullptr);
  info.cbSize = sizeof(info) - 4;
  EXPECT_EQ(RegisterClassExW(&info), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Windows, RegisteredMessagesAreStablePerName) {
  UINT fired = RegisterWindowMessageW(L"com.kavro.MainThreadFired");
  EXPECT_GE(fired, 0xC000u);
  EXPECT_LE(fired, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessageW(L"COM.KAVRO.MAINTHREADFIRED"), fired);
  UINT other = RegisterWindowMessageW(L"com.kavro.Other");
  EXPECT_NE(other, fired);
  EXPECT_GE(other, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
}

TEST(Windows, ModuleHandleIsTheProgramsOwn) {
  HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_NE(self, nullptr);
  EXPECT_EQ(GetModuleHandleW(nullptr), self);
  EXPECT_EQ(GetModuleHandleW(L"kv_test_platform"), self);
  EXPECT_EQ(GetModuleHandleW(L"nosuchmodule.dll"), nullptr);
  EXPECT_EQ(GetLastError(), 126u);
}

TEST(Windows, ComAndOleInitialisationCountPerThread) {
  std::thread([] {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    OleUninitialize();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(OleInitialize(nullptr), S_OK);  // all undone: initialised afresh
    OleUninitialize();
  }).join();
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&controls));
  controls.dwSize = 4;
  EXPECT_FALSE(InitCommonControlsEx(&controls));
}

}  // namespace
