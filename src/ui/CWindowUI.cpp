#include "ui/CWindowUI.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/CListUI.h"
#include "ui/CRichEditUI.h"
#include "ui/CSkinLoader.h"
#include "ui/CTreeUI.h"
#include "ui/ModalSeam.h"
#include "ui/RichText.h"

namespace salvora::ui {

namespace {
const char kSkinTextProperty[] = "skinText";
const char kNotifySignal[] = "uiNotify(QString,int,int,QVariant)";
}  // namespace

CWindowUI::CWindowUI(QWidget* owner) : QDialog(owner) {}

CWindowUI::~CWindowUI() = default;

bool CWindowUI::LoadSkin(const QString& skinFile) {
  skinName_ = skinFile;
  QFile file(CSkinLoader::SkinPath(skinFile));
  if (!file.open(QIODevice::ReadOnly)) return false;
  CSkinLoader loader;
  QWidget* root = loader.load(&file, this);
  if (!root) return false;
  root_ = root;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(root_);
  if (!root_->windowTitle().isEmpty()) setWindowTitle(root_->windowTitle());
  if (!root_->styleSheet().isEmpty()) {
    setStyleSheet(root_->styleSheet());
    root_->setStyleSheet(QString());
  }
  setObjectName(root_->objectName() + QStringLiteral("Window"));
  WireControls();
  return true;
}

QWidget* CWindowUI::FindControl(const QString& name) const {
  if (!root_ || name.isEmpty()) return nullptr;
  if (root_->objectName() == name) return root_;
  return root_->findChild<QWidget*>(name);
}

void CWindowUI::WireControls() {
  WireControl(root_);
  for (QWidget* control : root_->findChildren<QWidget*>()) WireControl(control);
}

void CWindowUI::WireControl(QWidget* control) {
  const QString name = control->objectName();
  if (name.isEmpty() || name.startsWith(QStringLiteral("qt_"))) return;
  if (control->metaObject()->indexOfSignal(kNotifySignal) >= 0) {
    // Our controls report their own notifications.
    const QByteArray signal = QByteArray("2") + kNotifySignal;  // the SIGNAL() form
    connect(control, signal.constData(), this, SLOT(OnControlNotify(QString,int,int,QVariant)));
  }
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    connect(button, &QAbstractButton::clicked, this, [this, button] { SendNotify(QStringLiteral("click"), button); });
    if (button->isCheckable()) {
      connect(button, &QAbstractButton::toggled, this,
              [this, button](bool on) { SendNotify(QStringLiteral("selectchanged"), button, on ? 1 : 0); });
    }
    button->installEventFilter(this);
  }
}

void CWindowUI::OnControlNotify(const QString& type, int wParam, int lParam, const QVariant& data) {
  auto* control = qobject_cast<QWidget*>(sender());
  SendNotify(type, control, wParam, lParam, data);
}

void CWindowUI::SendNotify(const QString& type, QWidget* sender, int wParam, int lParam, const QVariant& data) {
  TNotifyUI msg;
  msg.type = type;
  msg.sender = sender;
  msg.senderName = sender ? sender->objectName() : QString();
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.data = data;
  Notify(msg);
  emit notified(msg);
}

void CWindowUI::Notify(TNotifyUI&) {}

int CWindowUI::ShowModal(int width, int height) {
  resize(width, height);
  CentreOverOwner();
  if (IModalAnswerer* answerer = CurrentModalAnswerer()) {
    setModal(true);
    show();
    const int answer = answerer->AnswerModal(*this);
    if (answer != IModalAnswerer::kRunModalLoop) {
      if (isVisible()) done(answer);
      setResult(answer);
      return answer;
    }
    if (!isVisible()) return result();
  }
  return exec();
}

void CWindowUI::ShowWindow(int width, int height) {
  resize(width, height);
  CentreOverOwner();
  show();
}

void CWindowUI::Close(int result) { done(result); }

void CWindowUI::reject() { Close(2); }

void CWindowUI::CentreOverOwner() {
  const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
  QRect area;
  if (owner && owner->isVisible()) {
    area = owner->frameGeometry();
  } else if (const QScreen* screen = this->screen()) {
    area = screen->availableGeometry();
  }
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
}

void CWindowUI::SetTimer(QWidget* control, int id, int ms) {
  const QString key = (control ? control->objectName() : QString()) + u'/' + QString::number(id);
  QTimer* timer = timers_.value(key);
  if (!timer) {
    timer = new QTimer(this);
    timers_.insert(key, timer);
    QPointer<QWidget> target(control);
    connect(timer, &QTimer::timeout, this, [this, target, id] { SendNotify(QStringLiteral("timer"), target, id); });
  }
  timer->start(ms);
}

void CWindowUI::KillTimer(QWidget* control, int id) {
  const QString key = (control ? control->objectName() : QString()) + u'/' + QString::number(id);
  if (QTimer* timer = timers_.value(key)) timer->stop();
}

bool CWindowUI::IsTimerActive(QWidget* control, int id) const {
  const QString key = (control ? control->objectName() : QString()) + u'/' + QString::number(id);
  const QTimer* timer = timers_.value(key);
  return timer && timer->isActive();
}

void CWindowUI::ApplySection(const std::map<std::string, std::string>& section) {
  if (!root_) return;
  const QList<CListUI*> lists = root_->findChildren<CListUI*>();
  const QList<CTreeUI*> trees = root_->findChildren<CTreeUI*>();
  for (const auto& [key, value] : section) {
    const QString name = QString::fromStdString(key);
    const QString text = QString::fromStdString(value);
    if (QWidget* control = FindControl(name)) SetControlText(control, text);
    for (CListUI* list : lists) list->SetColumnText(name, text);
    for (CTreeUI* tree : trees) {
      if (QTreeWidgetItem* node = tree->FindNode(name)) node->setText(0, text);
    }
  }
}

void CWindowUI::SetControlText(QWidget* control, const QString& text) {
  if (!control) return;
  control->setProperty(kSkinTextProperty, text);
  if (auto* label = qobject_cast<QLabel*>(control)) {
    if (HasRichTextTags(text)) {
      label->setTextFormat(Qt::RichText);
      label->setText(RichTextToHtml(text));
    } else {
      label->setTextFormat(Qt::PlainText);
      label->setText(text);
    }
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* box = qobject_cast<QGroupBox*>(control)) {
    box->setTitle(text);
  } else if (auto* pane = qobject_cast<CRichEditUI*>(control)) {
    pane->SetMarkup(text);
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(text);
  }
}

QString CWindowUI::ControlText(const QWidget* control) {
  if (!control) return {};
  const QVariant text = control->property(kSkinTextProperty);
  if (text.isValid()) return text.toString();
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  return {};
}

void CWindowUI::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!initialised_) {
    initialised_ = true;
    SendNotify(QStringLiteral("windowinit"), root_);
  }
}

bool CWindowUI::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Enter) {
    if (auto* button = qobject_cast<QAbstractButton*>(watched)) SendNotify(QStringLiteral("onhot"), button);
  }
  return QDialog::eventFilter(watched, event);
}

void CWindowUI::mousePressEvent(QMouseEvent* event) {
  if ((windowFlags() & Qt::FramelessWindowHint) && event->button() == Qt::LeftButton) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(event);
}

void CWindowUI::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
  QDialog::mouseMoveEvent(event);
}

void CWindowUI::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

}  // namespace salvora::ui
