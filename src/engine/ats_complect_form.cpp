#include "engine/ats_complect_form.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/data_stream.h"

namespace stanset {

namespace {

// A cell of the heading row or the number column: looks like a heading, takes no input.
QTableWidgetItem* FixedCell(const QString& text, const QPalette& palette) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(palette.button());
    item->setForeground(palette.buttonText());
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

QTableWidgetItem* DataCell(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

TATSComplectForm::TATSComplectForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent)
    : QDialog(parent), engine_(engine), data_(std::move(data)) {
    setObjectName("TATSComplectForm");
    setWindowTitle(QString::fromUtf8("Cостав АТС"));

    StringGrid1 = new QTableWidget(kRows, kColumns, this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    const QStringList headings = {QString::fromUtf8("№"), QString::fromUtf8("Тип платы"),
                                  QString::fromUtf8("Зав. номер"), QString::fromUtf8("Версия ПО"),
                                  QString::fromUtf8("Дата прошивки")};
    const QFontMetrics metrics(StringGrid1->font());
    for (int c = 0; c < kColumns; ++c) {
        StringGrid1->setItem(0, c, FixedCell(headings[c], palette()));
        // Wide enough for the heading and for a date such as 28.12.2023.
        const int wide = std::max(metrics.horizontalAdvance(headings[c]), metrics.horizontalAdvance("28.12.2023"));
        StringGrid1->setColumnWidth(c, c == 0 ? 30 : wide + 16);
    }
    for (int r = 1; r < kRows; ++r) StringGrid1->setItem(r, 0, FixedCell(QString::number(r - 1), palette()));
    for (int r = 0; r < kRows; ++r) StringGrid1->setRowHeight(r, metrics.height() + 8);

    int width = 2 * StringGrid1->frameWidth(), height = 2 * StringGrid1->frameWidth();
    for (int c = 0; c < kColumns; ++c) width += StringGrid1->columnWidth(c);
    for (int r = 0; r < kRows; ++r) height += StringGrid1->rowHeight(r);
    StringGrid1->setFixedSize(width + 1, height + 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGrid1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TATSComplectForm::Attach(TMainClass* engine, std::shared_ptr<TDataStream> data) {
    engine_ = engine;
    data_ = std::move(data);
}

void TATSComplectForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TATSComplectForm::FormShow() {
    for (int r = 1; r < kRows; ++r)
        for (int c = 1; c < kColumns; ++c) StringGrid1->setItem(r, c, DataCell({}));
    if (!data_) return;
    // The grid has rows for 15 boards; a longer composition shows its first 15.
    const int shown = std::clamp<int>(data_->CompositionCount, 0, std::min<int>(kRows - 1, data_->Composition.size()));
    for (int i = 0; i < shown; ++i) {
        const TATSConfig& board = data_->Composition[i];
        StringGrid1->setItem(i + 1, 1, DataCell(board.BoardName));
        StringGrid1->setItem(i + 1, 2, DataCell(board.FactoryNumber));
        StringGrid1->setItem(i + 1, 3, DataCell(board.SoftVersion));
        StringGrid1->setItem(i + 1, 4, DataCell(board.FirmwareDate));
    }
}

}  // namespace stanset
