// The clock window: the exchange's clock as last read next to the PC's, and the two ways
// of setting the exchange's clock.
#pragma once

#include <QDialog>
#include <memory>

class QCalendarWidget;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimeEdit;
class QTimer;

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

class TATSTimeForm : public QDialog {
    Q_OBJECT
public:
    TATSTimeForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent = nullptr);
    ~TATSTimeForm() override;

    // For a window kept between openings: the model and engine of the next showing.
    void Attach(TMainClass* engine, std::shared_ptr<TDataStream> data);
    // Where the window's messages go; null (the default) shows message boxes.
    void SetInteraction(TUserInteraction* ui) { ui_ = ui; }

    QDateEdit* DateTimePicker4 = nullptr;  // the exchange's date, hidden
    QTimeEdit* DateTimePicker5 = nullptr;  // the exchange's time, hidden
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QTimeEdit* DateTimePicker2 = nullptr;
    QPushButton* Button1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QCalendarWidget* MonthCalendar1 = nullptr;
    QTimeEdit* DateTimePicker3 = nullptr;
    QPushButton* Button2 = nullptr;
    QTimer* Timer1 = nullptr;

public Q_SLOTS:
    void FormShow();
    void Timer1Timer();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool Send(int year, int month, int day, int hour, int minute, int second);
    void NoLink();

    TMainClass* engine_ = nullptr;
    std::shared_ptr<TDataStream> data_;
    TUserInteraction* ui_ = nullptr;
};

}  // namespace stanset
