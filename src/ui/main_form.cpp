#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "engine/data_stream.h"
#include "files/config_file.h"
#include "link/status.h"
#include "ui/about_form.h"

#if __has_include("engine/ats_complect_form.h")
#include "engine/ats_complect_form.h"
#define STANSET_HAS_COMPLECT_WINDOW 1
#endif
#if __has_include("engine/ats_time_form.h")
#include "engine/ats_time_form.h"
#define STANSET_HAS_CLOCK_WINDOW 1
#endif
#if __has_include("files/options_form.h")
#include "files/options_form.h"
#define STANSET_HAS_OPTIONS_WINDOW 1
#endif
#if __has_include("files/constructor_form.h")
#include "files/constructor_form.h"
#define STANSET_HAS_CONSTRUCTOR_WINDOW 1
#endif
#if __has_include("files/clear_all_form.h")
#include "files/clear_all_form.h"
#define STANSET_HAS_CLEARING_WINDOW 1
#endif

namespace stanset {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
QString U(const std::string& text) { return QString::fromStdString(text); }

// The boxes' captions, in the order of the engine's changed flags.
constexpr std::array<const char*, kTableCount> kTableCaptions = {
    "Установки АЛ",          "Установка СЛ",              "Установки групп",    "Таблицы наведения",
    "Общесистемные установки", "Таблицы домофонов",       "Таблицы ГГС",        "Таблица переадресаций",
    "Flash установки",       "Общая записная книжка",     "Групповые записные книжки", "Программные номера",
    "Быстрый сбор конференции", "Таблицы кнопок СТА",     "Временные установки", "Черно-белая книжка",
};

constexpr std::array<bool TDataStream::*, kTableCount> kSelection = {
    &TDataStream::SelLines,       &TDataStream::SelTrunks,       &TDataStream::SelGroups,
    &TDataStream::SelDirections,  &TDataStream::SelAllSys,       &TDataStream::SelIntercoms,
    &TDataStream::SelGGS,         &TDataStream::SelRedirects,    &TDataStream::SelFlash,
    &TDataStream::SelCommonBook,  &TDataStream::SelGroupBooks,   &TDataStream::SelProgNumbers,
    &TDataStream::SelQuickConf,   &TDataStream::SelSTAKeys,      &TDataStream::SelTimeSettings,
    &TDataStream::SelBWBooks,
};

constexpr std::array<const char*, kTableCount> kReadBoxes = {
    "CheckBox15", "CheckBox16", "CheckBox17", "CheckBox18", "CheckBox19", "CheckBox20", "CheckBox21", "CheckBox22",
    "CheckBox23", "CheckBox24", "CheckBox25", "CheckBox26", "CheckBox27", "CheckBox28", "CheckBox57", "CheckBox61"};
constexpr std::array<const char*, kTableCount> kWriteBoxes = {
    "CheckBox1", "CheckBox2",  "CheckBox3",  "CheckBox4",  "CheckBox5",  "CheckBox6",  "CheckBox7",  "CheckBox8",
    "CheckBox9", "CheckBox10", "CheckBox11", "CheckBox12", "CheckBox13", "CheckBox14", "CheckBox58", "CheckBox64"};
constexpr std::array<const char*, kTableCount> kLoadBoxes = {
    "CheckBox29", "CheckBox30", "CheckBox31", "CheckBox32", "CheckBox33", "CheckBox34", "CheckBox35", "CheckBox36",
    "CheckBox37", "CheckBox38", "CheckBox39", "CheckBox40", "CheckBox41", "CheckBox42", "CheckBox60", "CheckBox62"};
constexpr std::array<const char*, kTableCount> kSaveBoxes = {
    "CheckBox43", "CheckBox44", "CheckBox45", "CheckBox46", "CheckBox47", "CheckBox48", "CheckBox49", "CheckBox50",
    "CheckBox51", "CheckBox52", "CheckBox53", "CheckBox54", "CheckBox55", "CheckBox56", "CheckBox59", "CheckBox63"};

constexpr const char* kInitialLabels[4] = {"Название АТС :  ", "Версия рабочей программы : ", "Заводской номер :  ",
                                           "Буфер тарификации соединений : заполнено  "};
constexpr const char* kFilledLabels[4] = {"Название АТС : ", "Версия рабочей программы: ", "Заводской номер : ",
                                          "Буфер тарификации соединений. Заполнено "};

constexpr const char* kNoTableTicked = "Не отмечено ни одной таблицы.";
constexpr const char* kNoLinkWithStation = "Нет связи со станцией.";
constexpr const char* kReadReopenFailed =
    "Исключение! Возникла проблема при открытии СОМ-порта. Проверьте номер СОМ-порта и не открыт-ли он другой "
    "программой. (3).";
constexpr const char* kReadOpenFailed =
    "Исключение! Возникла проблема при открытии СОМ-порта. Проверьте номер СОМ-порта и не открыт-ли он другой "
    "программой. (2)";
constexpr const char* kWriteReopenFailed = "Исключение! Какая-то ...проблема при открытии СОМ-порта (3).";
constexpr const char* kWriteOpenFailed = "Исключение! Какая-то проблема при открытии СОМ-порта.(2)";
constexpr const char* kFileFilter = "Файлы конфигурации мини-АТС (*.ats)";

bool AnyTicked(const TTablePanel& panel) {
    for (QCheckBox* box : panel.Boxes)
        if (box->isChecked()) return true;
    return false;
}

bool HasPortOfKind(const TDataStream& data, std::uint16_t kind) {
    for (const TPortPtr& port : data.Ports)
        if (port && port->Kind == kind) return true;
    return false;
}


// Windows that can take the program's messages send them through the same door as the rest.
template <typename Form>
void AttachInteraction(Form& form, TUserInteraction* ui) {
    if constexpr (requires { form.SetInteraction(ui); }) form.SetInteraction(ui);
}

}  // namespace

