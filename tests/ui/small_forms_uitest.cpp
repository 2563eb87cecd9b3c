// The small windows: composition, clock, options, constructor, clearing.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/ats_complect_form.h"
#include "engine/ats_time_form.h"
#include "engine/data_stream.h"
#include "engine/main_class.h"
#include "files/clear_all_form.h"
#include "files/constructor_form.h"
#include "files/options_form.h"
#include "simulator.h"
#include "support/fake_line.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

using namespace stanset;
using stanset::testing::FakeLine;
using stanset::testing::RecordingUI;
using stanset::testing::TempDir;

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// An engine on an in-memory line in a working folder of its own; the line answers
// nothing unless a test scripts it.
struct LineEngine {
    TempDir dir;
    RecordingUI ui;
    FakeLine line;
    std::unique_ptr<TMainClass> engine =
        std::make_unique<TMainClass>(ui, TEngineOptions{.workDir = dir.Path(), .device = {}, .line = &line});
    std::shared_ptr<TDataStream> data = std::make_shared<TDataStream>(dir.Path());
};

std::string FileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QString Cell(QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

// Double-clicks a slot cell of the constructor and picks a board from the list it opens.
void PickBoard(TConstructorForm& form, int column, const QString& board) {
    form.StringGrid1DblClick(1, column);
    QVERIFY(form.AddPlateComboBox->isVisible());
    const int index = form.AddPlateComboBox->findText(board);
    QVERIFY(index >= 0);
    form.AddPlateComboBox->setCurrentIndex(index);
    emit form.AddPlateComboBox->activated(index);
    QVERIFY(!form.AddPlateComboBox->isVisible());
}

}  // namespace

class SmallFormsTest : public QObject {
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void optionsReopenShowsPortInUse();
    void constructorSecondUnitAndModelSwitch();
    void constructorForgetsBoardsOfAnotherModel();
    void clearingSkipsWhatTheFirmwareLacks();
    void compositionAfterRead();
    void clockWithoutLink();
    void screenshots();
};

void SmallFormsTest::options_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("pickFromList");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<QString>("portName");
    QTest::addColumn<int>("stored");      // the byte in the file, -1: file unchanged

    // "СО" is Cyrillic in the messages; the third letter is a Latin M or a Cyrillic м.
    const QString badNumber = U("Некорректный номер СОM-порта.");
    QTest::newRow("COM0") << "COM0" << false << badNumber << "COM1" << -1;
    QTest::newRow("COM123") << "COM123" << false << badNumber << "COM1" << -1;
    QTest::newRow("COM") << "COM" << false << badNumber << "COM1" << -1;
    QTest::newRow("com1") << "com1" << false << U("Некорректный номер СОм-порта.") << "COM1" << -1;
    QTest::newRow("COMx") << "COMx" << false << badNumber << "COM1" << -1;
    QTest::newRow("COM16 picked") << "COM16" << true << QString() << "COM16" << 16;
    QTest::newRow("COM01") << "COM01" << false << QString() << "COM1" << 1;
    QTest::newRow("COM99") << "COM99" << false << QString() << "COM99" << 99;
}

void SmallFormsTest::options() {
    QFETCH(QString, typed);
    QFETCH(bool, pickFromList);
    QFETCH(QString, message);
    QFETCH(QString, portName);
    QFETCH(int, stored);

    LineEngine e;
    const auto cfg = std::filesystem::path(e.dir.Path()) / "Stanset_M.cfg";
    const std::string before = FileBytes(cfg);
    TOptionsForm form(e.engine.get(), e.data);
    RecordingUI ui;
    form.SetInteraction(&ui);
    form.show();
    if (pickFromList)
        form.OptComComboBox->setCurrentIndex(form.OptComComboBox->findText(typed));
    else
        form.OptComComboBox->setEditText(typed);
    form.SetOptions->click();

    QCOMPARE(QString::fromStdString(e.engine->Identity.PortName), portName);
    if (message.isEmpty()) {
        QVERIFY(ui.Messages.empty());
        QVERIFY(!form.isVisible());
        QCOMPARE(form.NComLabel->text(), portName);
        QCOMPARE(FileBytes(cfg), std::string({static_cast<char>(stored), 0}));
    } else {
        QCOMPARE(ui.Messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(ui.Messages[0].first), message);
        QCOMPARE(QString::fromStdString(ui.Messages[0].second), U("Ошибка"));
        QVERIFY(form.isVisible());
        QCOMPARE(form.NComLabel->text(), typed);  // the rejected text stays in view
        QCOMPARE(FileBytes(cfg), before);
    }
}

