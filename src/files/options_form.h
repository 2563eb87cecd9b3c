// The options window: the serial port the program talks through.
#pragma once

#include <QDialog>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace stanset {

class TMainClass;
class TUserInteraction;
struct TDataStream;

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    TOptionsForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent = nullptr);

    // For a window kept between openings: the model and engine of the next showing.
    void Attach(TMainClass* engine, std::shared_ptr<TDataStream> data);
    // Where the window's messages go; null (the default) shows message boxes.
    void SetInteraction(TUserInteraction* ui) { ui_ = ui; }

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* NComLabel = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* OptComComboBox = nullptr;
    QPushButton* SetOptions = nullptr;

public Q_SLOTS:
    void FormShow();
    void FormClose();
    void SetOptionsClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TMainClass* engine_ = nullptr;
    std::shared_ptr<TDataStream> data_;  // held for the opener, not used
    TUserInteraction* ui_ = nullptr;
};

}  // namespace stanset
