#include "reports/AnalysisChartPanel.h"

#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/Fonts.h"

namespace velmora {

namespace {

// Rows of the table shown without scrolling; the rest scroll.
constexpr int kVisibleRows = 4;

}  // namespace

AnalysisChartPanel::AnalysisChartPanel(const QString& title, const QString& name, QWidget* parent)
    : QFrame(parent), title_(title) {
    setObjectName(name);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    choices_ = new QHBoxLayout;
    choices_->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(choices_);

    view_ = new QChartView(this);
    view_->setObjectName(name + QStringLiteral("Chart"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->setAccessibleName(title);
    view_->setMinimumHeight(150);
    layout->addWidget(view_, 1);

    empty_ = new QLabel(QStringLiteral("无数据"), view_);
    empty_->setObjectName(name + QStringLiteral("Empty"));
    empty_->setFont(songFont(16));
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setAttribute(Qt::WA_TransparentForMouseEvents);
    empty_->hide();
    view_->installEventFilter(this);

    table_ = new QTableWidget(this);
    table_->setObjectName(name + QStringLiteral("Table"));
    table_->setAccessibleName(title + QStringLiteral("数据"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(20);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setFixedHeight(24 + kVisibleRows * 20);
    table_->installEventFilter(this);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { emit activated(row); });
    layout->addWidget(table_);
}

void AnalysisChartPanel::show(QChart* chart, const ChartTable& table, const QString& description) {
    QChart* old = view_->chart();
    chart->setTitle(title_);
    chart->setTitleFont(songFont(14));
    chart->legend()->setFont(songFont(12));
    chart->setMargins(QMargins(4, 4, 4, 4));
    view_->setChart(chart);
    // A chart view owns the chart it shows until it is handed another.
    delete old;
    view_->setAccessibleDescription(description);

    shown_ = table;
    rows_ = static_cast<int>(table.rows.size());
    table_->clear();
    table_->setColumnCount(static_cast<int>(table.titles.size()));
    table_->setHorizontalHeaderLabels(table.titles);
    table_->setRowCount(rows_);
    for (int r = 0; r < rows_; ++r) {
        const QStringList& cells = table.rows[static_cast<size_t>(r)];
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (static_cast<size_t>(c) < table.numeric.size() && table.numeric[static_cast<size_t>(c)])
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(r, c, item);
        }
    }
    table_->resizeColumnsToContents();
    empty_->setVisible(rows_ == 0);
    placeEmptyLabel();
}

QImage AnalysisChartPanel::picture(QSize size) const {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn at the picture's own size, so a small window still prints and exports a clear chart.
    QChart* chart = view_->chart();
    const QSizeF shown = chart->size();
    chart->resize(size);
    view_->scene()->render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    chart->resize(shown);
    if (isEmpty()) {
        painter.setFont(songFont(16));
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, empty_->text());
    }
    return image;
}

bool AnalysisChartPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::Resize) placeEmptyLabel();
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && table_->currentRow() >= 0) {
            emit activated(table_->currentRow());
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void AnalysisChartPanel::placeEmptyLabel() {
    empty_->setGeometry(view_->rect());
}

}  // namespace velmora