void SmallFormsTest::optionsReopenShowsPortInUse() {
    LineEngine e;
    e.engine->Identity.PortName = "COM7";
    TOptionsForm form(e.engine.get(), e.data);
    RecordingUI ui;
    form.SetInteraction(&ui);
    form.show();
    QCOMPARE(form.NComLabel->text(), QString("COM7"));
    form.OptComComboBox->setEditText("COM3");
    form.SetOptions->click();
    QVERIFY(!form.isVisible());
    form.show();
    QCOMPARE(form.NComLabel->text(), QString("COM3"));
    QCOMPARE(form.OptComComboBox->currentText(), QString());
}

void SmallFormsTest::constructorSecondUnitAndModelSwitch() {
    LineEngine e;
    TConstructorForm form(e.engine.get(), e.data);
    form.show();
    const int kvt250 = form.ATSNameComboBox->findText("KVT250");
    form.ATSNameComboBox->setCurrentIndex(kvt250);
    emit form.ATSNameComboBox->activated(kvt250);
    QCOMPARE(form.StringGrid1->columnCount(), 12);
    QVERIFY(form.DoubleCheckBox->isEnabled());
    form.DoubleCheckBox->setChecked(false);

    // Neither the heading row nor a slot the model lacks opens the board list.
    form.StringGrid1DblClick(0, 3);
    QVERIFY(!form.AddPlateComboBox->isVisible());
    form.StringGrid1DblClick(1, 12);
    QVERIFY(!form.AddPlateComboBox->isVisible());

    PickBoard(form, 2, "LB43");
    QVERIFY(!form.DoubleCheckBox->isChecked());  // the first unit's slots need no second unit
    PickBoard(form, 7, "LB71");
    QCOMPARE(Cell(form.StringGrid1, 1, 7), QString("LB71"));
    QVERIFY(form.DoubleCheckBox->isChecked());
    form.DoubleCheckBox->click();  // a board in slot 7 keeps the second unit
    QVERIFY(form.DoubleCheckBox->isChecked());
    PickBoard(form, 7, "");
    form.DoubleCheckBox->click();
    QVERIFY(!form.DoubleCheckBox->isChecked());

    // Another model empties row 1, and coming back does not bring the boards back.
    const int rd16 = form.ATSNameComboBox->findText("RD16");
    form.ATSNameComboBox->setCurrentIndex(rd16);
    emit form.ATSNameComboBox->activated(rd16);
    QCOMPARE(form.StringGrid1->columnCount(), 6);
    QVERIFY(!form.DoubleCheckBox->isEnabled());
    for (int c = 0; c < 6; ++c) QCOMPARE(Cell(form.StringGrid1, 1, c), QString());
    form.ATSNameComboBox->setCurrentIndex(kvt250);
    emit form.ATSNameComboBox->activated(kvt250);
    QCOMPARE(form.SlotBoard(2), QString());
    QCOMPARE(Cell(form.StringGrid1, 1, 2), QString());
    QCOMPARE(Cell(form.StringGrid1, 0, 11), QString("11"));
}

