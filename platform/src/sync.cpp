// Critical sections (recursive mutexes) and Sleep.
#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <windows.h>

namespace {

pthread_mutex_t* MutexOf(LPCRITICAL_SECTION section) {
  static_assert(sizeof(pthread_mutex_t) <= sizeof(CRITICAL_SECTION::opaque));
  return reinterpret_cast<pthread_mutex_t*>(section->opaque);
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(MutexOf(section), &attr);
  pthread_mutexattr_destroy(&attr);
}

void EnterCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_lock(MutexOf(section)); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  return pthread_mutex_trylock(MutexOf(section)) == 0;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_unlock(MutexOf(section)); }

void DeleteCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_destroy(MutexOf(section)); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec request{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&request, &request) != 0 && errno == EINTR) {
  }
}