TStartDialog::TStartDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      read_(new QPushButton(U("Читаем данные из АТС"), this)),
      file_(new QPushButton(U("Работаем с файлом"), this)) {
    setObjectName("StartDialog");
    setWindowTitle(U(kAppTitle) + U("  Варианты загрузки."));
    setFixedSize(297, 108);
    setContentsMargins(5, 5, 5, 5);
    const int left = (width() - 273) / 2;
    const int top = (height() - 25 - 36) / 2;
    read_->setObjectName("ReadButton");
    file_->setObjectName("FileButton");
    read_->setGeometry(left, top, 273, 25);
    file_->setGeometry(left, top + 36, 273, 25);
    read_->setDefault(true);
    connect(read_, &QPushButton::clicked, this, [this] {
        choice_ = 0;
        accept();
    });
    connect(file_, &QPushButton::clicked, this, [this] {
        choice_ = 1;
        accept();
    });
}

TMainForm::TMainForm(TMainFormOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setObjectName("TMainForm");
    if (options_.ui) {
        ui_ = options_.ui;
    } else {
        ownUi_ = std::make_unique<TQtInteraction>(this);
        ui_ = ownUi_.get();
    }
    ui_->SetParent(this);
    setWindowTitle(U(kAppTitle));
    resize(780, 620);

    auto* central = new QWidget(this);
    central->setObjectName("Central");
    setCentralWidget(central);

    BuildMenus();
    BuildToolBar();
    BuildStatusArea();
    read_ = BuildPanel("ReadFromATSPanel", "Чтение данных из АТС", kReadBoxes, "MarkAkkButton", "ReadFromATSButton",
                       "Считать из АТС", "CancelButtonR", "StatusBar4");
    write_ = BuildPanel("WriteToATSPanel", "Запись данных в АТС", kWriteBoxes, "Button1", "WriteToATS",
                        "Записать в АТС", "CancelButtonW", "StatusBar5");
    load_ = BuildPanel("ReadFromFilePanel", "Чтение данных из файла", kLoadBoxes, "Button4", "Button5",
                       "Прочитать файл", "Button6", "StatusBar2");
    save_ = BuildPanel("WriteToFilePanel", "Запись данных в файл", kSaveBoxes, "Button7", "Button9",
                       "Записать в файл", "Button8", "StatusBar1");

    auto* readBar = new QProgressBar(read_.Panel);
    readBar->setObjectName("FromATSProgressBar");
    read_.Bar = readBar;
    auto* writeBar = new QProgressBar(write_.Panel);
    writeBar->setObjectName("ToATSProgressBar");
    write_.Bar = writeBar;
    for (TTablePanel* p : {&read_, &write_}) {
        p->Bar->setRange(0, 1);
        p->Bar->setValue(0);
        static_cast<QVBoxLayout*>(p->Panel->layout())->insertWidget(2, p->Bar);
    }

    auto* scroll = new QScrollArea(load_.Panel);
    scroll->setObjectName("ScrollBox1");
    label14_ = new QLabel(scroll);
    label14_->setObjectName("Label14");
    label14_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label14_->setContentsMargins(4, 2, 4, 2);
    scroll->setWidget(label14_);
    scroll->setWidgetResizable(true);
    scroll->setFixedHeight(label14_->sizeHint().height() + 24);
    static_cast<QVBoxLayout*>(load_.Panel->layout())->insertWidget(1, scroll);

    for (TTablePanel* p : {&read_, &write_, &load_, &save_}) {
        p->Panel->adjustSize();
        p->Panel->move(10, 8);
        p->Panel->hide();
    }
    CentrePanel1();

    connect(read_.Run, &QPushButton::clicked, this, [this] { Run([this] { ReadFromATSButtonClick(); }); });
    connect(write_.Run, &QPushButton::clicked, this, [this] { Run([this] { WriteToATSClick(); }); });
    connect(load_.Run, &QPushButton::clicked, this, [this] { Run([this] { Button5Click(); }); });
    connect(save_.Run, &QPushButton::clicked, this, [this] { Run([this] { Button9Click(); }); });
}

