#pragma once

#include <QString>
#include <functional>
#include <mutex>
#include <thread>

#include "app/ProgressState.h"
#include "ui/CWindowUI.h"

namespace salvora::app {

class CMainWnd;

// The base of the progress windows: an owner, the texts of the catalogue section named after the
// window, closebtn/cancelbtn (result 2) and okbtn (result 1), and the worker pattern: one worker
// thread started when the window first shows, widgets reached only through Post/Call on the
// interface thread, and the cancel question that holds the window's lock while it is open.
class CPopUpWnd : public ui::CWindowUI {
  Q_OBJECT

 public:
  CPopUpWnd(CMainWnd* owner, const QString& skin, const char* section, ProgressState& state);
  // Stops a worker that is still running (a window answered without its loop) before the
  // window goes.
  ~CPopUpWnd() override;

  CMainWnd* Owner() const { return owner_; }
  ProgressState& State() const { return state_; }

 protected:
  void Notify(ui::TNotifyUI& msg) override;
  // The worker's body; runs once on the worker thread. The done flag is set after it returns.
  virtual void Work() = 0;
  virtual void OnInitWindow() {}
  // closebtn / cancelbtn; the default closes with 2.
  virtual void OnCancel() { Close(2); }

  // The cancel question (question box 350 x 160), its buttons saying what they do (stopId,
  // goOnId). True when the user confirmed: the cancel flag is set and the worker has finished.
  bool AskCancel(const char* messageId, const char* stopId, const char* goOnId);
  // Escape asks as the cancel button does; it never drops the work unasked.
  void reject() override { OnCancel(); }

  // Runs f on the interface thread later (in order); safe from any thread.
  void Post(std::function<void()> f);
  // Like Post, but only the newest of several pending updates runs.
  void PostLatest(std::function<void()> f);
  // Runs f on the interface thread and waits for it (f must not wait for the worker).
  void Call(const std::function<void()>& f);

  QString Msg(const char* id) const;
  void SetText(const char* name, const QString& text);
  void SetShown(const char* name, bool shown);
  // Stands for hiding the window while a question is open: hiding a modal window would end its loop.
  void SetConcealed(bool concealed);

 private:
  void StartWorker();
  void WaitForWorker();

  CMainWnd* owner_;
  const char* section_;
  ProgressState& state_;
  std::thread worker_;
  std::mutex latestLock_;
  std::function<void()> latest_;
};

}  // namespace salvora::app
