// The program's one top-level window: start-up, menus, tool bar, the status labels and the
// four table-selection panels (read from the exchange, write to it, load a file, save one).
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "engine/main_class.h"
#include "ui/qt_interaction.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace stanset {

class TFileList;

inline constexpr const char* kAppTitle = "Stanset 1.23";

// "Читаем данные из АТС" (choice 0) or "Работаем с файлом" (choice 1).
class TStartDialog : public QDialog {
public:
    explicit TStartDialog(QWidget* parent = nullptr);
    int Choice() const { return choice_; }
    QPushButton* ReadButton() const { return read_; }
    QPushButton* FileButton() const { return file_; }

private:
    int choice_ = 0;
    QPushButton* read_;
    QPushButton* file_;
};

struct TMainFormOptions {
    TEngineOptions engine;
    // Borrowed; null: the window's own message boxes.
    TQtInteraction* ui = nullptr;
    // Answers the start-up dialog instead of showing it: 0 read the exchange, 1 work with a file.
    std::function<int()> chooseStart;
    // Answers the open (save false) and save (save true) dialogs; an empty name is a cancel.
    std::function<QString(const QString& title, bool save)> chooseFile;
};

// One table-selection panel: sixteen boxes in the order of the engine's changed flags.
struct TTablePanel {
    QFrame* Panel = nullptr;
    std::array<QCheckBox*, kTableCount> Boxes{};
    QPushButton* MarkAll = nullptr;
    QPushButton* Run = nullptr;
    QPushButton* Leave = nullptr;
    QProgressBar* Bar = nullptr;
    QStatusBar* Status = nullptr;
};

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(TMainFormOptions options = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The first showing: engine, file list, model, then the start-up question. Runs once;
    // showing the window schedules it.
    void FormShow();

    TMainClass* Engine() const { return engine_.get(); }
    TFileList* Files() const { return files_.get(); }
    const std::shared_ptr<TDataStream>& Model() const { return data_; }
    int LoadChoice() const { return loadChoice_; }

    const TTablePanel& ReadFromATSPanel() const { return read_; }
    const TTablePanel& WriteToATSPanel() const { return write_; }
    const TTablePanel& ReadFromFilePanel() const { return load_; }
    const TTablePanel& WriteToFilePanel() const { return save_; }

    // The menu item with this caption, or null.
    QAction* MenuItem(const QString& caption) const;
    // Enables the items of a top-level menu as when it is opened.
    void UpdateMenu(QMenu* menu);
    void RefreshToolButtons();

    // Menu items and tool buttons.
    void NewFileMenuItemClick();
    void LoadFromFileClick();
    void SaveToFileClick();
    void ReadFromATSClick();
    void WriteToATSMenuClick();
    // Panel buttons.
    void ReadFromATSButtonClick();
    void WriteToATSClick();
    void Button5Click();
    void Button9Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TMenuItem {
        QAction* action;
        bool always;
        std::function<bool()> condition;  // on top of the ready flag
    };

    void Run(const std::function<void()>& handler);
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusArea();
    TTablePanel BuildPanel(const char* name, const char* title, const std::array<const char*, kTableCount>& boxNames,
                           const char* markName, const char* runName, const char* runCaption, const char* leaveName,
                           const char* statusName);
    QAction* AddItem(QMenu* menu, const char* caption, std::function<void()> handler, bool always = false,
                     std::function<bool()> condition = {});
    QAction* AddToolButton(const char* name, const char* caption, int icon, std::function<void()> handler,
                           bool needsReady);

    int RunStartDialog();
    void ReadAtStart();
    void ShowPanel(const TTablePanel& panel);
    bool OpenPortFor(const char* reopenFailed, const char* openFailed);
    void CopyToSelection(const TTablePanel& panel);
    void ShowExchangeLabels();
    void ShowFileLabels(const std::string& model);
    void CentrePanel1();
    QString AskFileName(const QString& title, bool save);
    void NotYet(const char* caption);
    template <typename Form>
    void OpenEditor();
    void OpenHelp();
    void FormClose();

    TMainFormOptions options_;
    std::unique_ptr<TQtInteraction> ownUi_;
    TQtInteraction* ui_;

    std::unique_ptr<TMainClass> engine_;
    std::unique_ptr<TFileList> files_;
    std::shared_ptr<TDataStream> data_;
    int loadChoice_ = 0;
    bool shown_ = false;
    int busy_ = 0;  // handlers running
    QString startDir_;

    QFrame* panel1_ = nullptr;
    std::array<QLabel*, 4> labels_{};
    QStatusBar* statusBar3_ = nullptr;
    QLabel* label14_ = nullptr;
    TTablePanel read_, write_, load_, save_;
    std::vector<TMenuItem> items_;
    std::vector<QMenu*> menus_;
    std::vector<QAction*> readyTools_;
};

}  // namespace stanset
