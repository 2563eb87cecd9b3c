// The main window against a simulated exchange on a pseudo-terminal, with the person's
// answers scripted: nothing here opens a dialog that waits.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/data_stream.h"
#include "simulator.h"
#include "support/temp_dir.h"
#include "ui/main_form.h"

using namespace stanset;
namespace fs = std::filesystem;

namespace {

class ScriptedUI : public TQtInteraction {
public:
    std::vector<std::pair<std::string, std::string>> Messages;  // text, caption
    std::vector<std::string> Questions;
    std::deque<bool> Answers;  // for the questions to come; none left: Cancel

    void Message(const std::string& text, const std::string& caption) override { Messages.emplace_back(text, caption); }
    bool Ask(const std::string& text, const std::string&) override {
        Questions.push_back(text);
        if (Answers.empty()) return false;
        const bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void OpenClockWindow(TMainClass&) override {}
};

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A window on a fresh simulated exchange, started with the given start-up choice.
struct Bench {
    explicit Bench(int choice, sim::SampleOptions sample = {}, sim::Faults faults = {}) {
        exchange = std::make_unique<sim::Simulator>(sim::MakeSample(sample));
        exchange->SetFaults(faults);
        exchange->Start();
        TMainFormOptions options;
        options.engine = TEngineOptions{dir.Path(), exchange->SlavePath()};
        options.ui = &ui;
        options.chooseStart = [choice] { return choice; };
        options.chooseFile = [this](const QString&, bool) { return files.isEmpty() ? QString() : files.takeFirst(); };
        form = std::make_unique<TMainForm>(std::move(options));
        form->show();
        form->FormShow();
    }
    ~Bench() {
        form.reset();
        if (exchange) exchange->Stop();
    }

    QString Label(int i) const { return form->findChild<QLabel*>(QString("Label%1").arg(i))->text(); }
    QAction* Tool(const char* name) const { return form->findChild<QAction*>(name); }
    QMenu* Menu(const char* title) const {
        for (QMenu* m : form->menuBar()->findChildren<QMenu*>())
            if (m->title() == QString::fromUtf8(title)) return m;
        return nullptr;
    }
    bool ItemEnabled(const char* menu, const char* item) const {
        form->UpdateMenu(Menu(menu));
        return form->MenuItem(QString::fromUtf8(item))->isEnabled();
    }
    static std::vector<bool> Ticks(const TTablePanel& p) {
        std::vector<bool> t;
        for (QCheckBox* b : p.Boxes) t.push_back(b->isChecked());
        return t;
    }
    static void Tick(const TTablePanel& p, std::initializer_list<int> which) {
        for (QCheckBox* b : p.Boxes) b->setChecked(false);
        for (int i : which) p.Boxes[i]->setChecked(true);
    }
    bool Showed(const char* text, const char* caption = nullptr) const {
        for (const auto& [t, c] : ui.Messages)
            if (t == text && (!caption || c == caption)) return true;
        return false;
    }
    std::string Dat(const char* name) const { return (fs::path(dir.Path()) / "dat" / name).string(); }