TMainForm::~TMainForm() = default;

void TMainForm::Run(const std::function<void()>& handler) {
    // A handler that fails unexpectedly tells the person and leaves the window working.
    ++busy_;
    try {
        handler();
    } catch (const std::exception& e) {
        ui_->Message(std::string("Непредвиденная ошибка: ") + e.what(), "Ошибка");
    }
    --busy_;
}

TTablePanel TMainForm::BuildPanel(const char* name, const char* title,
                                  const std::array<const char*, kTableCount>& boxNames, const char* markName,
                                  const char* runName, const char* runCaption, const char* leaveName,
                                  const char* statusName) {
    TTablePanel p;
    p.Panel = new QFrame(centralWidget());
    p.Panel->setObjectName(name);
    p.Panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p.Panel->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(p.Panel);

    auto* heading = new QLabel(U(title), p.Panel);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);

    auto* body = new QHBoxLayout;
    auto* group = new QGroupBox(U("Список таблиц"), p.Panel);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(2);
    for (int i = 0; i < kTableCount; ++i) {
        auto* box = new QCheckBox(U(kTableCaptions[i]), group);
        box->setObjectName(boxNames[i]);
        box->setChecked(true);
        grid->addWidget(box, i % 8, i / 8);
        p.Boxes[i] = box;
    }
    body->addWidget(group);

    auto* buttons = new QVBoxLayout;
    p.MarkAll = new QPushButton(U("Отметить все"), p.Panel);
    p.MarkAll->setObjectName(markName);
    p.Run = new QPushButton(U(runCaption), p.Panel);
    p.Run->setObjectName(runName);
    p.Leave = new QPushButton(U("Уйти"), p.Panel);
    p.Leave->setObjectName(leaveName);
    for (QPushButton* b : {p.MarkAll, p.Run, p.Leave}) {
        b->setMinimumWidth(130);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    body->addLayout(buttons);
    layout->addLayout(body);

    p.Status = new QStatusBar(p.Panel);
    p.Status->setObjectName(statusName);
    p.Status->setSizeGripEnabled(false);
    layout->addWidget(p.Status);

    const auto boxes = p.Boxes;
    connect(p.MarkAll, &QPushButton::clicked, this, [boxes] {
        const bool tick = !boxes[0]->isChecked();
        for (QCheckBox* box : boxes) box->setChecked(tick);
    });
    QFrame* frame = p.Panel;
    connect(p.Leave, &QPushButton::clicked, frame, &QWidget::hide);
    return p;
}

