#include "ui/qt_interaction.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressBar>

#include "engine/data_stream.h"
#include "engine/main_class.h"

#if __has_include("engine/ats_time_form.h")
#include "engine/ats_time_form.h"
#define STANSET_HAS_CLOCK_WINDOW 1
#endif

namespace stanset {

namespace {

template <typename Form>
void Prepare(Form& form, TUserInteraction* ui, const TExchangeClock& clock) {
    if constexpr (requires { form.SetInteraction(ui); }) form.SetInteraction(ui);
    if constexpr (requires { form.ShowExchangeClock(clock); }) form.ShowExchangeClock(clock);
}

}  // namespace

void TQtInteraction::Message(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

bool TQtInteraction::Ask(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void TQtInteraction::Progress(int position, int maximum) {
    if (bar_) {
        bar_->setMaximum(maximum > 0 ? maximum : 1);
        bar_->setValue(position < 0 ? 0 : (position > bar_->maximum() ? bar_->maximum() : position));
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TQtInteraction::OpenClockWindow(TMainClass& engine) {
#ifdef STANSET_HAS_CLOCK_WINDOW
    auto data = data_ ? data_ : std::make_shared<TDataStream>(engine.Identity.WorkDir);
    TATSTimeForm form(&engine, data, parent_);
    Prepare(form, this, data->Clock);
    form.exec();
#else
    (void)engine;
    Message("Окно установки времени и даты ещё не входит в эту версию программы.", "Уведомление");
#endif
}

}  // namespace stanset
