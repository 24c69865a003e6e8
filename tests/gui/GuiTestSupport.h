#pragma once
// What the GUI tests share: reading and answering message boxes, observing the program's end,
// acting inside a modal dialog, and an application set up as the program sets it up.

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <deque>
#include <functional>
#include <vector>

#include "widgets/AppSetup.h"
#include "widgets/MessageService.h"

namespace velmora::test {

// Takes the place of every message box while it exists: records each box and answers it with
// the next queued answer, or with its first button (OK, Yes) when none is queued.
class MessageRecorder {
  public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void answerNext(MessageButton button) { answers_.push_back(button); }
    QStringList texts() const;
    const std::vector<MessageRequest>& boxes() const { return boxes_; }
    void clear() { boxes_.clear(); }

  private:
    std::vector<MessageRequest> boxes_;
    std::deque<MessageButton> answers_;
};

// Observes TerminateApplication instead of letting it stop the event loops.
class TerminationRecorder {
  public:
    TerminationRecorder();
    ~TerminationRecorder();
    TerminationRecorder(const TerminationRecorder&) = delete;
    TerminationRecorder& operator=(const TerminationRecorder&) = delete;

    int count() const { return count_; }

  private:
    int count_ = 0;
};

// Types text into widget one key at a time, as a keyboard with an input method would (QTest's
// own keyClicks takes Latin-1 only).
void typeText(QWidget* widget, const QString& text);

// Runs action once, from the event loop, as soon as a modal dialog is up (within timeoutMs).
void whenModal(std::function<void(QWidget* dialog)> action, int timeoutMs = 10000);

// Points the user's settings (the servers the client trusts, say) and data (order drafts) at a folder of the
// test run's own, removed when the run ends, so that no test reads what another run or the user left.
class PrivateSettings {
  public:
    PrivateSettings();
    ~PrivateSettings();
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;

  private:
    QString dir_;
};

// A QApplication prepared as the program prepares it, for a test's main().
#define VELMORA_GUI_TEST_MAIN(TestClass)         \
    int main(int argc, char** argv) {            \
        velmora::test::PrivateSettings settings; \
        QApplication app(argc, argv);            \
        velmora::setupApplication(app);          \
        TestClass test;                          \
        return QTest::qExec(&test, argc, argv);  \
    }

}  // namespace velmora::test