QAction* TMainForm::AddItem(QMenu* menu, const char* caption, std::function<void()> handler, bool always,
                            std::function<bool()> condition) {
    QAction* action = menu->addAction(U(caption));
    connect(action, &QAction::triggered, this, [this, handler] { Run(handler); });
    items_.push_back({action, always, std::move(condition)});
    return action;
}

void TMainForm::BuildMenus() {
    const auto notYet = [this](const char* caption) { return [this, caption] { NotYet(caption); }; };
    const auto flags = [this] {
        return MakeTableVerRWFlags(engine_ ? engine_->Identity.Model : std::string(),
                                   engine_ ? engine_->Identity.Version : std::string());
    };

    QMenu* files = menuBar()->addMenu(U("Файлы и АТС        "));
    AddItem(files, "Создать файл", [this] { NewFileMenuItemClick(); }, true);
    AddItem(files, "Загрузить из файла", [this] { LoadFromFileClick(); }, true);
    AddItem(files, "Записать в файл", [this] { SaveToFileClick(); });
    AddItem(files, "Считать из АТС", [this] { ReadFromATSClick(); }, true);
    AddItem(files, "Записать в АТС", [this] { WriteToATSMenuClick(); });
    AddItem(files, "Выдать отчет о конфигурации в файл", notYet("Выдать отчет о конфигурации в файл"));
    files->addSeparator();
    // Closed once the handler has returned: closing is refused while one runs.
    AddItem(files, "Выход", [this] { QTimer::singleShot(0, this, &QWidget::close); }, true);

    QMenu* lines = menuBar()->addMenu(U("АЛ и СЛ        "));
    AddItem(lines, "Группы, АЛ и СЛ", notYet("Группы, АЛ и СЛ"));
    AddItem(lines, "Одновременное программирование СЛ", [this] {
        if (!HasPortOfKind(*data_, kPortTrunk))
            ui_->Message("В АТС отсутствуют СЛ", "Предупреждение");
        else
            NotYet("Одновременное программирование СЛ");
    });
    for (const char* item : {"Программные номера", "Таблица переадресаций", "Таблицы наведения",
                             "Программная перекроссировка АЛ и СЛ"})
        AddItem(lines, item, notYet(item));

    QMenu* phones = menuBar()->addMenu(U("ГГС, СТА, Домофоны        "));
    AddItem(phones, "ГГС", notYet("ГГС"));
    AddItem(phones, "Домофоны", notYet("Домофоны"));
    AddItem(phones, "Программирование кнопок СТА", [this] {
        if (!HasPortOfKind(*data_, kPortSTA))
            ui_->Message("В АТС отсутствуют СТА", "Предупреждение");
        else
            NotYet("Программирование кнопок СТА");
    });
    AddItem(phones, "Программирование конференций", notYet("Программирование конференций"), false,
            [flags] { return flags().HasQuickConf; });

    QMenu* misc = menuBar()->addMenu(U("Разное        "));
    AddItem(misc, "Общесистемные установки", notYet("Общесистемные установки"));
    AddItem(misc, "Временные установки", notYet("Временные установки"));
    AddItem(misc, "Установка времени и даты", [this] {
#ifdef STANSET_HAS_CLOCK_WINDOW
        OpenEditor<TATSTimeForm>();
#else
        NotYet("Установка времени и даты");
#endif
    });
    AddItem(misc, "Общая записная книжка", notYet("Общая записная книжка"));
    AddItem(misc, "Групповые записные книжки", notYet("Групповые записные книжки"));
    AddItem(misc, "Черные и белые списки", notYet("Черные и белые списки"), false,
            [flags] { return flags().HasBWBooks; });
    AddItem(misc, "Чистка установок", [this] {
#ifdef STANSET_HAS_CLEARING_WINDOW
        OpenEditor<TClearAllForm>();
#else
        NotYet("Чистка установок");
#endif
    });
    AddItem(misc, "Состав АТС", [this] {
#ifdef STANSET_HAS_COMPLECT_WINDOW
        OpenEditor<TATSComplectForm>();
#else
        NotYet("Состав АТС");
#endif
    });

    QMenu* settings = menuBar()->addMenu(U("Настройки"));
    AddItem(settings, "Опции программы", [this] {
#ifdef STANSET_HAS_OPTIONS_WINDOW
        OpenEditor<TOptionsForm>();
#else
        NotYet("Опции программы");
#endif
        if (engine_) statusBar3_->showMessage(U(engine_->Identity.PortName));
    }, true);

    QMenu* help = menuBar()->addMenu(U("     Помощь"));
    AddItem(help, "О программе", [this] { TAboutForm(this).exec(); }, true);
    AddItem(help, "Изменения", [this] { TAddingForm(this).exec(); }, true);
    AddItem(help, "Справка", [this] { OpenHelp(); });

    menus_ = {files, lines, phones, misc, settings, help};
    for (QMenu* menu : menus_) connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
}