void SmallFormsTest::constructorForgetsBoardsOfAnotherModel() {
    LineEngine e;
    e.engine->Identity.Model = "RD32";
    {
        TConstructorForm form(e.engine.get(), e.data);
        form.show();
        QCOMPARE(form.ATSNameComboBox->currentText(), QString("RD32"));
        PickBoard(form, 0, "TQ05");
        form.close();
    }
    {
        // The boards are offered again for the same model...
        TConstructorForm form(e.engine.get(), e.data);
        form.show();
        QCOMPARE(Cell(form.StringGrid1, 1, 0), QString("TQ05"));
        form.close();
    }
    // ...but not to an exchange of another family, which has no such board.
    e.engine->Identity.Model = "KVT250";
    TConstructorForm form(e.engine.get(), e.data);
    form.show();
    QCOMPARE(form.ATSNameComboBox->currentText(), QString("KVT250"));
    QCOMPARE(Cell(form.StringGrid1, 1, 0), QString());
    PickBoard(form, 0, "LB71");
    form.CreateATSButton->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(e.engine->Identity.Model, std::string("KVT250"));
    QCOMPARE(e.data->CompositionCount > 0 ? QString::fromStdString(e.data->Composition[0].BoardName) : QString(),
             QString("LB71"));
}

void SmallFormsTest::clearingSkipsWhatTheFirmwareLacks() {
    LineEngine e;
    e.engine->Identity.Model = "KVT700-1";
    e.engine->Identity.Version = "24,3";
    {
        TClearAllForm form(e.engine.get(), e.data);
        form.show();
        form.Button1Click();
        QVERIFY(!form.BW_ExtNumCheckBox->isEnabled());
        QVERIFY(form.BW_ExtNumCheckBox->isChecked());  // disabled, still ticked
        QVERIFY(form.ALCheckBox->isEnabled());
        form.Button2->click();
        form.ALCheckBox->setChecked(true);
        form.FlashCheckBox->setChecked(true);
        form.BW_ExtNumCheckBox->setChecked(true);
        form.Button3->click();
        QVERIFY(!form.isVisible());
    }
    std::array<bool, kTableCount> expected{};
    expected[kTabLines] = expected[kTabFlash] = true;
    QCOMPARE(e.engine->Changed, expected);

    // The ticks are still there at the next opening.
    TClearAllForm again(e.engine.get(), e.data);
    again.show();
    QVERIFY(again.ALCheckBox->isChecked());
    QVERIFY(!again.SLCheckBox->isChecked());
    QVERIFY(again.BW_ExtNumCheckBox->isChecked());
    again.Button1Click();  // leave the run's ticks as they start
    again.close();
}

void SmallFormsTest::compositionAfterRead() {
    sim::Simulator exchange(sim::MakeSample({"KVT250", "24,7"}));
    exchange.Start();
    TempDir dir;
    RecordingUI ui;
    TMainClass engine(ui, {.workDir = dir.Path(), .device = exchange.SlavePath()});
    auto data = std::make_shared<TDataStream>(dir.Path());
    for (bool* sel : {&data->SelTimeSettings, &data->SelAllSys, &data->SelCommonBook, &data->SelRedirects,
                      &data->SelProgNumbers, &data->SelFlash, &data->SelDirections, &data->SelTrunks,
                      &data->SelLines, &data->SelGroups, &data->SelIntercoms, &data->SelGroupBooks, &data->SelGGS,
                      &data->SelSTAKeys, &data->SelQuickConf, &data->SelBWBooks})
        *sel = false;
    QCOMPARE(engine.ReadAll(ui, data), 1);
    exchange.Stop();
    QVERIFY(data->CompositionCount > 0);

    TATSComplectForm form(&engine, data);
    form.show();
    QCOMPARE(form.windowTitle(), U("Cостав АТС"));
    QCOMPARE(Cell(form.StringGrid1, 0, 1), U("Тип платы"));
    QCOMPARE(Cell(form.StringGrid1, 15, 0), QString("14"));
    QCOMPARE(form.StringGrid1->columnWidth(0), 30);
    const int count = std::min(data->CompositionCount, 15);
    for (int i = 0; i < count; ++i) {
        const TATSConfig& b = data->Composition[i];
        QCOMPARE(Cell(form.StringGrid1, i + 1, 1), QString::fromStdString(b.BoardName));
        QCOMPARE(Cell(form.StringGrid1, i + 1, 2), QString::fromStdString(b.FactoryNumber));
        QCOMPARE(Cell(form.StringGrid1, i + 1, 3), QString::fromStdString(b.SoftVersion));
        QCOMPARE(Cell(form.StringGrid1, i + 1, 4), QString::fromStdString(b.FirmwareDate));
    }
    QVERIFY(!Cell(form.StringGrid1, 1, 2).isEmpty());

    // Every showing starts from empty cells: a shorter composition leaves no old rows.
    form.hide();
    data->CompositionCount = 1;
    form.show();
    QCOMPARE(Cell(form.StringGrid1, 1, 1), QString::fromStdString(data->Composition[0].BoardName));
    for (int c = 1; c < 5; ++c) QCOMPARE(Cell(form.StringGrid1, 2, c), QString());
}

