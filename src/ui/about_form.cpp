#include "ui/about_form.h"

#include <QResizeEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace stanset {

TTextPaneForm::TTextPaneForm(const QString& caption, const QString& html, QWidget* parent)
    : QDialog(parent), pane_(new QTextBrowser(this)) {
    setWindowTitle(caption);
    resize(520, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane_);
    pane_->setObjectName("RichEdit1");
    pane_->setReadOnly(true);
    pane_->setOpenExternalLinks(true);
    pane_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane_->setHtml(html);
}

void TTextPaneForm::showEvent(QShowEvent* event) {
    // A pane left unwrapped by a long line would need sideways scrolling to read.
    pane_->setLineWrapMode(QTextEdit::WidgetWidth);
    QDialog::showEvent(event);
}

void TTextPaneForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    pane_->viewport()->update();
}

TAboutForm::TAboutForm(QWidget* parent)
    : TTextPaneForm(QString::fromUtf8("О программе"),
                    QString::fromUtf8(
                        "<h3>Stanset 1.23</h3>"
                        "<p>Программа настройки мини-АТС Велетон с персонального компьютера через "
                        "сервисный COM-порт станции.</p>"
                        "<p>Программа считывает из АТС её состав и программируемые таблицы, позволяет "
                        "их редактировать, записывает таблицы обратно в АТС и хранит конфигурации "
                        "в файлах <b>*.ats</b> (папка <b>dat</b> рабочего каталога).</p>"
                        "<p>Обслуживаемые модели: KVT700-1, KVT250, RD16, RD32; версии рабочей "
                        "программы АТС от 23,8 и выше.</p>"
                        "<p>Проверена в Debian GNU/Linux 12 (Qt 6); станция подключается к "
                        "последовательному порту компьютера или через USB-адаптер.</p>"),
                    parent) {
    setObjectName("TAboutForm");
}

TAddingForm::TAddingForm(QWidget* parent)
    : TTextPaneForm(QString::fromUtf8("Изменения"),
                    QString::fromUtf8(
                        "<h3>История версий</h3>"
                        "<p><b>1.23</b></p>"
                        "<ul>"
                        "<li>Чтение и запись отмеченных таблиц АТС с индикатором хода обмена.</li>"
                        "<li>Запись в АТС предлагает только изменённые таблицы.</li>"
                        "<li>Сохранение и загрузка конфигурации в файлах *.ats; при перезаписи "
                        "прежний файл сохраняется как ats.bak.</li>"
                        "<li>Создание конфигурации без АТС (конструктор) и чистка установок.</li>"
                        "<li>Ошибка открытия COM-порта больше не закрывает программу: несохранённые "
                        "изменения остаются.</li>"
                        "</ul>"),
                    parent) {
    setObjectName("TAddingForm");
}

}  // namespace stanset