QAction* TMainForm::AddToolButton(const char* name, const char* caption, int icon, std::function<void()> handler,
                                  bool needsReady) {
    auto* bar = findChild<QToolBar*>("ToolBar1");
    QAction* action = bar->addAction(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)), U(caption));
    action->setObjectName(name);
    action->setToolTip(U(caption));
    action->setStatusTip(U(caption));
    connect(action, &QAction::triggered, this, [this, handler] { Run(handler); });
    if (needsReady) readyTools_.push_back(action);
    return action;
}

void TMainForm::BuildToolBar() {
    auto* bar = addToolBar(U("Панель инструментов"));
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    AddToolButton("NewFileButton", "Создать файл", QStyle::SP_FileIcon, [this] { NewFileMenuItemClick(); }, false);
    AddToolButton("LoadFromFileButton", "Загрузить из файла", QStyle::SP_DialogOpenButton,
                  [this] { LoadFromFileClick(); }, false);
    AddToolButton("SaveToFileButton", "Записать в файл", QStyle::SP_DialogSaveButton, [this] { SaveToFileClick(); },
                  true);
    bar->addSeparator();
    AddToolButton("ReadFromATSToolButton", "Считать из АТС", QStyle::SP_ArrowDown, [this] { ReadFromATSClick(); },
                  false);
    AddToolButton("WriteToATSToolButton", "Записать в АТС", QStyle::SP_ArrowUp, [this] { WriteToATSMenuClick(); },
                  true);
    bar->addSeparator();
    AddToolButton("AlGroupButton", "Группы, АЛ и СЛ", QStyle::SP_FileDialogDetailedView,
                  [this] { NotYet("Группы, АЛ и СЛ"); }, true);
    AddToolButton("SimTrunksButton", "Одновременное программирование СЛ", QStyle::SP_FileDialogListView,
                  [this] { MenuItem(U("Одновременное программирование СЛ"))->trigger(); }, true);
}

void TMainForm::BuildStatusArea() {
    panel1_ = new QFrame(centralWidget());
    panel1_->setObjectName("Panel1");
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(panel1_);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);
    for (int i = 0; i < 4; ++i) {
        labels_[i] = new QLabel(U(kInitialLabels[i]), panel1_);
        labels_[i]->setObjectName(QString("Label%1").arg(i + 1));
        layout->addWidget(labels_[i]);
    }
    statusBar3_ = statusBar();
    statusBar3_->setObjectName("StatusBar3");
    CentrePanel1();
}

