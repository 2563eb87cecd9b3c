#include "files/constructor_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "engine/data_stream.h"
#include "engine/main_class.h"
#include "files/constructor.h"

namespace stanset {

namespace {

constexpr int kColumnWidth = 47;  // at the least; wider when the longest board name needs it
constexpr int kRowHeight = 22;

// The model, the boards and the second-unit tick outlive the window: they are offered
// again at the next opening as long as the model stays the same.
struct TConstructorMemory {
    QString model;
    std::array<QString, TConstructorForm::kMaxSlots> boards;
    bool secondUnit = false;
};

TConstructorMemory& Memory() {
    static TConstructorMemory memory;
    return memory;
}

// The instructions as the memo holds them; a piece that ends in a space goes on in the next.
const char* const kInstructions[] = {
    "Конструктор нужен для создания файла конфигурации при отсутствии подключения ",
    "к ",
    "АТС.",
    "",
    "1.Устанавливаем тип АТС, для которой создается файл.",
    "2. Устанавливаем версию рабочей программы.",
    "3. В зав. от типа АТС, при дв. щелчке по таблице, нам становится доступен список ",
    "плат ",
    "для выбора.",
};

QString InstructionsText() {
    QString text;
    for (const char* piece : kInstructions) {
        const QString line = QString::fromUtf8(piece);
        text += line;
        if (!line.endsWith(' ')) text += '\n';
    }
    return text.trimmed();
}

QTableWidgetItem* HeadingCell(const QString& text, const QPalette& palette) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setBackground(palette.button());
    item->setForeground(palette.buttonText());
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

QTableWidgetItem* BoardCell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

}  // namespace

TConstructorForm::TConstructorForm(TMainClass* engine, std::shared_ptr<TDataStream> data, QWidget* parent)
    : QDialog(parent), engine_(engine), data_(std::move(data)) {
    setObjectName("TConstructorForm");
    setWindowTitle(QString::fromUtf8("Конструктор АТС"));

    ATSNameComboBox = new QComboBox(this);
    ATSNameComboBox->setObjectName("ATSNameComboBox");
    for (const std::string& m : kConstructorModels) ATSNameComboBox->addItem(QString::fromStdString(m));
    ATSPOComboBox = new QComboBox(this);
    ATSPOComboBox->setObjectName("ATSPOComboBox");
    for (const std::string& v : kConstructorVersions) ATSPOComboBox->addItem(QString::fromStdString(v));

    auto* choices = new QGridLayout;
    choices->addWidget(new QLabel(QString::fromUtf8("Тип АТС:"), this), 0, 0);
    choices->addWidget(ATSNameComboBox, 0, 1);
    choices->addWidget(new QLabel(QString::fromUtf8("Версия рабочей программы: "), this), 1, 0);
    choices->addWidget(ATSPOComboBox, 1, 1);
    choices->setColumnStretch(2, 1);

    GroupBox1 = new QGroupBox(QString::fromUtf8("Укажите состав АТС"), this);
    GroupBox1->setObjectName("GroupBox1");
    StringGrid1 = new QTableWidget(2, kMaxSlots, GroupBox1);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->installEventFilter(this);

    AddPlateComboBox = new QComboBox(StringGrid1->viewport());
    AddPlateComboBox->setObjectName("AddPlateComboBox");
    AddPlateComboBox->hide();
    AddPlateComboBox->installEventFilter(this);

    DoubleCheckBox = new QCheckBox(QString::fromUtf8("Второй блок KVT250"), GroupBox1);
    DoubleCheckBox->setObjectName("DoubleCheckBox");

    auto* slotsBox = new QVBoxLayout(GroupBox1);
    slotsBox->addWidget(StringGrid1, 0, Qt::AlignLeft);
    slotsBox->addWidget(DoubleCheckBox);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setPlainText(InstructionsText());
    Memo1->setFixedHeight(Memo1->fontMetrics().lineSpacing() * 6 + 12);

    CreateATSButton = new QPushButton(QString::fromUtf8("Создать АТС"), this);
    CreateATSButton->setObjectName("CreateATSButton");
    CreateATSButton->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(GroupBox1);
    layout->addWidget(Memo1);
    layout->addWidget(CreateATSButton, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ATSNameComboBox, &QComboBox::activated, this, &TConstructorForm::ATSNameComboBoxChange);
    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this, &TConstructorForm::StringGrid1DblClick);
    connect(AddPlateComboBox, &QComboBox::activated, this, &TConstructorForm::AddPlateComboBoxChange);
    connect(DoubleCheckBox, &QCheckBox::clicked, this, &TConstructorForm::DoubleCheckBoxClick);
    connect(CreateATSButton, &QPushButton::clicked, this, &TConstructorForm::CreateATSButtonClick);
}

void TConstructorForm::Attach(TMainClass* engine, std::shared_ptr<TDataStream> data) {
    engine_ = engine;
    data_ = std::move(data);
}

QString TConstructorForm::SelectedModel() const { return ATSNameComboBox->currentText(); }

bool TConstructorForm::SlotInRange(int column) const {
    return column >= 0 && column < SlotCount(SelectedModel().toStdString());
}

QString TConstructorForm::SlotBoard(int column) const {
    return column >= 0 && column < kMaxSlots ? slots_[column] : QString();
}

void TConstructorForm::SetSlotBoard(int column, const QString& board) {
    if (column < 0 || column >= kMaxSlots) return;
    slots_[column] = board;
    if (column < StringGrid1->columnCount()) StringGrid1->setItem(1, column, BoardCell(board));
}

void TConstructorForm::EmptySlots() {
    for (int c = 0; c < kMaxSlots; ++c) SetSlotBoard(c, {});
}

void TConstructorForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TConstructorForm::hideEvent(QHideEvent* event) {
    AddPlateComboBoxExit();
    TConstructorMemory& memory = Memory();
    memory.model = model_;
    memory.boards = slots_;
    memory.secondUnit = DoubleCheckBox->isChecked();
    QDialog::hideEvent(event);
}

void TConstructorForm::FormShow() {
    const TConstructorMemory& memory = Memory();
    slots_ = memory.boards;
    model_ = memory.model;
    DoubleCheckBox->setChecked(memory.secondUnit);

    const QString current = engine_ ? QString::fromStdString(engine_->Identity.Model) : QString();
    const int found = ATSNameComboBox->findText(current);
    ATSNameComboBox->setCurrentIndex(found >= 0 ? found : 0);
    ATSPOComboBox->setCurrentIndex(0);
    // Boards of another family would make an exchange that cannot exist; a model other
    // than the one they were chosen for starts with empty slots.
    if (!model_.isEmpty() && model_ != SelectedModel()) slots_ = {};
    model_ = SelectedModel();
    SetupSlotGrid();
    DoubleCheckBox->setEnabled(SelectedModel() == "KVT250");
}

int TConstructorForm::ColumnWidth() const {
    const QFontMetrics metrics(StringGrid1->font());
    return std::max(kColumnWidth, metrics.horizontalAdvance("LBQ619") + 8);
}

void TConstructorForm::SetupSlotGrid() {
    const int n = SlotCount(SelectedModel().toStdString());
    StringGrid1->setColumnCount(n);
    for (int c = 0; c < n; ++c) {
        StringGrid1->setColumnWidth(c, ColumnWidth());
        StringGrid1->setItem(0, c, HeadingCell(QString::number(c), palette()));
        StringGrid1->setItem(1, c, BoardCell(slots_[c]));
    }
    for (int r = 0; r < 2; ++r) StringGrid1->setRowHeight(r, kRowHeight);
    FitGrid();
}

void TConstructorForm::FitGrid() {
    const int frame = 2 * StringGrid1->frameWidth();
    const int n = StringGrid1->columnCount();
    StringGrid1->setFixedSize(std::max(n, 1) * ColumnWidth() + frame + 1, 2 * kRowHeight + frame + 1);
}

void TConstructorForm::ATSNameComboBoxChange() {
    AddPlateComboBoxExit();
    if (SelectedModel() != model_) {
        EmptySlots();
        model_ = SelectedModel();
    }
    SetupSlotGrid();
    DoubleCheckBox->setEnabled(SelectedModel() == "KVT250");
}

void TConstructorForm::StringGrid1DblClick(int row, int column) {
    dblClickColumn_ = column;
    if (row != 1 || ATSNameComboBox->currentIndex() < 0 || ATSPOComboBox->currentIndex() < 0) return;
    if (!SlotInRange(column)) return;
    AddPlateComboBox->clear();
    for (const std::string& board : BoardsFor(SelectedModel().toStdString()))
        AddPlateComboBox->addItem(QString::fromStdString(board));
    AddPlateComboBox->setCurrentIndex(-1);

    // Over the cell, wide enough for the longest name, inside the grid.
    const QRect cell = StringGrid1->visualRect(StringGrid1->model()->index(1, column));
    const int width = std::max(cell.width(), AddPlateComboBox->sizeHint().width());
    const int left = std::max(0, std::min(cell.left(), StringGrid1->viewport()->width() - width));
    AddPlateComboBox->setGeometry(left, cell.top(), width, cell.height());
    AddPlateComboBox->show();
    AddPlateComboBox->raise();
    AddPlateComboBox->setFocus();
    AddPlateComboBox->showPopup();
}

void TConstructorForm::AddPlateComboBoxChange(int index) {
    if (index >= 0 && SlotInRange(dblClickColumn_)) {
        SetSlotBoard(dblClickColumn_, AddPlateComboBox->itemText(index));
        if (SelectedModel() == "KVT250" && dblClickColumn_ > 5) {
            DoubleCheckBox->setEnabled(true);
            DoubleCheckBox->setChecked(true);
        }
    }
    AddPlateComboBoxExit();
}

void TConstructorForm::AddPlateComboBoxExit() {
    if (!AddPlateComboBox->isVisible()) return;
    AddPlateComboBox->hidePopup();
    AddPlateComboBox->clear();
    AddPlateComboBox->hide();
    StringGrid1->setFocus();
}

bool TConstructorForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AddPlateComboBox && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        AddPlateComboBoxExit();
    } else if ((watched == AddPlateComboBox || watched == StringGrid1) && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && AddPlateComboBox->isVisible()) {
        // Esc closes the board list, not the window.
        AddPlateComboBoxExit();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TConstructorForm::DoubleCheckBoxClick(bool checked) {
    if (checked) return;
    // The second unit holds slots 6 and up; it cannot go while one of them has a board.
    for (int c = 6; c <= 12; ++c)
        if (!slots_[c].isEmpty()) {
            DoubleCheckBox->setChecked(true);
            return;
        }
}

void TConstructorForm::CreateATSButtonClick() {
    if (!engine_ || !data_ || ATSNameComboBox->currentIndex() < 0 || ATSPOComboBox->currentIndex() < 0) return;
    TConstructorChoice choice;
    choice.model = SelectedModel().toStdString();
    choice.version = ATSPOComboBox->currentText().toStdString();
    const int n = SlotCount(choice.model);
    for (int c = 0; c < n && c < kMaxSlots; ++c) choice.boards.push_back(slots_[c].toStdString());
    choice.secondUnit = DoubleCheckBox->isEnabled() && DoubleCheckBox->isChecked();
    if (CreateConfiguration(*engine_, *data_, choice)) accept();
}

}  // namespace stanset
