// The error box: a Chinese sentence first with a lower layer's own text below it in smaller type,
// and, for a lost connection, the offer to reconnect, tried again until it works or the user
// quits.
#include <QAbstractButton>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "tests/gui/GuiTestSupport.h"
#include "transport/Errors.h"
#include "widgets/ConnectionLoss.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FailureText.h"

using namespace velmora;

namespace {

QAbstractButton* buttonWithText(QMessageBox& box, const QString& text) {
    for (QAbstractButton* b : box.buttons())
        if (b->text() == text) return b;
    return nullptr;
}

ReconnectResult failed() {
    return {false, QStringLiteral("无法连接服务器 10.0.0.9:211。"), QStringLiteral("Connection refused")};
}

}  // namespace

class ErrorBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { ConnectionLoss::setReconnect(nullptr); }

    void technicalTextStandsBelowTheSentenceSmallerAndAsPlainText() {
        MessageRequest request{"与服务器的连接已断开。", "velmora", MessageIcon::Error,
                               MessageButtons::ReconnectOk, "Error reading from socket <b>x</b>"};
        std::unique_ptr<QMessageBox> box = MessageService::buildBox(request);
        QCOMPARE(box->text(), request.text);
        QCOMPARE(box->informativeText(), request.details);
        auto* sentence = box->findChild<QLabel*>("qt_msgbox_label");
        auto* details = box->findChild<QLabel*>("qt_msgbox_informativelabel");
        QVERIFY(sentence && details);
        QCOMPARE(details->textFormat(), Qt::PlainText);
        QVERIFY(QFontInfo(details->font()).pixelSize() < QFontInfo(sentence->font()).pixelSize());

        QAbstractButton* reconnect = buttonWithText(*box, "重新连接");
        QAbstractButton* ok = buttonWithText(*box, "确定");
        QVERIFY(reconnect && ok);
        QCOMPARE(box->buttons().size(), 2);
        QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()), reconnect);
        QCOMPARE(box->escapeButton(), ok);
    }

    void aClickOnAButtonOfOurOwnIsAnsweredAsThatButton() {
        test::whenModal([](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            QVERIFY(box);
            buttonWithText(*box, "退出")->click();
        });
        QCOMPARE(MessageService::show({"无法连接服务器 10.0.0.9:211。", "velmora", MessageIcon::Error,
                                       MessageButtons::RetryQuitCancel, "Connection refused"}),
                 MessageButton::Quit);
    }

    void failuresAreToldByWhoseTheyAre() {
        FailureText lost = describeFailure(SocketConnectionError("Error reading from socket"));
        QVERIFY(lost.connectionLost);
        QCOMPARE(lost.sentence, QString("与服务器的连接已断开。"));
        QCOMPARE(lost.details, QString("Error reading from socket"));
        QVERIFY(
            describeFailure(SocketError("Windows socket error: Connection refused (111), on API 'connect'"))
                .connectionLost);

        FailureText database = describeFailure(RemoteError("UNIQUE constraint failed: kh.khid"));
        QCOMPARE(database.sentence, QString("服务器未能完成这项操作。"));
        QCOMPARE(database.details, QString("UNIQUE constraint failed: kh.khid"));
        QVERIFY(!database.connectionLost);

        // The server's own refusals open in Chinese already and stand alone.
        FailureText refusal = describeFailure(RemoteError("请先登录 (not logged in)"));
        QCOMPARE(refusal.sentence, QString("请先登录 (not logged in)"));
        QVERIFY(refusal.details.isEmpty());

        FailureText engine = describeFailure(VelmoraError("Record not found"));
        QCOMPARE(engine.sentence, QString("操作未能完成。"));
        QCOMPARE(engine.details, QString("Record not found"));
    }

    void reconnectIsOfferedOnceInstalledAndTriedAgainUntilItWorks() {
        test::MessageRecorder messages;
        test::TerminationRecorder ending;
        guarded([] { throw SocketConnectionError("Error reading from socket"); });
        QCOMPARE(messages.boxes().size(), size_t(1));
        QCOMPARE(messages.boxes()[0].buttons, MessageButtons::Ok);  // before a login: nothing to resume

        int attempts = 0;
        ConnectionLoss::setReconnect([&] {
            return ++attempts < 3 ? failed() : ReconnectResult{true, {}, {}};
        });
        messages.clear();
        messages.answerNext(MessageButton::Reconnect);
        messages.answerNext(MessageButton::Retry);
        messages.answerNext(MessageButton::Retry);
        guarded([] { throw SocketConnectionError("The connection to the server is closed"); });
        QCOMPARE(attempts, 3);
        QCOMPARE(messages.texts(), QStringList({"与服务器的连接已断开。", "无法连接服务器 10.0.0.9:211。",
                                                "无法连接服务器 10.0.0.9:211。"}));
        QCOMPARE(messages.boxes()[0].buttons, MessageButtons::ReconnectOk);
        QCOMPARE(messages.boxes()[0].details, QString("The connection to the server is closed"));
        QCOMPARE(messages.boxes()[1].buttons, MessageButtons::RetryQuitCancel);
        QCOMPARE(messages.boxes()[1].details, QString("Connection refused"));
        QCOMPARE(ending.count(), 0);

        // 确定 leaves it be; 取消 after a failed attempt as well.
        messages.clear();
        attempts = 0;
        guarded([] { throw SocketConnectionError("x"); });
        QCOMPARE(attempts, 0);
        messages.answerNext(MessageButton::Reconnect);
        messages.answerNext(MessageButton::Cancel);
        guarded([] { throw SocketConnectionError("x"); });
        QCOMPARE(attempts, 1);
        QCOMPARE(ending.count(), 0);
    }

    void aLossWhileReconnectingIsPartOfItAndQuitEndsTheProgram() {
        test::MessageRecorder messages;
        test::TerminationRecorder ending;
        ConnectionLoss::setReconnect([] {
            guarded([] { throw SocketConnectionError("Error reading from socket"); });
            return failed();
        });
        messages.answerNext(MessageButton::Reconnect);
        messages.answerNext(MessageButton::Quit);
        guarded([] { throw SocketConnectionError("Error reading from socket"); });
        QCOMPARE(messages.boxes().size(), size_t(2));
        QCOMPARE(ending.count(), 1);
    }
};

VELMORA_GUI_TEST_MAIN(ErrorBoxTest)
#include "ErrorBoxTest.moc"