QAction* TMainForm::MenuItem(const QString& caption) const {
    for (const TMenuItem& item : items_)
        if (item.action->text() == caption) return item.action;
    return nullptr;
}

void TMainForm::UpdateMenu(QMenu* menu) {
    const bool ready = engine_ && engine_->Ready;
    for (const TMenuItem& item : items_) {
        if (!menu->actions().contains(item.action)) continue;
        item.action->setEnabled(item.always || (ready && (!item.condition || item.condition())));
    }
}

void TMainForm::RefreshToolButtons() {
    const bool ready = engine_ && engine_->Ready;
    for (QAction* action : readyTools_) action->setEnabled(ready);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Modal questions wait until the window is on screen.
    if (!shown_) QTimer::singleShot(0, this, [this] { Run([this] { FormShow(); }); });
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    CentrePanel1();
}

void TMainForm::FormShow() {
    if (shown_) return;
    shown_ = true;
    engine_ = std::make_unique<TMainClass>(*ui_, options_.engine);
    files_ = std::make_unique<TFileList>();
    data_ = std::make_shared<TDataStream>(engine_->Identity.WorkDir);
    ui_->SetModel(data_);
    startDir_ = QDir::currentPath();
    statusBar3_->showMessage(U(engine_->Identity.PortName));
    setWindowTitle(U(kAppTitle));

    loadChoice_ = options_.chooseStart ? options_.chooseStart() : RunStartDialog();
    CentrePanel1();
    if (loadChoice_ == 1) {
        ShowFileLabels("");
        engine_->Ready = false;
        RefreshToolButtons();
        return;
    }
    ReadAtStart();
}

int TMainForm::RunStartDialog() {
    TStartDialog dialog(this);
    if (QScreen* screen = this->screen()) dialog.move(screen->availableGeometry().center() - dialog.rect().center());
    dialog.exec();
    return dialog.Choice();
}