void SmallFormsTest::clockWithoutLink() {
    LineEngine e;
    TATSTimeForm form(e.engine.get(), e.data);
    RecordingUI ui;
    form.SetInteraction(&ui);
    form.show();
    QCOMPARE(form.Label3->text(), QString());  // no exchange clock read yet
    form.Button1->click();
    form.Button2->click();
    QCOMPARE(ui.Messages.size(), std::size_t{2});
    for (const auto& [text, caption] : ui.Messages) {
        QCOMPARE(QString::fromStdString(text), U("Нет связи со станцией."));
        QCOMPARE(QString::fromStdString(caption), U("Ошибка"));
    }
    QCOMPARE(form.Label3->text(), QString());

    // An exchange that identifies itself and takes the clock: no message, and the window
    // now shows the PC's date as the exchange's.
    e.line.OnWrite = [clockBytes = 0](FakeLine& l, std::uint8_t b) mutable {
        if (clockBytes > 0) {
            if (--clockBytes == 0) l.Pending.push_back(0);
        } else if (b == 0x85) {
            clockBytes = 6;
        } else if (b == 0x00) {
            l.Pending.push_back(0);
        } else if (b == 0x01) {
            l.Pending = {21, 0, 0, 0, 0, 0, 6, 0x47, 2, 75, 150, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0};
        }
    };
    ui.Messages.clear();
    form.Button2->click();
    QVERIFY(ui.Messages.empty());
    QCOMPARE(form.DateTimePicker4->date(), QDate::currentDate());
    QVERIFY(!form.Label3->text().isEmpty());
}

// Pictures of the windows for a person to look at: scripts/screenshots-forms.sh.
void SmallFormsTest::screenshots() {
    const QString dir = qEnvironmentVariable("STANSET_FORM_SHOTS");
    if (dir.isEmpty()) QSKIP("STANSET_FORM_SHOTS names no folder");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));  // as the program does
    sim::Simulator exchange(sim::MakeSample({"KVT700-1", "24,7"}));
    exchange.Start();
    TempDir work;
    RecordingUI ui;
    TMainClass engine(ui, {.workDir = work.Path(), .device = exchange.SlavePath()});
    auto data = std::make_shared<TDataStream>(work.Path());
    QCOMPARE(engine.ReadAll(ui, data), 1);
    exchange.Stop();

    const auto save = [&](QWidget& w, const char* name) {
        w.show();
        QTest::qWait(50);
        QVERIFY(w.grab().save(dir + "/" + name + ".png"));
        w.hide();
    };
    TATSComplectForm complect(&engine, data);
    save(complect, "composition");
    TATSTimeForm clock(&engine, data);
    save(clock, "clock");
    TOptionsForm options(&engine, data);
    save(options, "options");
    TClearAllForm clearing(&engine, data);
    save(clearing, "clearing");
    TConstructorForm constructor(&engine, data);
    constructor.show();
    PickBoard(constructor, 3, "LBQ619");
    constructor.StringGrid1DblClick(1, 5);
    constructor.AddPlateComboBox->hidePopup();
    QTest::qWait(50);
    QVERIFY(constructor.grab().save(dir + "/constructor.png"));
}

QTEST_MAIN(SmallFormsTest)
#include "small_forms_uitest.moc"
