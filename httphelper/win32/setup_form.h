// TSetupForm: the German proxy set-up dialog, the helper's only window.
#pragma once

#include "inet_conn.h"
#include "settings.h"
#include "windows_support.h"

namespace nelkar {

class TSetupForm {
 public:
  // `app` owns the message boxes; `settings` are edited in place and stored on save.
  TSetupForm(HWND app, Settings& settings, TInetConn& conn);
  ~TSetupForm();

  HWND Handle() const { return hwnd_; }
  // Copies the settings into the controls.
  void UpdateSetupControls();
  void Show();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnCommand(int id, int code);
  HWND Add(const char* cls, const char* text, DWORD style, DWORD ex_style, int id, int x, int y, int w, int h);
  void AddLabel(const char* text, int id, int x, int y);
  std::string Text(int id) const;

  void EnableProxyBtnClick();
  void DisableProxyBtnClick();
  void CheckProxyBtnClick();
  void SaveBtnClick();
  void DiscardBtnClick();
  // The application's standard error box for an exception's message.
  void ShowError(const std::string& message);

  HWND app_;
  Settings& settings_;
  TInetConn& conn_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace nelkar