    testing::TempDir dir;
    ScriptedUI ui;
    std::unique_ptr<sim::Simulator> exchange;
    std::unique_ptr<TMainForm> form;
    QStringList files;
};

const std::vector<bool> kNone(kTableCount, false);
const std::vector<bool> kAll(kTableCount, true);
constexpr const char* kReadyTools[] = {"SaveToFileButton", "WriteToATSToolButton", "AlGroupButton", "SimTrunksButton"};

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void startDialogAnswers_data() {
        QTest::addColumn<int>("press");  // 0 top button, 1 lower button, 2 Escape
        QTest::addColumn<int>("choice");
        QTest::newRow("read the exchange") << 0 << 0;
        QTest::newRow("work with a file") << 1 << 1;
        QTest::newRow("closed otherwise") << 2 << 0;
    }
    void startDialogAnswers() {
        QFETCH(int, press);
        QFETCH(int, choice);
        TStartDialog dialog;
        QCOMPARE(dialog.size(), QSize(297, 108));
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Stanset 1.23  Варианты загрузки."));
        QCOMPARE(dialog.ReadButton()->text(), QString::fromUtf8("Читаем данные из АТС"));
        QCOMPARE(dialog.FileButton()->text(), QString::fromUtf8("Работаем с файлом"));
        QCOMPARE(dialog.ReadButton()->size(), QSize(273, 25));
        QCOMPARE(dialog.FileButton()->geometry().top() - dialog.ReadButton()->geometry().top(), 36);
        QTimer::singleShot(0, &dialog, [&] {
            if (press == 0) dialog.ReadButton()->click();
            if (press == 1) dialog.FileButton()->click();
            if (press == 2) QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        dialog.exec();
        QCOMPARE(dialog.Choice(), choice);
    }

    void fileChoiceLeavesTheLineAlone() {
        Bench b(1);
        QVERIFY(b.exchange->Transcript().empty());
        QVERIFY(b.form->Engine()->Port.IsOpen());
        QVERIFY(!b.form->Engine()->Ready);
        QCOMPARE(b.form->windowTitle(), QString("Stanset 1.23"));
        QCOMPARE(b.form->statusBar()->currentMessage(), QString::fromStdString(b.exchange->SlavePath()));
        QCOMPARE(b.Label(1), QString::fromUtf8("Название АТС : "));
        QCOMPARE(b.Label(2), QString::fromUtf8("Версия рабочей программы: "));
        QCOMPARE(b.Label(3), QString::fromUtf8("Заводской номер : "));
        QCOMPARE(b.Label(4), QString::fromUtf8("Буфер тарификации соединений. Заполнено "));
        for (const char* name : kReadyTools) QVERIFY2(!b.Tool(name)->isEnabled(), name);
        QVERIFY(b.Tool("LoadFromFileButton")->isEnabled());
        QVERIFY(b.Tool("NewFileButton")->isEnabled());
        QVERIFY(!b.ItemEnabled("Файлы и АТС        ", "Записать в АТС"));
        QVERIFY(!b.ItemEnabled("Разное        ", "Состав АТС"));
        QVERIFY(b.ItemEnabled("Файлы и АТС        ", "Загрузить из файла"));
        QVERIFY(b.ItemEnabled("Настройки", "Опции программы"));
        QVERIFY(b.ItemEnabled("     Помощь", "О программе"));
    }

    void exitClosesTheWindowAndThePort() {
        Bench b(1);
        b.form->MenuItem(QString::fromUtf8("Выход"))->trigger();
        QTRY_VERIFY(!b.form->isVisible());
        QVERIFY(!b.form->Engine());
        QVERIFY(b.ui.Messages.empty());
    }

    void readAtStartShowsTheExchange() {
        Bench b(0);
        const TStatus& s = b.form->Model()->Status;
        QVERIFY(!s.Name.empty() && !s.BillingText.empty());
        QVERIFY(b.form->Engine()->Ready);
        QCOMPARE(b.Label(1), QString::fromUtf8("Название АТС : ") + QString::fromStdString(s.Name));
        QCOMPARE(b.Label(2), QString::fromUtf8("Версия рабочей программы: ") + QString::fromStdString(s.VersionText));
        QCOMPARE(b.Label(3), QString::fromUtf8("Заводской номер : ") + QString::fromStdString(s.Serial));
        QCOMPARE(b.Label(4),
                 QString::fromUtf8("Буфер тарификации соединений. Заполнено ") + QString::fromStdString(s.BillingText));
        for (const char* name : kReadyTools) QVERIFY2(b.Tool(name)->isEnabled(), name);
        QVERIFY(b.ui.Messages.empty());
    }

    void readAtStartFailures_data() {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("ready");
        QTest::newRow("no exchange") << "24,7" << true << QString::fromUtf8("Нет связи со станцией.") << false;
        QTest::newRow("old firmware")
            << "23,7" << false << QString::fromUtf8("Stanset_M работает с версиями рабочей программы от 22.9 и выше.")
            << true;
    }
    void readAtStartFailures() {
        QFETCH(QString, firmware);
        QFETCH(bool, silent);
        QFETCH(QString, message);
        QFETCH(bool, ready);
        Bench b(0, {"KVT700-1", firmware.toStdString()}, sim::Faults{.silent = silent});
        QVERIFY(b.Showed(message.toUtf8().constData(), ""));
        QCOMPARE(b.form->Engine()->Ready, ready);
        QCOMPARE(b.Tool("SaveToFileButton")->isEnabled(), ready);
        QCOMPARE(b.Label(1), QString::fromUtf8("Название АТС :  "));
    }

    void readPanel() {
        Bench b(1);
        const TTablePanel& p = b.form->ReadFromATSPanel();
        b.form->ReadFromATSClick();
        QVERIFY(p.Panel->isVisible());
        QCOMPARE(p.Bar->value(), 0);

        p.MarkAll->click();
        QCOMPARE(Bench::Ticks(p), kNone);
        p.Run->click();
        QVERIFY(b.Showed("Не отмечено ни одной таблицы.", ""));
        QVERIFY(p.Panel->isVisible());
        QVERIFY(b.exchange->Transcript().empty());

        Bench::Tick(p, {3, 9});
        p.MarkAll->click();  // the first box decides, not the others
        QCOMPARE(Bench::Ticks(p), kAll);

        Bench::Tick(p, {kTabLines, kTabTrunks});
        p.Run->click();
        QVERIFY(!p.Panel->isVisible());
        QVERIFY(b.form->Engine()->Ready);
        QCOMPARE(p.Bar->value(), p.Bar->maximum());
        const TDataStream& d = *b.form->Model();
        QVERIFY(d.SelLines && d.SelTrunks && !d.SelGroups && !d.SelBWBooks);
        QCOMPARE(b.Label(1), QString::fromUtf8("Название АТС : ") + QString::fromStdString(d.Status.Name));
        for (const char* name : kReadyTools) QVERIFY2(b.Tool(name)->isEnabled(), name);
    }

    // The program stays when the port cannot be opened: the edits held are not lost.
    void lostPortKeepsTheWindow() {
        Bench b(0);
        b.exchange.reset();  // the device goes with it
        const TTablePanel& p = b.form->ReadFromATSPanel();
        b.form->ReadFromATSClick();
        p.Run->click();
        QVERIFY(b.Showed("Исключение! Возникла проблема при открытии СОМ-порта. Проверьте номер СОМ-порта и не "
                         "открыт-ли он другой программой. (3)."));
        p.Run->click();  // the port is closed now
        QVERIFY(b.Showed("Исключение! Возникла проблема при открытии СОМ-порта. Проверьте номер СОМ-порта и не "
                         "открыт-ли он другой программой. (2)"));
        QVERIFY(p.Panel->isVisible());
        QVERIFY(b.form->isVisible());
        QVERIFY(b.form->Engine()->Ready);

        b.form->WriteToATSMenuClick();
        const TTablePanel& w = b.form->WriteToATSPanel();
        w.Run->click();
        QVERIFY(b.Showed("Не отмечено ни одной таблицы или АТС сменили во время работы с программой", "Предупреждение"));
        Bench::Tick(w, {kTabLines});
        w.Run->click();
        QVERIFY(b.Showed("Исключение! Какая-то проблема при открытии СОМ-порта.(2)"));
        QVERIFY(w.Panel->isVisible());
    }

    void writePanelOffersTheChangedTables() {
        Bench b(0);
        b.form->WriteToATSMenuClick();
        const TTablePanel& w = b.form->WriteToATSPanel();
        QVERIFY(w.Panel->isVisible());
        QVERIFY(!b.form->ReadFromATSPanel().Panel->isVisible());
        QCOMPARE(Bench::Ticks(w), kNone);

        b.form->Engine()->Changed[kTabLines] = true;
        b.form->WriteToATSMenuClick();
        std::vector<bool> lines = kNone;
        lines[kTabLines] = true;
        QCOMPARE(Bench::Ticks(w), lines);

        b.exchange->ClearTranscript();
        w.Run->click();
        QVERIFY(!w.Panel->isVisible());
        QVERIFY(b.ui.Messages.empty());
        QVERIFY(!b.form->Engine()->Changed[kTabLines]);
        bool wrote = false;
        for (const std::string& line : b.exchange->Transcript()) wrote = wrote || line.rfind("write", 0) == 0;
        QVERIFY(wrote);
    }

    void saveThroughThePanel() {
        Bench b(0);
        const TTablePanel& s = b.form->WriteToFilePanel();
        const std::string path = b.Dat("office.ats");
        const fs::path backup = fs::path(b.dir.Path()) / "ats.bak";

        b.form->SaveToFileClick();
        Bench::Tick(s, {});
        s.Run->click();
        QVERIFY(b.Showed("Не выбрано ни одной таблицы.", "Уведомление"));

        Bench::Tick(s, {kTabCommonBook});
        s.Run->click();  // the dialog is cancelled
        QVERIFY(s.Panel->isVisible());
        QVERIFY(!fs::exists(path));

        b.files = {QString::fromStdString(path)};
        s.Run->click();
        QVERIFY(!s.Panel->isVisible());
        QVERIFY(fs::exists(path));
        const std::string first = Bytes(path);
        const TDataStream& d = *b.form->Model();
        QVERIFY(d.SelCommonBook && !d.SelLines);

        // Overwriting: Cancel keeps everything, OK keeps the old file as ats.bak.
        b.form->SaveToFileClick();
        Bench::Tick(s, {kTabLines, kTabCommonBook});
        b.files = {QString::fromStdString(path)};
        s.Run->click();
        QCOMPARE(b.ui.Questions.size(), size_t(1));
        QVERIFY(s.Panel->isVisible());
        QCOMPARE(Bytes(path), first);
        QVERIFY(!fs::exists(backup));

        b.ui.Answers = {true};
        b.files = {QString::fromStdString(path)};
        s.Run->click();
        QVERIFY(!s.Panel->isVisible());
        QCOMPARE(Bytes(backup), first);
        QVERIFY(Bytes(path) != first);
    }

    void loadThroughThePanel() {
        Bench source(0);
        const std::string saved = source.Dat("kvt.ats");
        source.form->SaveToFileClick();
        source.files = {QString::fromStdString(saved)};
        source.form->WriteToFilePanel().Run->click();
        QVERIFY(fs::exists(saved));

        // Another model, no exchange read yet: no question, the file's model takes over.
        Bench b(1, {"RD16", "24,7"});
        const TTablePanel& l = b.form->ReadFromFilePanel();
        b.form->LoadFromFileClick();  // cancelled
        QVERIFY(!l.Panel->isVisible());

        b.files = {QString::fromStdString(saved)};
        b.form->LoadFromFileClick();
        QVERIFY(l.Panel->isVisible());
        QCOMPARE(l.Panel->findChild<QLabel*>("Label14")->text(), QString::fromStdString(saved));
        Bench::Tick(l, {});
        l.Run->click();
        QVERIFY(b.Showed("Не отмечено ни одной таблицы.", ""));

        Bench::Tick(l, {kTabLines, kTabGroups});
        l.Run->click();
        QVERIFY(b.ui.Questions.empty());
        QVERIFY(!l.Panel->isVisible());
        QCOMPARE(b.form->Engine()->Identity.Model, std::string("KVT700-1"));
        QCOMPARE(b.Label(1), QString::fromUtf8("Название АТС : KVT700-1"));
        QCOMPARE(b.Label(4), QString::fromUtf8("Буфер тарификации соединений. Заполнено "));
        QVERIFY(b.form->Engine()->Ready);
        for (const char* name : kReadyTools) QVERIFY2(b.Tool(name)->isEnabled(), name);

        b.form->WriteToATSMenuClick();
        std::vector<bool> loaded = kNone;
        loaded[kTabLines] = loaded[kTabGroups] = true;
        QCOMPARE(Bench::Ticks(b.form->WriteToATSPanel()), loaded);
    }

    void menusFollowTheModel_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("conferences");
        QTest::newRow("KVT700-1") << "KVT700-1" << true;
        QTest::newRow("RD16") << "RD16" << false;
    }
    void menusFollowTheModel() {
        QFETCH(QString, model);
        QFETCH(bool, conferences);
        Bench b(0, {model.toStdString(), "24,7"});
        QVERIFY(b.form->Engine()->Ready);
        QCOMPARE(b.ItemEnabled("ГГС, СТА, Домофоны        ", "Программирование конференций"), conferences);
        QVERIFY(b.ItemEnabled("ГГС, СТА, Домофоны        ", "ГГС"));
        QVERIFY(b.ItemEnabled("Разное        ", "Черные и белые списки"));
        QVERIFY(b.ItemEnabled("Файлы и АТС        ", "Записать в АТС"));
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_uitest.moc"
