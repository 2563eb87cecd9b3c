#include "files/options_form.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/data_stream.h"
#include "engine/main_class.h"
#include "engine/user_interaction.h"
#include "ui/qt_interaction.h"
#include "files/options.h"

namespace stanset {

TOptionsForm::TOptionsForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent)
    : QDialog(parent), engine_(engine), data_(std::move(data)) {
    setObjectName("TOptionsForm");
    setWindowTitle(QString::fromUtf8("Настройки программы Stanset"));

    GroupBox1 = new QGroupBox(QString::fromUtf8("Установки последовательных портов"), this);
    GroupBox1->setObjectName("GroupBox1");
    Label10 = new QLabel(QString::fromUtf8("Сейчас используется "), GroupBox1);
    Label10->setObjectName("Label10");
    NComLabel = new QLabel("?", GroupBox1);
    NComLabel->setObjectName("NComLabel");
    Label9 = new QLabel(QString::fromUtf8("Выберите номер СОМ-порта"), GroupBox1);
    Label9->setObjectName("Label9");
    OptComComboBox = new QComboBox(GroupBox1);
    OptComComboBox->setObjectName("OptComComboBox");
    OptComComboBox->setEditable(true);
    OptComComboBox->setInsertPolicy(QComboBox::NoInsert);
    for (int n = 1; n <= 16; ++n) OptComComboBox->addItem(QString("COM%1").arg(n));
    OptComComboBox->setMinimumContentsLength(8);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(Label10, 0, 0);
    grid->addWidget(NComLabel, 0, 1);
    grid->addWidget(Label9, 1, 0);
    grid->addWidget(OptComComboBox, 1, 1);
    grid->setColumnStretch(1, 1);

    SetOptions = new QPushButton(QString::fromUtf8("Принять изменения"), this);
    SetOptions->setObjectName("SetOptions");
    QFont bold = SetOptions->font();
    bold.setBold(true);
    SetOptions->setFont(bold);
    // Enter in the combo box must not close the window without the checks.
    SetOptions->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(SetOptions, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(SetOptions, &QPushButton::clicked, this, &TOptionsForm::SetOptionsClick);
    connect(OptComComboBox->lineEdit(), &QLineEdit::returnPressed, this, &TOptionsForm::SetOptionsClick);
}

void TOptionsForm::Attach(TMainClass* engine, std::shared_ptr<TDataStream> data) {
    engine_ = engine;
    data_ = std::move(data);
}

void TOptionsForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TOptionsForm::hideEvent(QHideEvent* event) {
    FormClose();
    QDialog::hideEvent(event);
}

void TOptionsForm::FormShow() {
    NComLabel->setText(engine_ ? QString::fromStdString(engine_->Identity.PortName) : QString("?"));
    OptComComboBox->setCurrentIndex(-1);
    OptComComboBox->clearEditText();
}

void TOptionsForm::FormClose() {
    OptComComboBox->setCurrentIndex(-1);
    OptComComboBox->clearEditText();
}

void TOptionsForm::SetOptionsClick() {
    const QString typed = OptComComboBox->currentText();
    if (!engine_) return;
    // The port stays closed whatever follows; the next read or write opens the new one.
    try {
        if (engine_->Port.IsOpen()) engine_->Port.Close();
    } catch (const ECommError&) {
    }
    NComLabel->setText(typed);

    TQtInteraction boxes(this);
    TUserInteraction& ui = ui_ ? *ui_ : boxes;
    const TPortOptionResult result =
        StorePortOption(engine_->Identity.WorkDir, typed.toStdString(), engine_->Identity.PortName, ui);
    if (result == TPortOptionResult::Refused) return;
    NComLabel->setText(QString::fromStdString(engine_->Identity.PortName));
    accept();
}

}  // namespace stanset
