// One process-wide object of a class, constructed on first use and destroyed at exit.
// A class T derives from CSingleton<T> and befriends it when its constructor is private.
#pragma once

template <class T>
class CSingleton {
 public:
  static T& Instance() {
    static T instance;
    return instance;
  }

  CSingleton(const CSingleton&) = delete;
  CSingleton& operator=(const CSingleton&) = delete;

 protected:
  CSingleton() = default;
  ~CSingleton() = default;
};
