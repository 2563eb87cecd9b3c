// The clearing window: which tables go back to their empty or factory state.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

class QCheckBox;
class QPushButton;
class QScrollArea;

namespace stanset {

class TMainClass;
struct TDataStream;

class TClearAllForm : public QDialog {
    Q_OBJECT
public:
    TClearAllForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent = nullptr);

    // For a window kept between openings: the model and engine of the next showing.
    void Attach(TMainClass* engine, std::shared_ptr<TDataStream> data);

    QScrollArea* ScrollBox1 = nullptr;
    QCheckBox* ALCheckBox = nullptr;
    QCheckBox* SLCheckBox = nullptr;
    QCheckBox* GroupCheckBox = nullptr;
    QCheckBox* NavedenCheckBox = nullptr;
    QCheckBox* AllSysCheckBox = nullptr;
    QCheckBox* DfCheckBox = nullptr;
    QCheckBox* GGSCheckBox = nullptr;
    QCheckBox* RedirectCheckBox = nullptr;
    QCheckBox* FlashCheckBox = nullptr;
    QCheckBox* GlobExternNumCheckBox = nullptr;
    QCheckBox* GroupExternNumCheckBox = nullptr;
    QCheckBox* PrgNumCheckBox = nullptr;
    QCheckBox* ConfCheckBox = nullptr;
    QCheckBox* STACheckBox = nullptr;
    QCheckBox* TimeCheckBox = nullptr;
    QCheckBox* BW_ExtNumCheckBox = nullptr;
    QPushButton* Button1 = nullptr;  // tick all
    QPushButton* Button2 = nullptr;  // untick all
    QPushButton* Button3 = nullptr;  // clear the ticked tables

    // The sixteen boxes in the order of the tables (kTabLines ... kTabBWBooks).
    const std::array<QCheckBox*, 16>& Boxes() const { return boxes_; }

public Q_SLOTS:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void Button3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TMainClass* engine_ = nullptr;
    std::shared_ptr<TDataStream> data_;
    std::array<QCheckBox*, 16> boxes_{};
};

}  // namespace stanset
