// The manual speaks of the windows as they are: every name it quotes (“确定”, “请输入口令：”,
// “[文件] → 更改口令”) is the text of a caption, label, button, box, column, tab or menu item of
// the real windows, against the real server. Texts the manual quotes that are no such name (a
// message, a term, a format) are listed here with what they are.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include "admin/TFrmauditquery.h"
#include "admin/TFrmauditresult.h"
#include "admin/TFrmbackup.h"
#include "admin/TFrmuseredit.h"
#include "admin/TFrmusers.h"
#include "app/TAboutBox.h"
#include "app/TFrmchangepassword.h"
#include "app/TFrmlogin.h"
#include "data/Tdm.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "reports/TFrmchhzquery.h"
#include "reports/TFrmchhzresult.h"
#include "reports/TFrmjyfx.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmkhhzresult.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmxsdresult.h"
#include "reports/TFrmywyhzquery.h"
#include "reports/TFrmywyhzresult.h"
#include "sales/TFrmkhquery.h"
#include "sales/TFrmkp.h"
#include "sales/TFrmywyquery.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "tests/masterdata/MasterDataSession.h"

using namespace velmora;

namespace {

// What the manual quotes that names no control, and what it is instead.
const QSet<QString>& notNames() {
    static const QSet<QString> texts = {
        "地址:端口",
        "一级编码-三位数字",
        "年-月-日",
        "；",  // formats
        "指纹",
        "现在的指纹",
        "证书已改变",  // the certificate warnings' terms
        "未加密",
        "已加密",  // the mark shown once connected
        "此单据已审核",
        "不能审核自己制作的单据",
        "服务器未配置备份目录",
        "两次口令输入不一致",
        "与服务器的连接已断开。",
        "客户编号有无重复？",
        "正在读取… 已读取 N 行",  // messages
        "第N行（存货名称）",
        "明细（存货名称）",
        "空",
        "是/否",
        "字段：原值 → 新值",         // the history's texts
        "历史 - 销售发票 XS000001",  // a history window's caption, of one order
        "完好",
        "损坏",        // a backup's check, in its row
        "未审核",      // the printed invoice's stamp
        "打印到文件",  // the platform's print dialog
        "保存草稿并退出",
        "其他",
        "无数据",  // what a chart shows for the rest and for an empty range
        "2003/1/5",
        "2003.1.5",
        "20030105",
        "2003年1月5日",  // date formats 经营分析 reads
        "不保存退出",
        "是",
        "否",
        "重新连接",
        "重试",  // buttons of message boxes
    };
    return texts;
}

QString normalized(QString text) {
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QChar(0xFF1A)) || text.endsWith(QLatin1Char(':'))) text.chop(1);
    return text.trimmed();
}

void addTexts(QWidget* window, QSet<QString>& texts) {
    auto add = [&texts](const QString& t) {
        const QString n = normalized(t);
        if (!n.isEmpty()) texts.insert(n);
    };
    add(window->windowTitle());
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets << window;
    for (QWidget* w : widgets) {
        add(w->windowTitle());
        if (auto* l = qobject_cast<QLabel*>(w)) add(l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) add(b->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) add(g->title());
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) add(c->itemText(i));
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) add(t->tabText(i));
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
            QAbstractItemModel* m = v->model();
            for (int c = 0; c < m->columnCount(); ++c) add(m->headerData(c, Qt::Horizontal).toString());
            // The cells' words: a user's rights, listed "审核、查看报表".
            for (int r = 0; r < std::min(m->rowCount(), 50); ++r)
                for (int c = 0; c < m->columnCount(); ++c)
                    for (const QString& part : m->index(r, c).data().toString().split(QChar(0x3001)))
                        add(part);
        }
        if (auto* tree = qobject_cast<QTreeWidget*>(w))
            for (int i = 0; i < tree->topLevelItemCount(); ++i) add(tree->topLevelItem(i)->text(0));
        for (QAction* a : w->actions()) add(a->text());
        if (auto* menu = qobject_cast<QMenu*>(w)) add(menu->title());
    }
}

// Every “quoted” text of the manual.
QStringList quotesOfTheManual() {
    QFile manual(QStringLiteral(":/manual/index.html"));
    if (!manual.open(QIODevice::ReadOnly)) return {};
    const QString html = QString::fromUtf8(manual.readAll());
    static const QRegularExpression quote(QStringLiteral("\u201C([^\u201D]+)\u201D"));
    QStringList quotes;
    for (auto it = quote.globalMatch(html); it.hasNext();) quotes << it.next().captured(1);
    quotes.removeDuplicates();
    return quotes;
}

}  // namespace

class ManualNamesTest : public QObject {
    Q_OBJECT

  private slots:
    void everyNameTheManualQuotesIsOnAWindow() {
        test::MasterDataSession s;
        QSet<QString> texts;
        const QList<QWidget*> windows = {MainForm,
                                         s.open(Frmchfl),
                                         s.open(Frmch),
                                         s.open(Frmkh),
                                         s.open(Frmywy),
                                         s.open(Frmkp),
                                         s.open(Frmxsdresult),
                                         s.open(Frmkhhzresult),
                                         s.open(Frmchhzresult),
                                         s.open(Frmywyhzresult),
                                         s.open(Frmusers),
                                         s.open(Frmbackup),
                                         s.open(Frmauditresult),
                                         s.open(Frmjyfx),
                                         Frmxsdquery,
                                         Frmkhhzquery,
                                         Frmchhzquery,
                                         Frmywyhzquery,
                                         Frmauditquery,
                                         Frmchangepassword,
                                         AboutBox,
                                         Frmywyquery};
        for (QWidget* w : windows) {
            QVERIFY(w);
            addTexts(w, texts);
        }
        // The dialogs made for each use, made here as their callers make them.
        TFrmlogin login(MainForm->SocketConnection1, MainForm->Trust, *dm);
        TFrmkhquery customers(Frmkp, MainForm->Session);
        TfrmClbm_Fzlr items(MainForm->Session);
        TFrmuseredit user;
        for (QWidget* w : std::initializer_list<QWidget*>{&login, &customers, &items, &user})
            addTexts(w, texts);

        const QStringList quotes = quotesOfTheManual();
        QVERIFY(quotes.size() > 40);
        QStringList missing;
        for (const QString& quote : quotes) {
            if (notNames().contains(quote)) continue;
            // A menu path: “[文件] → 更改口令”.
            for (const QString& part : quote.split(QChar(0x2192)))
                if (!texts.contains(normalized(part))) missing << quote;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not on any window: ") + missing.join(" | ")));
    }
};

VELMORA_GUI_TEST_MAIN(ManualNamesTest)
#include "ManualNamesTest.moc"
