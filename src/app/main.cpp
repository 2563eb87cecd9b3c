// The windowed program: stanset [--device PATH] [--workdir DIR] [--screenshot DIR]
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "ui/about_form.h"
#include "ui/main_form.h"

namespace {

void Usage(std::FILE* out) {
    std::fputs(
        "usage: stanset [--device PATH] [--workdir DIR] [--screenshot DIR]\n"
        "  --device PATH      talk to the exchange on this device instead of the options file's port\n"
        "  --workdir DIR      working folder (options file, dat/); default: the current folder\n"
        "  --screenshot DIR   read the exchange, save pictures of the windows into DIR and quit\n",
        out);
}

void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

void Save(QWidget* w, const QDir& dir, const char* name) {
    Settle();
    w->grab().save(dir.filePath(name));
}

// Pictures of the main window after the start-up read, of each panel and of the boxes.
void TakeScreenshots(stanset::TMainForm& form, const QDir& dir) {
    form.FormShow();
    Save(&form, dir, "main.png");

    stanset::TStartDialog start(&form);
    start.show();
    Save(&start, dir, "start_dialog.png");
    start.hide();

    form.ReadFromATSClick();
    Save(&form, dir, "read_panel.png");
    form.WriteToATSMenuClick();
    Save(&form, dir, "write_panel.png");
    form.SaveToFileClick();
    Save(&form, dir, "save_panel.png");
    form.ReadFromFilePanel().Panel->findChild<QWidget*>("Label14")->setProperty(
        "text", QDir(QString::fromStdString(form.Engine()->Identity.WorkDir)).filePath("dat/office.ats"));
    form.ReadFromFilePanel().Panel->show();
    form.ReadFromFilePanel().Panel->raise();
    form.WriteToFilePanel().Panel->hide();
    Save(&form, dir, "load_panel.png");
    form.ReadFromFilePanel().Panel->hide();

    for (QMenu* menu : form.menuBar()->findChildren<QMenu*>()) {
        if (menu->title().trimmed() != QString::fromUtf8("ГГС, СТА, Домофоны")) continue;
        form.UpdateMenu(menu);
        menu->popup(form.mapToGlobal(QPoint(200, 20)));
        Save(menu, dir, "menu_phones.png");
        menu->hide();
    }

    stanset::TAboutForm about(&form);
    about.show();
    Save(&about, dir, "about.png");
    stanset::TAddingForm changes(&form);
    changes.show();
    Save(&changes, dir, "changes.png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Stanset");
    QCoreApplication::setApplicationVersion("1.23");
    // Every text of the program is Russian; dates and the calendar follow suit whatever
    // the desktop's language.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    stanset::TMainFormOptions options;
    QString screenshots;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else if (a == "--device" && hasValue) {
            options.engine.device = QFile::encodeName(args[++i]).toStdString();
        } else if (a == "--workdir" && hasValue) {
            options.engine.workDir = QFile::encodeName(QDir(args[++i]).absolutePath()).toStdString();
        } else if (a == "--screenshot" && hasValue) {
            screenshots = args[++i];
        } else {
            std::fprintf(stderr, "stanset: unknown or incomplete option %s\n", a.toLocal8Bit().constData());
            Usage(stderr);
            return 2;
        }
    }
    if (!options.engine.workDir.empty() && !QDir(QString::fromStdString(options.engine.workDir)).exists()) {
        std::fprintf(stderr, "stanset: working folder %s does not exist\n", options.engine.workDir.c_str());
        return 2;
    }
    if (!screenshots.isEmpty()) {
        if (!QDir().mkpath(screenshots)) {
            std::fprintf(stderr, "stanset: cannot create %s\n", screenshots.toLocal8Bit().constData());
            return 2;
        }
        options.chooseStart = [] { return 0; };
    }

    stanset::TMainForm form(std::move(options));
    form.show();
    if (!screenshots.isEmpty()) {
        TakeScreenshots(form, QDir(screenshots));
        form.close();
        return 0;
    }
    return app.exec();
}
