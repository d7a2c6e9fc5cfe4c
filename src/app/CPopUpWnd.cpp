#include "app/CPopUpWnd.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>

#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/LanguageCatalog.h"

namespace salvora::app {

CPopUpWnd::CPopUpWnd(CMainWnd* owner, const QString& skin, const char* section, ProgressState& state)
    : ui::CWindowUI(owner), owner_(owner), section_(section), state_(state) {
  state_.Reset();
  LoadSkin(skin);
}

CPopUpWnd::~CPopUpWnd() {
  if (worker_.joinable()) {
    state_.cancel = true;
    WaitForWorker();
    worker_.join();
  }
}

void CPopUpWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"windowinit") {
    ApplySection(LanguageCatalog::Instance().Section(section_));
    OnInitWindow();
    StartWorker();
  } else if (msg.type == u"click") {
    if (msg.senderName == u"closebtn" || msg.senderName == u"cancelbtn" || msg.senderName == u"CancelBtn") OnCancel();
    else if (msg.senderName == u"okbtn") Close(1);
  }
}

void CPopUpWnd::StartWorker() {
  if (worker_.joinable()) return;
  worker_ = std::thread([this] {
    Work();
    state_.done = true;
  });
}

void CPopUpWnd::WaitForWorker() {
  // The worker may be waiting for the interface thread (a question it asks), so events keep
  // flowing while we wait.
  while (!state_.done) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(5);
  }
}

bool CPopUpWnd::AskCancel(const char* messageId, const char* stopId, const char* goOnId) {
  std::unique_lock<std::mutex> hold(state_.lock);
  SetConcealed(true);
  const int answer = CMessageBox::Ask(this, Msg(messageId), Msg(stopId), Msg(goOnId), 350, 160);
  if (answer != 1) {
    SetConcealed(false);
    return false;
  }
  state_.cancel = true;
  hold.unlock();
  // The worker may be about to ask the interface thread something; posted calls still run.
  while (!state_.done) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(50);
  }
  return true;
}

void CPopUpWnd::Post(std::function<void()> f) {
  QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void CPopUpWnd::PostLatest(std::function<void()> f) {
  std::lock_guard<std::mutex> guard(latestLock_);
  const bool pending = static_cast<bool>(latest_);
  latest_ = std::move(f);
  if (pending) return;
  Post([this] {
    std::function<void()> update;
    {
      std::lock_guard<std::mutex> g(latestLock_);
      update.swap(latest_);
    }
    if (update) update();
  });
}

void CPopUpWnd::Call(const std::function<void()>& f) {
  if (QThread::currentThread() == thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(this, f, Qt::BlockingQueuedConnection);
}

QString CPopUpWnd::Msg(const char* id) const {
  return QString::fromStdString(LanguageCatalog::Instance().Message(id));
}

void CPopUpWnd::SetText(const char* name, const QString& text) {
  SetControlText(FindControl(QString::fromLatin1(name)), text);
}

void CPopUpWnd::SetShown(const char* name, bool shown) {
  if (QWidget* control = FindControl(QString::fromLatin1(name))) control->setVisible(shown);
}

void CPopUpWnd::SetConcealed(bool concealed) { setWindowOpacity(concealed ? 0.0 : 1.0); }

}  // namespace salvora::app
