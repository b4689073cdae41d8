// An HTTP task whose response body is kept in memory and handed to a completion
// function. Commands run on the command channel.
#pragma once

#include <string>

#include "Http/HttpBase.h"

// userData as stored; response the body received (empty unless the outcome is "ok");
// type and code the outcome.
typedef void (*CommandCallback)(UINT_PTR userData, const std::string& response, ErrType type,
                                int code);

class CHttpCommand : public CHttpBase {
 public:
  // Binds the command to the command channel as it exists now.
  CHttpCommand();

  bool Start() override;
  void Done(CURLcode result) override;
  void OnHttpCode(int code) override;

  void SetCallback(CommandCallback callback, UINT_PTR userData) {
    callback_ = callback;
    userData_ = userData;
  }
  // The request body for POST, sent as it is.
  void SetBody(const std::string& body) { body_ = body; }

 private:
  std::string TakeResponse();

  std::string body_;
  CommandCallback callback_ = nullptr;
  UINT_PTR userData_ = 0;
};
