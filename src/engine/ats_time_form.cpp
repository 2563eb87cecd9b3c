#include "engine/ats_time_form.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/clock.h"
#include "engine/data_stream.h"
#include "engine/main_class.h"
#include "engine/user_interaction.h"
#include "link/comm_port.h"
#include "ui/qt_interaction.h"

namespace stanset {

namespace {

// The exchange's clock goes on running while the window is closed, so what it shows is
// kept for the whole run: a known moment of the exchange's clock and when it was taken.
struct TShownExchangeClock {
    bool known = false;
    QDateTime base;
    QElapsedTimer since;
    TExchangeClock seen{};  // the model's clock that base was taken from
};

TShownExchangeClock& Shown() {
    static TShownExchangeClock shown;
    return shown;
}

bool SameClock(const TExchangeClock& a, const TExchangeClock& b) {
    return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour && a.Minute == b.Minute &&
           a.Second == b.Second;
}

QDateTime ToQt(const TExchangeClock& c) {
    return QDateTime(QDate(c.Year, c.Month, c.Day), QTime(c.Hour, c.Minute, c.Second));
}

void SetBase(const QDateTime& base) {
    TShownExchangeClock& s = Shown();
    s.base = base;
    s.known = base.isValid();
    s.since.start();
}

QDateTime PcDateTime() {
    const TDateTime t = PcNow();
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

// The day count the exchange keeps is 16 bits from 1980.
const QDate kFirstDate(1980, 1, 1);
const QDate kLastDate(2099, 12, 31);

}  // namespace

TATSTimeForm::TATSTimeForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent)
    : QDialog(parent), engine_(engine), data_(std::move(data)) {
    setObjectName("TATSTimeForm");
    setWindowTitle(QString::fromUtf8("Установка станционного времени"));
    setToolTip(QString::fromUtf8("Установить время в АТС из компьютера"));

    DateTimePicker4 = new QDateEdit(this);
    DateTimePicker4->setObjectName("DateTimePicker4");
    DateTimePicker4->hide();
    DateTimePicker5 = new QTimeEdit(this);
    DateTimePicker5->setObjectName("DateTimePicker5");
    DateTimePicker5->hide();

    GroupBox1 = new QGroupBox(QString::fromUtf8("Время в АТС"), this);
    GroupBox1->setObjectName("GroupBox1");
    Label3 = new QLabel(GroupBox1);
    Label3->setObjectName("Label3");
    Label4 = new QLabel(GroupBox1);
    Label4->setObjectName("Label4");
    auto* box1 = new QHBoxLayout(GroupBox1);
    box1->addWidget(Label3);
    box1->addSpacing(16);
    box1->addWidget(Label4);
    box1->addStretch();

    GroupBox2 = new QGroupBox(QString::fromUtf8("Ввод времени и даты вручную"), this);
    GroupBox2->setObjectName("GroupBox2");
    DateTimePicker1 = new QDateEdit(GroupBox2);
    DateTimePicker1->setObjectName("DateTimePicker1");
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDateRange(kFirstDate, kLastDate);
    DateTimePicker2 = new QTimeEdit(GroupBox2);
    DateTimePicker2->setObjectName("DateTimePicker2");
    DateTimePicker2->setDisplayFormat("HH:mm:ss");
    Button1 = new QPushButton(QString::fromUtf8("Установить"), GroupBox2);
    Button1->setObjectName("Button1");
    auto* box2 = new QGridLayout(GroupBox2);
    box2->addWidget(DateTimePicker1, 0, 0);
    box2->addWidget(DateTimePicker2, 1, 0);
    box2->addWidget(Button1, 2, 0);

    GroupBox3 = new QGroupBox(QString::fromUtf8("Время в компьютере: "), this);
    GroupBox3->setObjectName("GroupBox3");
    MonthCalendar1 = new QCalendarWidget(GroupBox3);
    MonthCalendar1->setObjectName("MonthCalendar1");
    MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    DateTimePicker3 = new QTimeEdit(GroupBox3);
    DateTimePicker3->setObjectName("DateTimePicker3");
    DateTimePicker3->setDisplayFormat("HH:mm:ss");
    DateTimePicker3->setReadOnly(true);
    DateTimePicker3->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    Button2 = new QPushButton(QString::fromUtf8("Установить"), GroupBox3);
    Button2->setObjectName("Button2");
    Button2->setToolTip(QString::fromUtf8("Установить станционное время из компьютера"));
    auto* box3 = new QVBoxLayout(GroupBox3);
    box3->addWidget(MonthCalendar1);
    auto* pcRow = new QHBoxLayout;
    pcRow->addWidget(DateTimePicker3);
    pcRow->addStretch();
    pcRow->addWidget(Button2);
    box3->addLayout(pcRow);

    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox1);
    left->addWidget(GroupBox2);
    left->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addWidget(GroupBox3);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TATSTimeForm::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &TATSTimeForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TATSTimeForm::Button2Click);
    Timer1->start();
}

TATSTimeForm::~TATSTimeForm() = default;

void TATSTimeForm::Attach(TMainClass* engine, std::shared_ptr<TDataStream> data) {
    engine_ = engine;
    data_ = std::move(data);
}

void TATSTimeForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TATSTimeForm::FormShow() {
    const QDateTime now = PcDateTime();
    DateTimePicker1->setDate(now.date());
    DateTimePicker2->setTime(now.time());
    MonthCalendar1->setSelectedDate(now.date());
    // A clock the model has not shown before comes from a new read of the exchange.
    TShownExchangeClock& shown = Shown();
    if (data_ && !SameClock(data_->Clock, shown.seen)) {
        shown.seen = data_->Clock;
        SetBase(ToQt(data_->Clock));
    }
    move(30, 30);
    Timer1Timer();
}

void TATSTimeForm::Timer1Timer() {
    const QDateTime now = PcDateTime();
    DateTimePicker3->setTime(now.time());
    const TShownExchangeClock& shown = Shown();
    if (!shown.known) {
        Label3->clear();
        Label4->clear();
        return;
    }
    // Whole seconds since the base was taken, so that a late tick does not lose time and
    // the date moves on at midnight.
    const QDateTime exchange = shown.base.addSecs(shown.since.elapsed() / 1000);
    DateTimePicker4->setDate(exchange.date());
    DateTimePicker5->setTime(exchange.time());
    Label3->setText(QLocale().toString(exchange.date(), QLocale::ShortFormat));
    Label4->setText(exchange.time().toString("HH:mm:ss"));
}

bool TATSTimeForm::Send(int year, int month, int day, int hour, int minute, int second) {
    if (!engine_) return false;
    try {
        return SetClock(*engine_, TDateTime{year, month, day, hour, minute, second});
    } catch (const ECommError&) {
        // A port that is closed or gone is no link either.
        return false;
    }
}

void TATSTimeForm::NoLink() {
    TQtInteraction boxes(this);
    TUserInteraction& ui = ui_ ? *ui_ : boxes;
    ui.Message("Нет связи со станцией.", "Ошибка");
}

void TATSTimeForm::Button1Click() {
    const QDate d = DateTimePicker1->date();
    const QTime t = DateTimePicker2->time();
    if (!Send(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second())) NoLink();
}

void TATSTimeForm::Button2Click() {
    const QDateTime now = PcDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    if (!Send(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second())) {
        NoLink();
        return;
    }
    SetBase(now);
    Timer1Timer();
}

}  // namespace stanset
