// Category codes and node texts, and the edit masks the category window gives the code field.
#include <QTest>

#include "masterdata/CategoryCode.h"
#include "tests/gui/GuiTestSupport.h"
#include "widgets/EditMask.h"

using namespace velmora;

class CategoryCodeTest : public QObject {
    Q_OBJECT

  private slots:
    void levelIsTheTrimmedLength() {
        QCOMPARE(categoryLevel(QStringLiteral("01")), CategoryLevel::Top);
        QCOMPARE(categoryLevel(QStringLiteral(" 01 ")), CategoryLevel::Top);
        QCOMPARE(categoryLevel(QStringLiteral("01-001")), CategoryLevel::Sub);
        QCOMPARE(categoryLevel(QStringLiteral("01-00")), CategoryLevel::None);
        QCOMPARE(categoryLevel(QStringLiteral("1")), CategoryLevel::None);
        QCOMPARE(categoryLevel(QString()), CategoryLevel::None);
    }

    void nodeTextsGiveTheirCodeBack() {
        QString top = categoryNodeText(QStringLiteral("01"), QStringLiteral("食品"));
        QCOMPARE(top, QStringLiteral("(01) 食品"));
        QCOMPARE(codeByPosition(top, CategoryLevel::Top), QStringLiteral("01"));
        QCOMPARE(codeBetweenParentheses(top), QStringLiteral("01"));
        QString sub = categoryNodeText(QStringLiteral("01-001"), QStringLiteral("糖果 (散装)"));
        QCOMPARE(codeByPosition(sub, CategoryLevel::Sub), QStringLiteral("01-001"));
        QCOMPARE(codeBetweenParentheses(sub), QStringLiteral("01-001"));
        QCOMPARE(codeBetweenParentheses(QStringLiteral("存货分类")), QStringLiteral("存货分类"));
    }

    // A 9 accepts a digit without requiring one (Qt's 0); the hyphen is kept in the value.
    void codeMasksAcceptPartialDigitsAndKeepTheHyphen() {
        InputMask top = translateEditMask("99;1;_");
        QCOMPARE(top.qtMask, QStringLiteral("00;_"));
        InputMask sub = translateEditMask("99-999;1;_");
        QCOMPARE(sub.qtMask, QStringLiteral("00-000;_"));
        QCOMPARE(maskedValue(QStringLiteral("01-001"), QLatin1Char('_'), sub), QStringLiteral("01-001"));
        QCOMPARE(maskedValue(QStringLiteral("01-0__"), QLatin1Char('_'), sub), QStringLiteral("01-0"));
        QCOMPARE(maskedValue(QStringLiteral("1_"), QLatin1Char('_'), top), QStringLiteral("1"));
        QCOMPARE(maskedValue(QStringLiteral("__-___"), QLatin1Char('_'), sub), QString());
    }
};

VELMORA_GUI_TEST_MAIN(CategoryCodeTest)
#include "CategoryCodeTest.moc"
