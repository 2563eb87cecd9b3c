#include "files/clear_all_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "engine/data_stream.h"
#include "engine/main_class.h"
#include "files/clearing.h"

namespace stanset {

namespace {

static_assert(kTableCount == 16);

// The ticks outlive the window: what was unticked stays unticked at the next opening.
std::array<bool, kTableCount>& Ticks() {
    static std::array<bool, kTableCount> ticks = [] {
        std::array<bool, kTableCount> all{};
        all.fill(true);
        return all;
    }();
    return ticks;
}

}  // namespace

TClearAllForm::TClearAllForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent)
    : QDialog(parent), engine_(engine), data_(std::move(data)) {
    setObjectName("TClearAllForm");
    setWindowTitle(QString::fromUtf8("Чистка всех установок"));

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    struct Row {
        QCheckBox** member;
        const char* name;
        const char* caption;
    };
    const Row rows[kTableCount] = {
        {&ALCheckBox, "ALCheckBox", "Установки АЛ "},
        {&SLCheckBox, "SLCheckBox", "Установки СЛ "},
        {&GroupCheckBox, "GroupCheckBox", "Установки групп"},
        {&NavedenCheckBox, "NavedenCheckBox", "Таблицы наведения"},
        {&AllSysCheckBox, "AllSysCheckBox", "Общесистемные установки"},
        {&DfCheckBox, "DfCheckBox", "Таблицы домофонов "},
        {&GGSCheckBox, "GGSCheckBox", "Таблицы ГГС"},
        {&RedirectCheckBox, "RedirectCheckBox", "Таблицы переадресаций"},
        {&FlashCheckBox, "FlashCheckBox", "Flash установки"},
        {&GlobExternNumCheckBox, "GlobExternNumCheckBox", "Общая записная книжка"},
        {&GroupExternNumCheckBox, "GroupExternNumCheckBox", "Групповые записные книжки"},
        {&PrgNumCheckBox, "PrgNumCheckBox", "Программные номера"},
        {&ConfCheckBox, "ConfCheckBox", "Быстрый сбор конференции"},
        {&STACheckBox, "STACheckBox", "Таблицы кнопок СТА"},
        {&TimeCheckBox, "TimeCheckBox", "Временные установки"},
        {&BW_ExtNumCheckBox, "BW_ExtNumCheckBox", "Белые и черные зап. книжки"},
    };
    for (int t = 0; t < kTableCount; ++t) {
        auto* box = new QCheckBox(QString::fromUtf8(rows[t].caption), content);
        box->setObjectName(rows[t].name);
        box->setChecked(true);
        column->addWidget(box);
        *rows[t].member = box;
        boxes_[t] = box;
    }

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidget(content);
    ScrollBox1->setWidgetResizable(true);
    // Room for every box, so that the scroll bars stay away.
    const QSize needed = content->sizeHint();
    ScrollBox1->setFixedSize(needed.width() + 2 * ScrollBox1->frameWidth() + 4,
                             needed.height() + 2 * ScrollBox1->frameWidth() + 4);

    Button1 = new QPushButton("*", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("-", this);
    Button2->setObjectName("Button2");
    Button3 = new QPushButton(QString::fromUtf8("Обнулить таблицы"), this);
    Button3->setObjectName("Button3");
    for (QPushButton* b : {Button1, Button2, Button3}) b->setAutoDefault(false);
    const int small = Button1->fontMetrics().height() + 16;
    Button1->setFixedWidth(small);
    Button2->setFixedWidth(small);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ScrollBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &TClearAllForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TClearAllForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TClearAllForm::Button3Click);
}

void TClearAllForm::Attach(TMainClass* engine, std::shared_ptr<TDataStream> data) {
    engine_ = engine;
    data_ = std::move(data);
}

void TClearAllForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TClearAllForm::hideEvent(QHideEvent* event) {
    for (int t = 0; t < kTableCount; ++t) Ticks()[t] = boxes_[t]->isChecked();
    QDialog::hideEvent(event);
}

void TClearAllForm::FormShow() {
    std::array<bool, kTableCount> available{};
    available.fill(true);
    if (engine_) available = ClearableTables(*engine_);
    // A disabled box keeps its tick; it clears nothing.
    for (int t = 0; t < kTableCount; ++t) {
        boxes_[t]->setChecked(Ticks()[t]);
        boxes_[t]->setEnabled(available[t]);
    }
}

void TClearAllForm::Button1Click() {
    for (QCheckBox* box : boxes_) box->setChecked(true);
}

void TClearAllForm::Button2Click() {
    for (QCheckBox* box : boxes_) box->setChecked(false);
}

void TClearAllForm::Button3Click() {
    if (engine_ && data_) {
        std::array<bool, kTableCount> ticked{};
        for (int t = 0; t < kTableCount; ++t) ticked[t] = boxes_[t]->isChecked();
        ClearTables(*engine_, *data_, ticked);
    }
    accept();
}

}  // namespace stanset
