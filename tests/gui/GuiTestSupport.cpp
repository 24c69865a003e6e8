#include "tests/gui/GuiTestSupport.h"

#include <QDir>
#include <QKeyEvent>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "widgets/ApplicationQuit.h"

namespace velmora::test {

PrivateSettings::PrivateSettings() {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/velmora-settings-XXXXXX";
    if (!::mkdtemp(pattern.data())) qFatal("mkdtemp failed");
    dir_ = QString::fromLocal8Bit(pattern);
    qputenv("XDG_CONFIG_HOME", pattern);
    qputenv("XDG_DATA_HOME", pattern + "/data");
}

PrivateSettings::~PrivateSettings() {
    QDir(dir_).removeRecursively();
}

MessageRecorder::MessageRecorder() {
    MessageService::setHandler([this](const MessageRequest& request) {
        boxes_.push_back(request);
        if (!answers_.empty()) {
            MessageButton answer = answers_.front();
            answers_.pop_front();
            return answer;
        }
        return request.buttons == MessageButtons::YesNo || request.buttons == MessageButtons::YesNoCancel
                   ? MessageButton::Yes
                   : MessageButton::Ok;
    });
}

MessageRecorder::~MessageRecorder() {
    MessageService::setHandler(nullptr);
}

QStringList MessageRecorder::texts() const {
    QStringList out;
    for (const MessageRequest& r : boxes_) out << r.text;
    return out;
}

TerminationRecorder::TerminationRecorder() {
    resetApplicationTerminated();
    setTerminateHandler([this] { ++count_; });
}

TerminationRecorder::~TerminationRecorder() {
    setTerminateHandler(nullptr);
    resetApplicationTerminated();
}

void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

void whenModal(std::function<void(QWidget*)> action, int timeoutMs) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, action = std::move(action), timeoutMs] {
        QWidget* dialog = QApplication::activeModalWidget();
        *waited += timer->interval();
        if (dialog && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            qWarning("whenModal: no modal dialog came up");
        }
    });
    timer->start(10);
}

}  // namespace velmora::test