void TMainForm::ReadAtStart() {
    QDialog window(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window.setObjectName("ReadingWindow");
    window.setWindowTitle(U("Чтение АТС..."));
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new QProgressBar(&window);
    bar->setFixedWidth(200);
    bar->setRange(0, 1);
    bar->setValue(0);
    layout->addWidget(bar);
    window.adjustSize();
    if (QScreen* screen = this->screen()) window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    ui_->SetProgressBar(bar);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const int result = engine_->ReadAll(*ui_, data_);
    ui_->SetProgressBar(nullptr);
    window.hide();

    if (result == -1) {
        ui_->Message(kNoLinkWithStation, "");
        engine_->Ready = false;
        RefreshToolButtons();
    } else if (result == -2) {
        ui_->Message("Stanset_M работает с версиями рабочей программы от 22.9 и выше.", "");
    } else if (result < 0) {
        ui_->Message("Неизвестная ошибка при чтении АТС.", "");
    } else {
        engine_->Ready = true;
        RefreshToolButtons();
        ShowExchangeLabels();
    }
}

void TMainForm::ShowPanel(const TTablePanel& panel) {
    for (TTablePanel* p : {&read_, &write_, &load_, &save_})
        if (p->Panel != panel.Panel) p->Panel->hide();
    panel.Panel->show();
    panel.Panel->raise();
}

void TMainForm::CopyToSelection(const TTablePanel& panel) {
    for (int i = 0; i < kTableCount; ++i) (*data_).*kSelection[i] = panel.Boxes[i]->isChecked();
}

void TMainForm::ShowExchangeLabels() {
    const TStatus& s = data_->Status;
    const std::string texts[4] = {s.Name, s.VersionText, s.Serial, s.BillingText};
    for (int i = 0; i < 4; ++i) labels_[i]->setText(U(kFilledLabels[i]) + U(texts[i]));
    CentrePanel1();
}

void TMainForm::ShowFileLabels(const std::string& model) {
    const TStatus& s = data_->Status;
    const std::string texts[3] = {model, s.VersionText, s.Serial};
    for (int i = 0; i < 3; ++i) labels_[i]->setText(U(kFilledLabels[i]) + U(texts[i]));
    labels_[3]->setText(U(kFilledLabels[3]));
    CentrePanel1();
}

void TMainForm::CentrePanel1() {
    if (!panel1_ || !centralWidget()) return;
    panel1_->adjustSize();
    // Centred below the table panels, so the exchange's figures stay in view while one is open.
    int top = 0;
    for (const TTablePanel* p : {&read_, &write_, &load_, &save_})
        if (p->Panel) top = std::max(top, p->Panel->geometry().bottom() + 1);
    const QSize area = centralWidget()->size();
    panel1_->move(std::max(0, (area.width() - panel1_->width()) / 2),
                  top + std::max(0, (area.height() - top - panel1_->height()) / 2));
}

void TMainForm::NewFileMenuItemClick() {
#ifdef STANSET_HAS_CONSTRUCTOR_WINDOW
    if (!engine_) return;
    const TStatus before = data_->Status;
    TConstructorForm form(engine_.get(), data_, this);
    AttachInteraction(form, ui_);
    const bool accepted = form.exec() == QDialog::Accepted;
    const TStatus& after = data_->Status;
    // A constructor left without building anything keeps the labels of what is loaded.
    if (accepted || after.Model != before.Model || after.VersionText != before.VersionText ||
        after.Serial != before.Serial)
        ShowFileLabels(after.Model);
    RefreshToolButtons();
#else
    NotYet("Создать файл");
#endif
}

void TMainForm::LoadFromFileClick() {
    const QString name = AskFileName(U("Открытие файла конфигурации мини-АТС"), false);
    if (name.isEmpty()) return;
    label14_->setText(name);
    label14_->adjustSize();
    ShowPanel(load_);
}

void TMainForm::SaveToFileClick() { ShowPanel(save_); }

void TMainForm::ReadFromATSClick() {
    read_.Bar->setValue(0);
    ShowPanel(read_);
}

void TMainForm::WriteToATSMenuClick() {
    if (!engine_) return;
    for (int i = 0; i < kTableCount; ++i) write_.Boxes[i]->setChecked(engine_->Changed[i]);
    write_.Bar->setValue(0);
    ShowPanel(write_);
}

bool TMainForm::OpenPortFor(const char* reopenFailed, const char* openFailed) {
    // A port that cannot be opened is reported and the window stays: closing the program
    // here would lose the edits not yet written.
    if (engine_->Port.IsOpen()) {
        try {
            engine_->ReopenPort();
        } catch (const ECommError&) {
            ui_->Message(reopenFailed, "");
            return false;
        }
        return true;
    }
    try {
        engine_->Port.SetPortName(engine_->Identity.PortName);
        engine_->Port.Open(engine_->Identity.PortName);
    } catch (const ECommError&) {
        ui_->Message(openFailed, "");
        return false;
    }
    bool up = false;
    try {
        engine_->Port.Pause(100);
        up = engine_->Link.CheckLink() == 1;
    } catch (const ECommError&) {
    }
    if (!up) {
        ui_->Message(engine_->Identity.PortName + " : нет связи с АТС.", "");
        return false;
    }
    return true;
}

void TMainForm::ReadFromATSButtonClick() {
    if (!engine_) return;
    if (!AnyTicked(read_)) {
        ui_->Message(kNoTableTicked, "");
        return;
    }
    CopyToSelection(read_);
    if (!OpenPortFor(kReadReopenFailed, kReadOpenFailed)) return;
    ui_->SetProgressBar(read_.Bar);
    const int result = engine_->ReadAll(*ui_, data_);
    ui_->SetProgressBar(nullptr);
    if (result < 0) {
        ui_->Message(kNoLinkWithStation, "");
    } else {
        engine_->Ready = true;
        RefreshToolButtons();
        ShowExchangeLabels();
    }
    read_.Panel->hide();
}

void TMainForm::WriteToATSClick() {
    if (!engine_) return;
    if (!AnyTicked(write_)) {
        ui_->Message("Не отмечено ни одной таблицы или АТС сменили во время работы с программой", "Предупреждение");
        return;
    }
    CopyToSelection(write_);
    if (!OpenPortFor(kWriteReopenFailed, kWriteOpenFailed)) return;
    ui_->SetProgressBar(write_.Bar);
    const int result = engine_->WriteAll(*ui_, data_);
    ui_->SetProgressBar(nullptr);
    if (result == -1) ui_->Message("Нет связи с АТС", "Ошибка");
    write_.Panel->hide();
}

void TMainForm::Button5Click() {
    if (!engine_) return;
    if (!AnyTicked(load_)) {
        ui_->Message(kNoTableTicked, "");
        return;
    }
    CopyToSelection(load_);
    for (int i = 0; i < kTableCount; ++i) engine_->Changed[i] = load_.Boxes[i]->isChecked();
    const std::string path = QFile::encodeName(label14_->text()).toStdString();
    if (LoadConfiguration(*engine_, *data_, *files_, path, *ui_) != TLoadResult::Loaded) return;
    load_.Panel->hide();
    ShowFileLabels(data_->Status.Model.empty() ? engine_->Identity.Model : data_->Status.Model);
    engine_->Ready = true;
    RefreshToolButtons();
}

void TMainForm::Button9Click() {
    if (!engine_) return;
    if (!AnyTicked(save_)) {
        ui_->Message("Не выбрано ни одной таблицы.", "Уведомление");
        return;
    }
    const QString name = AskFileName(U("Запись файла конфигурации мини-АТС"), true);
    if (name.isEmpty()) return;
    CopyToSelection(save_);
    const std::string path = QFile::encodeName(name).toStdString();
    if (SaveConfiguration(*engine_, *data_, *files_, path, *ui_) == TSaveResult::Saved) save_.Panel->hide();
}

QString TMainForm::AskFileName(const QString& title, bool save) {
    if (options_.chooseFile) return options_.chooseFile(title, save);
    const QString work = engine_ ? U(engine_->Identity.WorkDir) : QDir::currentPath();
    QFileDialog dialog(this, title, QDir(work).filePath("dat"), U(kFileFilter));
    dialog.setDefaultSuffix("ats");
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The overwrite question is the save's own, with the backup it promises.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void TMainForm::NotYet(const char* caption) {
    ui_->Message(std::string("«") + caption + "»: это окно ещё не входит в данную версию программы.",
                 "Уведомление");
}

template <typename Form>
void TMainForm::OpenEditor() {
    if (!engine_) return;
    Form form(engine_.get(), data_, this);
    AttachInteraction(form, ui_);
    form.exec();
}

void TMainForm::OpenHelp() {
    if (!startDir_.isEmpty()) QDir::setCurrent(startDir_);
    const QString program = QCoreApplication::applicationDirPath();
    const QStringList places = {
        QDir(program).filePath("help.html"),
        QDir(program).filePath("../share/stanset/help.html"),
        QFileInfo(QString::fromUtf8(__FILE__)).dir().filePath("help.html"),  // a build tree
    };
    for (const QString& place : places) {
        if (QFileInfo::exists(place)) {
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(place).absoluteFilePath())))
                ui_->Message("Не удалось открыть файл справки " + QFileInfo(place).absoluteFilePath().toStdString(),
                             "Ошибка");
            return;
        }
    }
    ui_->Message("Файл справки help.html не найден рядом с программой.", "Ошибка");
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // A transfer or a question under way still needs the engine.
    if (busy_ > 0) {
        event->ignore();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormClose() {
    if (engine_) engine_->Shutdown(*ui_);
    engine_.reset();
    files_.reset();
}

}  // namespace stanset
