// The constructor window: the model, the firmware and the boards of a configuration that
// is built without an exchange.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace stanset {

class TMainClass;
struct TDataStream;

class TConstructorForm : public QDialog {
    Q_OBJECT
public:
    TConstructorForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent = nullptr);

    // For a window kept between openings: the model and engine of the next showing.
    void Attach(TMainClass* engine, std::shared_ptr<TDataStream> data);

    static constexpr int kMaxSlots = 15;

    QComboBox* ATSNameComboBox = nullptr;
    QComboBox* ATSPOComboBox = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    // Row 0 holds the slot numbers, row 1 the board of each slot.
    QTableWidget* StringGrid1 = nullptr;
    QComboBox* AddPlateComboBox = nullptr;
    QCheckBox* DoubleCheckBox = nullptr;
    QPushButton* CreateATSButton = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    // The board shown in a slot ("" for an empty one).
    QString SlotBoard(int column) const;

public Q_SLOTS:
    void FormShow();
    void ATSNameComboBoxChange();
    void StringGrid1DblClick(int row, int column);
    void AddPlateComboBoxChange(int index);
    void AddPlateComboBoxExit();
    void DoubleCheckBoxClick(bool checked);
    void CreateATSButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupSlotGrid();
    bool SlotInRange(int column) const;
    QString SelectedModel() const;
    void SetSlotBoard(int column, const QString& board);
    void EmptySlots();
    void FitGrid();
    int ColumnWidth() const;

    TMainClass* engine_ = nullptr;
    std::shared_ptr<TDataStream> data_;
    QString model_;                          // the model row 1 was filled for
    std::array<QString, kMaxSlots> slots_;   // what row 1 holds, all 15 cells
    int dblClickColumn_ = -1;
};

}  // namespace stanset
