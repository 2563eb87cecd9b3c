// The composition window: the boards of the exchange as last read, loaded or built.
#pragma once

#include <QDialog>
#include <memory>

class QTableWidget;

namespace stanset {

class TMainClass;
struct TDataStream;

class TATSComplectForm : public QDialog {
    Q_OBJECT
public:
    TATSComplectForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent = nullptr);

    // For a window kept between openings: the model and engine of the next showing.
    void Attach(TMainClass* engine, std::shared_ptr<TDataStream> data);

    // Row 0 holds the headings and column 0 the row numbers; entry i is row i + 1.
    QTableWidget* StringGrid1 = nullptr;

    static constexpr int kRows = 16;
    static constexpr int kColumns = 5;

public Q_SLOTS:
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TMainClass* engine_ = nullptr;
    std::shared_ptr<TDataStream> data_;
};

}  // namespace stanset
